// A receiving program that writes its file again after letting go of it, as
// an editor's Save does: it reads the file whole (the mark gets what it
// read), closes it, waits until the file is gone, then writes the new text
// to it and marks "<mark>.saved". It gives up waiting after two minutes.
//   qvtest_resaver <file> <mark> <new text>
#include "tests/app/view/receivers/ReceiverSupport.h"

int main()
{
    std::vector<CString> arguments = receiver::Arguments();
    if (arguments.size() != 3)
        return 2;
    const CString& file = arguments[0];
    std::string bytes;
    if (!receiver::ReadAll(file, bytes))
        bytes = "<nothing to open>";
    if (!receiver::WriteMark(arguments[1], bytes))
        return 1;
    ULONGLONG giveUp = ::GetTickCount64() + 120000;
    while (::GetFileAttributesW(file) != INVALID_FILE_ATTRIBUTES) {
        if (::GetTickCount64() > giveUp)
            return 3;
        ::Sleep(20);
    }
    std::string text = arguments[2].ToUtf8();
    if (!receiver::WriteAll(file, text))
        return 1;
    return receiver::WriteMark(arguments[1] + L".saved", "saved") ? 0 : 1;
}

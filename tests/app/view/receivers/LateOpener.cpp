// A receiving program that starts slowly: it opens its file only after a
// delay, reads it whole and ends; the mark gets what it read, or
// "<nothing to open>".
//   qvtest_late_opener <delay in ms> <file> <mark>
#include "tests/app/view/receivers/ReceiverSupport.h"

int main()
{
    std::vector<CString> arguments = receiver::Arguments();
    if (arguments.size() != 3)
        return 2;
    ::Sleep((DWORD)std::stoul(arguments[0].ToUtf8()));
    std::string bytes;
    if (!receiver::ReadAll(arguments[1], bytes))
        bytes = "<nothing to open>";
    return receiver::WriteMark(arguments[2], bytes) ? 0 : 1;
}

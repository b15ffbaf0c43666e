// qcrypt: the cipher engine from the command line.
//   qcrypt encrypt SRC DST PASSWORD
//   qcrypt decrypt SRC DST PASSWORD
//   qcrypt plainname FILE PASSWORD            the name stored in an encrypted file
//   qcrypt name PLAIN_NAME                    the static encrypted file name
//   qcrypt foldername encrypt|decrypt NAME PASSWORD
// Exit code 0 on success; otherwise the CRYPT_* result name is printed and
// the exit code is 1 (2 for a wrong command line).
#include "crypt/FileCipher.h"
#include "crypt/KeyState.h"
#include "crypt/NameCrypt.h"

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

namespace {

const int kExitFailed = 1;
const int kExitUsage = 2;

void Print(HANDLE stream, const CString& text)
{
    CString line = text + L"\n";
    DWORD mode, written;
    if (GetConsoleMode(stream, &mode)) {
        WriteConsoleW(stream, line, (DWORD)line.GetLength(), &written, nullptr);
        return;
    }
    std::string utf8 = line.ToUtf8();
    WriteFile(stream, utf8.data(), (DWORD)utf8.size(), &written, nullptr);
}

void Out(const CString& text) { Print(GetStdHandle(STD_OUTPUT_HANDLE), text); }
void Err(const CString& text) { Print(GetStdHandle(STD_ERROR_HANDLE), text); }

int Fail(int result)
{
    Out(CryptResultName(result));
    return kExitFailed;
}

int Usage()
{
    Err(L"usage: qcrypt encrypt SRC DST PASSWORD\n"
        L"       qcrypt decrypt SRC DST PASSWORD\n"
        L"       qcrypt plainname FILE PASSWORD\n"
        L"       qcrypt name PLAIN_NAME\n"
        L"       qcrypt foldername encrypt|decrypt NAME PASSWORD");
    return kExitUsage;
}

// Sets the key state from the password as the program does, and clears it at the end.
class PasswordKeys {
public:
    explicit PasswordKeys(const CString& password)
    {
        SetNameKey(password);
        if (password.IsEmpty())
            ClearKey();
        else
            SetKeyFromDigest(g_NameKey);
    }
    ~PasswordKeys()
    {
        SetNameKey(CString());
        ClearKey();
    }
};

int CryptCommand(const std::vector<CString>& args)
{
    bool encrypt = args[1] == L"encrypt";
    // New files need a full-strength key; existing ones decrypt with any password.
    if (encrypt && IsWeakPassword(args[4])) {
        Err(L"weak password: choose another one");
        return Fail(CRYPT_BAD_KEY);
    }
    PasswordKeys keys(args[4]);
    CFileCipher cipher;
    CString name;
    int result = cipher.CryptFile(args[2], args[3], encrypt ? CRYPT_MODE_ENCRYPT : CRYPT_MODE_DECRYPT, name, nullptr,
                                  TRUE);
    return result == CRYPT_OK ? 0 : Fail(result);
}

int PlainNameCommand(const std::vector<CString>& args)
{
    PasswordKeys keys(args[3]);
    CFileCipher cipher;
    CString name = cipher.ReadOriginalName(args[2]);
    if (name.IsEmpty())
        return Fail(CRYPT_BAD_KEY);
    Out(name);
    return 0;
}

int FolderNameCommand(const std::vector<CString>& args)
{
    bool encrypt = args[2] == L"encrypt";
    if (!encrypt && args[2] != L"decrypt")
        return Usage();
    PasswordKeys keys(args[4]);
    CNameCrypt codec;
    CString result = encrypt ? codec.EncryptName(args[3]) : codec.DecryptName(args[3]);
    // The codec gives back what it cannot change.
    if (result == args[3])
        return Fail(CRYPT_BAD_KEY);
    Out(result);
    return 0;
}

}  // namespace

int main()
{
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<CString> args(argv, argv + count);
    LocalFree(argv);
    if (args.size() < 2)
        return Usage();
    const CString& command = args[1];
    if ((command == L"encrypt" || command == L"decrypt") && args.size() == 5)
        return CryptCommand(args);
    if (command == L"plainname" && args.size() == 4)
        return PlainNameCommand(args);
    if (command == L"name" && args.size() == 3) {
        CFileCipher cipher;
        Out(cipher.MakeStaticEncryptedName(args[2]));
        return 0;
    }
    if (command == L"foldername" && args.size() == 5)
        return FolderNameCommand(args);
    return Usage();
}

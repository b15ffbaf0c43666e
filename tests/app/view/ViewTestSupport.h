// Helpers of the file list and view tests: encrypted fixtures made with the
// program's own engine, a window that stands in for the list's parent and
// records what the list tells it, popup menus and modal dialogs driven as a
// user would.
#pragma once

#include "tests/QvTest.h"
#include "tests/app/shell/ShellTestSupport.h"
#include "tests/framework/windows/DialogDriver.h"

#include "app/MyMFCShellListCtrl.h"
#include "crypt/EncryptedFileHeader.h"
#include "crypt/FileCipher.h"
#include "crypt/KeyState.h"
#include "crypt/XxteaBlockCipher.h"
#include "doc/OrvantisDoc.h"
#include "doc/JobProtocol.h"
#include "framework/windows/CShellListCtrl.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

namespace viewtest {

// Encrypts `content` stored under `plainName` into `folder` under a random
// encrypted name (with the key installed now); the encrypted file's path.
inline CString EncryptInto(const qvtest::TempFolder& folder, const CString& plainName, const std::string& content)
{
    qvtest::TempFolder staging;
    CString plain = staging.WriteFile(plainName, content);
    CFileCipher cipher;
    CString encrypted = folder / cipher.MakeRandomEncryptedName();
    CString stored;
    EXPECT_EQ(CRYPT_OK, cipher.CryptFile(plain, encrypted, CRYPT_MODE_ENCRYPT, stored, nullptr, TRUE));
    return encrypted;
}

// A file of the encrypted format made by hand from header 1's fields, cut
// after `keepBytes` bytes (everything: the IV and the two header blocks).
inline std::string HandMadeFile(uint64_t plainSize, uint8_t nameLength, const std::string& nameBytes,
                                size_t keepBytes = ENCRYPTED_HEADER_SIZE)
{
    EncryptedFileHeader header;
    memset(header.IV, 0x3C, sizeof header.IV);
    header.PlainSize = plainSize;
    header.NameLength = nameLength;
    memcpy(header.OriginalName, nameBytes.data(), std::min<size_t>(nameBytes.size(), MAX_STORED_NAME_BYTES));
    std::string blocks(256, '\0');
    header.WriteBlock1(reinterpret_cast<uint8_t*>(&blocks[0]));
    header.WriteBlock2(reinterpret_cast<uint8_t*>(&blocks[128]));
    CXxteaBlockCipher cipher(g_FileKey, header.IV);
    cipher.EncryptBlocks(reinterpret_cast<uint8_t*>(&blocks[0]), 2);
    std::string file = std::string(reinterpret_cast<const char*>(header.IV), 128) + blocks;
    return file.substr(0, keepBytes);
}

// A file type of the test's own whose "open" runs `command` ("%1" stands
// for the file), registered while the object lives.
class TestFileType {
public:
    TestFileType(const CString& extension, const CString& command) : m_extension(extension)
    {
        CString className = L"qvtest" + extension.Mid(1) + L"file";
        SetDefault(extension, className);
        SetDefault(className + L"\\shell\\open\\command", command);
        m_class = className;
    }
    ~TestFileType()
    {
        ::RegDeleteTreeW(HKEY_CLASSES_ROOT, m_extension);
        ::RegDeleteTreeW(HKEY_CLASSES_ROOT, m_class);
    }
    TestFileType(const TestFileType&) = delete;
    TestFileType& operator=(const TestFileType&) = delete;

private:
    static void SetDefault(const CString& key, const CString& value)
    {
        HKEY handle = nullptr;
        ::RegCreateKeyExW(HKEY_CLASSES_ROOT, key, 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr);
        ::RegSetValueExW(handle, nullptr, 0, REG_SZ, (const BYTE*)value.GetString(),
                         (DWORD)((value.GetLength() + 1) * sizeof(WCHAR)));
        ::RegCloseKey(handle);
    }
    CString m_extension, m_class;
};

struct Message {
    UINT message;
    WPARAM wParam;
};

// The list's parent: records the private messages, commands, folder changes
// and shell commands it hears, with the list's data at that moment.
class ListParent : public CWnd {
public:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override
    {
        bool mine = message == UWM_LIST_COMMAND || message == UWM_LIST_SELCHANGED ||
                    message == UWM_OPEN_SECURE_VIEWER || message == ChangeCurrentFolderMessage() ||
                    message == AfterShellCommandMessage() || (message == WM_COMMAND && lParam == 0);
        if (!mine)
            return CWnd::OnWndMsg(message, wParam, lParam, result);
        messages.push_back({message, wParam});
        if (list) {
            commandPath = list->m_strCommandPath;
            selPath = list->m_strSelPath;
            selName = list->m_strSelName;
        }
        *result = 0;
        return TRUE;
    }
    int Count(UINT message) const
    {
        int count = 0;
        for (const Message& m : messages)
            count += m.message == message ? 1 : 0;
        return count;
    }
    CMyMFCShellListCtrl* list = nullptr;
    std::vector<Message> messages;
    CString commandPath, selPath, selName;
};

// The popup menu open now (a menu window of this thread), or null.
inline HWND OpenMenuWindow() { return qvtest::ThreadWindowOfClass(L"#32768"); }

// The texts of a menu's items ("" for separators).
inline std::vector<CString> MenuTexts(HMENU menu)
{
    std::vector<CString> texts;
    for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
        WCHAR text[200] = {};
        ::GetMenuStringW(menu, (UINT)i, text, 200, MF_BYPOSITION);
        texts.push_back(text);
    }
    return texts;
}

// Runs `open` (which tracks a popup menu) and, once the menu shows, records
// its items and chooses the item at `position` (separators count; -1
// closes the menu without a choice). False when no menu showed.
inline bool WithPopupMenu(const std::function<void()>& open, int position, std::vector<CString>* texts = nullptr)
{
    bool shown = false;
    qvtest::TimerScript script([&] {
        HWND window = OpenMenuWindow();
        if (!window)
            return false;
        shown = true;
        HMENU menu = (HMENU)::SendMessageW(window, MN_GETHMENU, 0, 0);
        if (texts)
            *texts = MenuTexts(menu);
        if (position < 0) {
            ::PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
            return true;
        }
        // Down arrows pass separators by themselves.
        int steps = 0;
        for (int i = 0; i <= position; ++i)
            steps += ::GetMenuItemID(menu, i) != 0 ? 1 : 0;
        for (int i = 0; i < steps; ++i)
            ::PostMessageW(window, WM_KEYDOWN, VK_DOWN, 0);
        ::PostMessageW(window, WM_KEYDOWN, VK_RETURN, 0);
        return true;
    });
    open();
    return shown;
}

// Runs `command` (which opens a modal dialog or message loop) and, once a
// visible, enabled dialog of this thread (class "#32770") shows, `script`
// with it; the script must close it. False when no dialog showed.
inline bool WithDialog(const std::function<void()>& command, const std::function<void(HWND dialog)>& script)
{
    bool started = false;
    qvtest::TimerScript timer([&] {
        HWND found = qvtest::ThreadWindowOfClass(L"#32770");
        if (!found)
            return false;
        started = true;
        script(found);
        return true;
    });
    command();
    return started;
}

// Records the codes of the job reports and the texts of the job log lines
// the main window receives, while it lives.
class JobLogSpy {
public:
    explicit JobLogSpy(HWND frame) : m_spy(frame)
    {
        m_spy.before = [this](const JobReport& report) {
            codes.push_back(report.code);
            if (report.code == PROGRESS_LOG)
                lines.push_back(report.text);
        };
    }
    bool Contains(const CString& part) const
    {
        for (const CString& line : lines) {
            if (line.Find(part) >= 0)
                return true;
        }
        return false;
    }
    std::vector<CString> lines;
    std::vector<int> codes;

private:
    qvtest::JobReportSpy m_spy;
};

}  // namespace viewtest

// Helpers of the thumbnail browser tests: the fixture pictures with what
// ImageMagick reads from them, a parent window that records what the browser
// tells it, waiting with a deadline while messages are dispatched, and
// pictures of the browser's client area.
#pragma once

#include "tests/QvTest.h"

#include "app/ListMessages.h"
#include "app/MultipleSelectorBrowser.h"
#include "crypt/FileCipher.h"
#include "crypt/KeyState.h"
#include "framework/windows/CDC.h"
#include "framework/windows/GdiObjects.h"

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace browsertest {

inline CString FixturePath(const char* name)
{
    std::string path = std::string("Z:") + QV_BROWSER_FIXTURES + "/" + name;
    for (char& c : path) {
        if (c == '/')
            c = '\\';
    }
    return CString(path.c_str());
}

inline std::string FixtureBytes(const char* name) { return qvtest::ReadFileBytes(FixturePath(name)); }

// One line of expected.txt (or another such list): what ImageMagick reads from a fixture.
struct Reference {
    int width = 0, height = 0;
    COLORREF colour = 0;
};

inline std::map<std::string, Reference> References(const char* list = "expected.txt")
{
    std::map<std::string, Reference> table;
    std::string text = FixtureBytes(list);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        char name[64] = {};
        int w = 0, h = 0, r = 0, g = 0, b = 0;
        if (sscanf(line.c_str(), "%63s %d %d %d %d %d", name, &w, &h, &r, &g, &b) == 6)
            table[name] = Reference{w, h, RGB(r, g, b)};
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return table;
}

// A password's keys for the test's life.
class KeyScope {
public:
    explicit KeyScope(const CString& password)
    {
        SetNameKey(password);
        SetKeyFromDigest(g_NameKey);
    }
    ~KeyScope()
    {
        ClearKey();
        SetNameKey(CString());
    }
};

// Encrypts `bytes`, stored under `plainName`, into `folder`; the encrypted file's path.
inline CString EncryptInto(const CString& folder, const CString& plainName, const std::string& bytes)
{
    qvtest::TempFolder staging;
    CString plain = staging.WriteFile(plainName, bytes);
    CFileCipher cipher;
    CString encrypted = folder + L"\\" + cipher.MakeRandomEncryptedName();
    CString stored;
    EXPECT_EQ(CRYPT_OK, cipher.CryptFile(plain, encrypted, CRYPT_MODE_ENCRYPT, stored, nullptr, TRUE));
    return encrypted;
}

// Dispatches this thread's messages (through the browser's key handling,
// as the program's message loop does) until `done` or the deadline.
inline bool WaitUntil(const std::function<bool()>& done, DWORD milliseconds = 10000)
{
    DWORD start = ::GetTickCount();
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!CWnd::WalkPreTranslateTree(&msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
        if (done())
            return true;
        if (::GetTickCount() - start > milliseconds)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

// The browser's parent: records the private messages with the browser's data then.
class BrowserHost : public CWnd {
public:
    struct Heard {
        UINT message;
        WPARAM wParam;
        CString currentPath;
        CString folder;
    };

    BrowserHost(int width, int height)
    {
        CreateEx(0, RegisterWndClass(0), L"browser host", WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                 width, height, nullptr, nullptr);
    }
    ~BrowserHost() override
    {
        if (IsWindow())
            DestroyWindow();
    }

    // Makes the browser over the whole client area, laid out and listing `folder`.
    void Open(CMultipleSelectorBrowser& browser, const CString& folder, int thumbPixels)
    {
        m_browser = &browser;
        browser.m_nThumbPixels = thumbPixels;
        CRect client;
        GetClientRect(&client);
        browser.CreateAndShow(client, this);
        browser.UpdateColumns();
        browser.UpdateLayout();
        browser.NavigateTo(folder);
        browser.UpdateWindow();
    }

    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override
    {
        if (message == UWM_LIST_SELCHANGED || message == UWM_OPEN_SECURE_VIEWER || message == UWM_BROWSER_OPEN_FOLDER) {
            heard.push_back({message, wParam, m_browser ? m_browser->m_strCurrentPath : CString(),
                             m_browser ? m_browser->m_strFolder : CString()});
            *result = 0;
            return TRUE;
        }
        return CWnd::OnWndMsg(message, wParam, lParam, result);
    }

    std::vector<Heard> heard;

private:
    CMultipleSelectorBrowser* m_browser = nullptr;
};

// The client area of a window as painted through WM_PRINTCLIENT: 32-bit
// pixels, top row first.
class ClientPicture {
public:
    explicit ClientPicture(HWND window)
    {
        RECT client;
        ::GetClientRect(window, &client);
        m_width = client.right;
        m_height = client.bottom;
        CDC memory;
        memory.CreateCompatibleDC(nullptr);
        CBitmap bitmap;
        void* bits = nullptr;
        bitmap.CreateDibSection32(m_width, m_height, &bits);
        HGDIOBJ old = memory.SelectObject(&bitmap);
        ::SendMessageW(window, WM_PRINTCLIENT, (WPARAM)memory.m_hDC, PRF_CLIENT);
        ::GdiFlush();
        // A top-down section: blue in the low byte.
        const uint32_t* pixels = (const uint32_t*)bits;
        m_pixels.resize((size_t)m_width * m_height);
        for (size_t i = 0; i < m_pixels.size(); ++i)
            m_pixels[i] = RGB((pixels[i] >> 16) & 0xFF, (pixels[i] >> 8) & 0xFF, pixels[i] & 0xFF);
        memory.SelectObject(old);
    }
    COLORREF At(int x, int y) const { return m_pixels[(size_t)y * m_width + x]; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }

private:
    int m_width = 0, m_height = 0;
    std::vector<COLORREF> m_pixels;
};

// A cell's rectangle as painting makes it: one pixel wider and taller than the cell.
inline CRect CellRect(CMultipleSelectorBrowser& browser, int index)
{
    int w = browser.CellWidth(), h = browser.CellHeight(), c = browser.m_nColumns;
    int left = (index % c) * w, top = (index / c) * h + browser.m_nScroll;
    return CRect(left, top, left + w + 1, top + h + 1);
}

inline POINT CentreOf(const CRect& rect) { return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}; }

// A press (and release, unless `up` is 0) sent straight to the window.
inline void Click(CWnd& window, POINT point, UINT down, UINT up)
{
    LPARAM at = MAKELPARAM(point.x, point.y);
    window.SendMessage(down, down == WM_RBUTTONDOWN ? MK_RBUTTON : MK_LBUTTON, at);
    if (up)
        window.SendMessage(up, 0, at);
}

inline bool Near(COLORREF a, COLORREF b, int tolerance)
{
    return std::abs((int)GetRValue(a) - (int)GetRValue(b)) <= tolerance &&
           std::abs((int)GetGValue(a) - (int)GetGValue(b)) <= tolerance &&
           std::abs((int)GetBValue(a) - (int)GetBValue(b)) <= tolerance;
}

}  // namespace browsertest

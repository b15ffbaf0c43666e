#include "tests/viewers/PictureTestSupport.h"

#include "crypt/EncryptedFileName.h"
#include "crypt/FileCipher.h"
#include "crypt/KeyState.h"
#include "viewers/PreviewWnd.h"

namespace picturetest {

namespace {

void DispatchAll()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

}  // namespace

bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds)
{
    DWORD start = ::GetTickCount();
    for (;;) {
        DispatchAll();
        if (done())
            return true;
        if (::GetTickCount() - start >= milliseconds)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

void PumpFor(DWORD milliseconds)
{
    DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < milliseconds) {
        DispatchAll();
        DWORD left = milliseconds - (::GetTickCount() - start);
        if ((int)left > 0)
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, left, QS_ALLINPUT);
    }
    DispatchAll();
}

void PumpAllButTimersFor(DWORD milliseconds)
{
    DWORD start = ::GetTickCount();
    MSG msg;
    while (::GetTickCount() - start < milliseconds) {
        while (::PeekMessageW(&msg, nullptr, 0, WM_TIMER - 1, PM_REMOVE) ||
               ::PeekMessageW(&msg, nullptr, WM_TIMER + 1, 0xFFFF, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(5);
    }
}

PictureHost::PictureHost(int width, int height)
{
    RECT frame = {0, 0, width, height};
    ::AdjustWindowRectEx(&frame, WS_POPUP, FALSE, WS_EX_TOPMOST);
    m_window.CreateEx(WS_EX_TOPMOST, CWnd::RegisterWndClass(0, nullptr, (HBRUSH)::GetStockObject(BLACK_BRUSH)),
                      L"picture test", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 40, 40, frame.right - frame.left,
                      frame.bottom - frame.top, nullptr, nullptr);
    ::UpdateWindow(m_window);
}

PictureHost::~PictureHost()
{
    if (m_window.IsWindow())
        m_window.DestroyWindow();
}

COLORREF PixelAt(HWND window, POINT point)
{
    ::UpdateWindow(window);
    HDC dc = ::GetDC(window);
    COLORREF colour = ::GetPixel(dc, point.x, point.y);
    ::ReleaseDC(window, dc);
    return colour;
}

CString Fixture(const CString& name)
{
    CString folder = CString(L"Z:") + CString(QV_VIEWER_FIXTURES);
    folder.Replace(L'/', L'\\');
    return folder + L"\\" + name;
}

std::string ReadFixture(const char* name) { return qvtest::ReadFileBytes(Fixture(CString(name))); }

CString ProgramFolder()
{
    WCHAR path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    CString folder = path;
    return folder.Left(folder.ReverseFind(L'\\') + 1);
}

void UseTestKey()
{
    SetNameKey(L"picture test password");
    SetKeyFromDigest(g_NameKey);
}

CString EncryptAs(const qvtest::TempFolder& folder, const std::string& bytes, const CString& plainName,
                  const CString& plainFolder)
{
    CString plain = (plainFolder.IsEmpty() ? folder.Path() : plainFolder) + L"\\" + plainName;
    EXPECT_TRUE(qvtest::WriteFileBytes(plain, bytes));
    CString encrypted = folder / MakeRandomEncryptedFileName();
    CString stored;
    EXPECT_EQ(CFileCipher().CryptFile(plain, encrypted, CRYPT_MODE_ENCRYPT, stored, nullptr, TRUE), CRYPT_OK);
    ::DeleteFileW(plain);
    return encrypted;
}

ThreadWatch::ThreadWatch(const CThread& thread)
{
    HANDLE running = thread.m_hThread.load();
    if (running)
        ::DuplicateHandle(::GetCurrentProcess(), running, ::GetCurrentProcess(), &m_handle, 0, FALSE,
                          DUPLICATE_SAME_ACCESS);
}

ThreadWatch::~ThreadWatch()
{
    if (m_handle)
        ::CloseHandle(m_handle);
}

DWORD ThreadWatch::ExitCode() const
{
    if (!m_handle || ::WaitForSingleObject(m_handle, kDeadlineMs) != WAIT_OBJECT_0)
        return ~0u;
    DWORD code = ~0u;
    ::GetExitCodeThread(m_handle, &code);
    return code;
}

bool CreatePreviewPane(CPreviewWnd& pane, PictureHost& host, int width, int height)
{
    if (!pane.Create(host.Window(), 11) || !pane.m_gifWindow.Create(&pane, 12))
        return false;
    pane.m_gifWindow.ShowWindow(SW_HIDE);
    ::SetWindowPos(pane, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

}  // namespace picturetest

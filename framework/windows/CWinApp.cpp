#include "framework/windows/CWinApp.h"

#include "framework/windows/CWnd.h"

#include <algorithm>

namespace {

CWinApp* g_app = nullptr;

}  // namespace

CWinApp::CWinApp(const WCHAR* appName)
    : m_hInstance(GetModuleHandleW(nullptr)), m_strAppName(appName ? appName : L"Quorvex")
{
    m_strProfileName = m_strAppName;
    g_app = this;
}

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

CWinApp* AfxGetApp() { return g_app; }

CWnd* AfxGetMainWnd() { return g_app ? g_app->m_pMainWnd : nullptr; }

CString AfxGetAppName() { return g_app ? g_app->m_strAppName : CString(L"Quorvex"); }

BOOL AfxPreTranslateMessage(MSG* msg)
{
    if (g_app)
        return g_app->PreTranslateMessage(msg);
    return CWnd::WalkPreTranslateTree(msg);
}

int AfxWinMain()
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return -1;
    if (!app->InitInstance()) {
        if (app->m_pMainWnd)
            app->m_pMainWnd->DestroyWindow();
        return app->ExitInstance();
    }
    return app->Run();
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::Run()
{
    bool idle = true;
    LONG idleCount = 0;
    MSG peeked;
    for (;;) {
        while (idle && !::PeekMessageW(&peeked, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!OnIdle(idleCount++))
                idle = false;
        }
        if (!idle && WaitForInputOrWakeHandle()) {
            idle = true;
            idleCount = 0;
            continue;
        }
        do {
            if (!PumpMessage())
                return ExitInstance();
            m_spentWakeHandles.clear();
            if (IsIdleMessage(&m_msgCur)) {
                idle = true;
                idleCount = 0;
            }
        } while (::PeekMessageW(&peeked, nullptr, 0, 0, PM_NOREMOVE));
    }
}

void CWinApp::AddWakeHandle(HANDLE handle)
{
    if (handle && std::find(m_wakeHandles.begin(), m_wakeHandles.end(), handle) == m_wakeHandles.end())
        m_wakeHandles.push_back(handle);
}

void CWinApp::RemoveWakeHandle(HANDLE handle)
{
    m_wakeHandles.erase(std::remove(m_wakeHandles.begin(), m_wakeHandles.end(), handle), m_wakeHandles.end());
    m_spentWakeHandles.erase(std::remove(m_spentWakeHandles.begin(), m_spentWakeHandles.end(), handle),
                             m_spentWakeHandles.end());
}

bool CWinApp::WaitForInputOrWakeHandle()
{
    std::vector<HANDLE> handles;
    for (HANDLE handle : m_wakeHandles) {
        if (std::find(m_spentWakeHandles.begin(), m_spentWakeHandles.end(), handle) == m_spentWakeHandles.end())
            handles.push_back(handle);
    }
    if (handles.empty() || handles.size() >= MAXIMUM_WAIT_OBJECTS)
        return false;
    DWORD count = (DWORD)handles.size();
    DWORD result = ::MsgWaitForMultipleObjectsEx(count, handles.data(), INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (result < WAIT_OBJECT_0 + count) {
        m_spentWakeHandles.push_back(handles[result - WAIT_OBJECT_0]);
        return true;
    }
    return false;
}

BOOL CWinApp::PumpMessage()
{
    if (!::GetMessageW(&m_msgCur, nullptr, 0, 0))
        return FALSE;
    if (!PreTranslateMessage(&m_msgCur)) {
        ::TranslateMessage(&m_msgCur);
        ::DispatchMessageW(&m_msgCur);
    }
    return TRUE;
}

BOOL CWinApp::OnIdle(LONG count)
{
    if (count < 1)
        return TRUE;
    CWnd::DeleteTempMap();
    return FALSE;
}

int CWinApp::ExitInstance() { return m_msgCur.message == WM_QUIT ? (int)m_msgCur.wParam : 0; }

BOOL CWinApp::PreTranslateMessage(MSG* msg) { return CWnd::WalkPreTranslateTree(msg); }

BOOL CWinApp::IsIdleMessage(const MSG* msg)
{
    const UINT caretBlink = 0x0118;
    if (msg->message == WM_PAINT || msg->message == caretBlink)
        return FALSE;
    if (msg->message == WM_MOUSEMOVE || msg->message == WM_NCMOUSEMOVE) {
        bool same = msg->message == m_lastMouseMessage && msg->pt.x == m_ptLastMouse.x &&
                    msg->pt.y == m_ptLastMouse.y;
        m_lastMouseMessage = msg->message;
        m_ptLastMouse = msg->pt;
        return !same;
    }
    return TRUE;
}

void CWinApp::SetRegistryKey(const WCHAR* company) { m_strRegistryKey = company; }

void CWinApp::SetProfileName(const WCHAR* profile) { m_strProfileName = profile; }

CString CWinApp::ProfilePath() const
{
    if (m_strRegistryKey.IsEmpty())
        return CString();
    return L"Software\\" + m_strRegistryKey + L"\\" + m_strProfileName;
}

HKEY CWinApp::OpenSectionKey(const WCHAR* section, bool create)
{
    if (m_strRegistryKey.IsEmpty() || !section)
        return nullptr;
    CString path = ProfilePath() + L"\\" + section;
    HKEY key = nullptr;
    LONG status = create ? ::RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                             KEY_READ | KEY_WRITE, nullptr, &key, nullptr)
                         : ::RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key);
    return status == ERROR_SUCCESS ? key : nullptr;
}

UINT CWinApp::GetProfileInt(const WCHAR* section, const WCHAR* entry, int defaultValue)
{
    HKEY key = OpenSectionKey(section, false);
    if (!key)
        return (UINT)defaultValue;
    DWORD value = 0, type = 0, size = sizeof value;
    LONG status = ::RegQueryValueExW(key, entry, nullptr, &type, (BYTE*)&value, &size);
    ::RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value)
        return (UINT)defaultValue;
    return value;
}

BOOL CWinApp::WriteProfileInt(const WCHAR* section, const WCHAR* entry, int value)
{
    HKEY key = OpenSectionKey(section, true);
    if (!key)
        return FALSE;
    DWORD data = (DWORD)value;
    LONG status = ::RegSetValueExW(key, entry, 0, REG_DWORD, (const BYTE*)&data, sizeof data);
    ::RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

CString CWinApp::GetProfileString(const WCHAR* section, const WCHAR* entry, const WCHAR* defaultValue)
{
    CString result(defaultValue);
    HKEY key = OpenSectionKey(section, false);
    if (!key)
        return result;
    DWORD type = 0, size = 0;
    if (::RegQueryValueExW(key, entry, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_SZ) {
        CString value;
        int chars = (int)(size / sizeof(WCHAR));
        WCHAR* buffer = value.GetBuffer(chars + 1);
        if (::RegQueryValueExW(key, entry, nullptr, &type, (BYTE*)buffer, &size) == ERROR_SUCCESS) {
            buffer[std::min<DWORD>(size / sizeof(WCHAR), (DWORD)chars)] = 0;
            value.ReleaseBuffer();
            result = value;
        }
    }
    ::RegCloseKey(key);
    return result;
}

BOOL CWinApp::WriteProfileString(const WCHAR* section, const WCHAR* entry, const WCHAR* value)
{
    if (!entry) {
        if (m_strRegistryKey.IsEmpty() || !section)
            return FALSE;
        CString path = ProfilePath() + L"\\" + section;
        LONG status = ::RegDeleteTreeW(HKEY_CURRENT_USER, path);
        return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
    }
    HKEY key = OpenSectionKey(section, true);
    if (!key)
        return FALSE;
    LONG status;
    if (!value) {
        status = ::RegDeleteValueW(key, entry);
        if (status == ERROR_FILE_NOT_FOUND)
            status = ERROR_SUCCESS;
    } else {
        DWORD bytes = (DWORD)((StringLength(value) + 1) * sizeof(WCHAR));
        status = ::RegSetValueExW(key, entry, 0, REG_SZ, (const BYTE*)value, bytes);
    }
    ::RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

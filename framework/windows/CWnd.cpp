#include "framework/windows/CWnd.h"

#include "framework/windows/AfxMessageBox.h"
#include "framework/base/CException.h"
#include "framework/windows/CWinApp.h"

#include <algorithm>
#include <set>
#include <unordered_map>

namespace {

// Objects that own a window, by handle. Windows are made and used on the
// user-interface thread, but a worker may look a handle up, so the map is
// guarded.
class PermanentMap {
public:
    PermanentMap() { InitializeCriticalSection(&m_lock); }
    CWnd* Find(HWND hwnd)
    {
        EnterCriticalSection(&m_lock);
        auto it = m_map.find(hwnd);
        CWnd* wnd = it == m_map.end() ? nullptr : it->second;
        LeaveCriticalSection(&m_lock);
        return wnd;
    }
    bool Insert(HWND hwnd, CWnd* wnd)
    {
        EnterCriticalSection(&m_lock);
        bool inserted = m_map.emplace(hwnd, wnd).second;
        LeaveCriticalSection(&m_lock);
        return inserted;
    }
    void Erase(HWND hwnd)
    {
        EnterCriticalSection(&m_lock);
        m_map.erase(hwnd);
        LeaveCriticalSection(&m_lock);
    }

private:
    CRITICAL_SECTION m_lock;
    std::unordered_map<HWND, CWnd*> m_map;
};

PermanentMap& Permanent()
{
    static PermanentMap map;
    return map;
}

// Wrappers for handles no object owns, per thread, until the next idle time.
thread_local std::unordered_map<HWND, CWnd*> t_tempMap;

// The message being handled by the innermost WindowProc of this thread.
thread_local MSG t_currentMsg;

}  // namespace

// Attaches the first window created on this thread while it is armed, before
// the window receives any message.
class CWndCreationHook {
public:
    explicit CWndCreationHook(CWnd* wnd) : m_previous(s_wndInit)
    {
        s_wndInit = wnd;
        if (!s_hook) {
            s_hook = SetWindowsHookExW(WH_CBT, Proc, nullptr, GetCurrentThreadId());
            m_ownsHook = true;
        }
    }
    ~CWndCreationHook()
    {
        s_wndInit = m_previous;
        if (m_ownsHook) {
            UnhookWindowsHookEx(s_hook);
            s_hook = nullptr;
        }
    }

private:
    static LRESULT CALLBACK Proc(int code, WPARAM wParam, LPARAM lParam)
    {
        if (code == HCBT_CREATEWND && s_wndInit) {
            CWnd* wnd = s_wndInit;
            s_wndInit = nullptr;
            wnd->SubclassWindow((HWND)wParam);
        }
        return CallNextHookEx(s_hook, code, wParam, lParam);
    }

    static thread_local CWnd* s_wndInit;
    static thread_local HHOOK s_hook;
    CWnd* m_previous;
    bool m_ownsHook = false;
};

thread_local CWnd* CWndCreationHook::s_wndInit = nullptr;
thread_local HHOOK CWndCreationHook::s_hook = nullptr;

CWnd::CWnd() = default;

CWnd::~CWnd()
{
    if (m_hWnd && FromHandlePermanent(m_hWnd) == this) {
        HWND hwnd = UnsubclassWindow();
        ::DestroyWindow(hwnd);
    }
}

CWnd* CWnd::FromHandle(HWND hwnd)
{
    if (!hwnd)
        return nullptr;
    if (CWnd* wnd = FromHandlePermanent(hwnd))
        return wnd;
    CWnd*& temp = t_tempMap[hwnd];
    if (!temp) {
        temp = new CWnd;
        temp->m_hWnd = hwnd;
    }
    return temp;
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd) { return hwnd ? Permanent().Find(hwnd) : nullptr; }

void CWnd::DeleteTempMap()
{
    for (auto& entry : t_tempMap) {
        entry.second->m_hWnd = nullptr;
        delete entry.second;
    }
    t_tempMap.clear();
}

BOOL CWnd::Attach(HWND hwnd)
{
    if (!hwnd || m_hWnd || !Permanent().Insert(hwnd, this))
        return FALSE;
    m_hWnd = hwnd;
    return TRUE;
}

HWND CWnd::Detach()
{
    HWND hwnd = m_hWnd;
    if (hwnd)
        Permanent().Erase(hwnd);
    m_hWnd = nullptr;
    return hwnd;
}

BOOL CWnd::SubclassWindow(HWND hwnd)
{
    if (!Attach(hwnd))
        return FALSE;
    WNDPROC old = (WNDPROC)::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, (LONG_PTR)StandardWndProc);
    m_pfnSuper = old == StandardWndProc ? nullptr : old;
    return TRUE;
}

HWND CWnd::UnsubclassWindow()
{
    if (m_pfnSuper && m_hWnd)
        ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, (LONG_PTR)m_pfnSuper);
    m_pfnSuper = nullptr;
    return Detach();
}

BOOL CWnd::CreateEx(DWORD exStyle, const WCHAR* className, const WCHAR* windowName, DWORD style, const RECT& rect,
                    CWnd* parent, UINT id, void* param)
{
    // Only a child window has an id; for others the slot would be a menu.
    HMENU idOrMenu = (style & WS_CHILD) ? (HMENU)(UINT_PTR)id : nullptr;
    return CreateEx(exStyle, className, windowName, style, rect.left, rect.top, rect.right - rect.left,
                    rect.bottom - rect.top, parent ? parent->m_hWnd : nullptr, idOrMenu, param);
}

BOOL CWnd::CreateEx(DWORD exStyle, const WCHAR* className, const WCHAR* windowName, DWORD style, int x, int y,
                    int width, int height, HWND parent, HMENU idOrMenu, void* param)
{
    if (m_hWnd)
        return FALSE;
    CREATESTRUCTW cs = {};
    cs.lpCreateParams = param;
    cs.hInstance = GetModuleHandleW(nullptr);
    cs.hMenu = idOrMenu;
    cs.hwndParent = parent;
    cs.cx = width;
    cs.cy = height;
    cs.x = x;
    cs.y = y;
    cs.style = (LONG)style;
    cs.lpszName = windowName;
    cs.lpszClass = className;
    cs.dwExStyle = exStyle;
    if (!PreCreateWindow(cs))
        return FALSE;
    return CreateHooked([&cs] {
               return ::CreateWindowExW(cs.dwExStyle, cs.lpszClass, cs.lpszName, (DWORD)cs.style, cs.x, cs.y, cs.cx,
                                        cs.cy, cs.hwndParent, cs.hMenu, cs.hInstance, cs.lpCreateParams);
           }) != nullptr;
}

HWND CWnd::CreateHooked(const std::function<HWND()>& create)
{
    HWND hwnd;
    {
        CWndCreationHook hook(this);
        hwnd = create();
    }
    return hwnd && m_hWnd == hwnd ? hwnd : nullptr;
}

BOOL CWnd::PreCreateWindow(CREATESTRUCTW&) { return TRUE; }

BOOL CWnd::DestroyWindow() { return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE; }

const WCHAR* CWnd::RegisterWndClass(UINT classStyle, HCURSOR cursor, HBRUSH background, HICON icon)
{
    static std::set<CString> names;  // registered from the user-interface thread
    CString name;
    name.Format(L"QvWnd:%x:%p:%p:%p", classStyle, (void*)cursor, (void*)background, (void*)icon);
    auto found = names.find(name);
    if (found != names.end())
        return found->GetString();
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = classStyle;
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.hIcon = icon;
    wc.lpszClassName = name;
    if (!::RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return nullptr;
    return names.insert(name).first->GetString();
}

LRESULT CALLBACK CWnd::StandardWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* wnd = FromHandlePermanent(hwnd);
    if (!wnd)
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    return wnd->DispatchToObject(message, wParam, lParam);
}

LRESULT CWnd::DispatchToObject(UINT message, WPARAM wParam, LPARAM lParam)
{
    // The object may delete itself inside WindowProc (PostNcDestroy), so
    // nothing of it is touched after the call except for WM_NCDESTROY,
    // which is the call that ends it.
    MSG saved = t_currentMsg;
    t_currentMsg = MSG{m_hWnd, message, wParam, lParam, 0, {0, 0}};
    LRESULT result = 0;
    // Exceptions cannot unwind through the system's dispatch code.
    try {
        result = WindowProc(message, wParam, lParam);
    } catch (CException* e) {
        AfxReportException(*e);
        e->Delete();
    } catch (...) {
    }
    t_currentMsg = saved;
    if (message == WM_NCDESTROY)
        AfterNcDestroy();
    return result;
}

void CWnd::AfterNcDestroy()
{
    m_pfnSuper = nullptr;
    Detach();
    CWinApp* app = AfxGetApp();
    if (app && app->m_pMainWnd == this) {
        app->m_pMainWnd = nullptr;
        PostQuitMessage(0);
    }
    PostNcDestroy();
}

void CWnd::PostNcDestroy() {}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result))
        result = DefWindowProc(message, wParam, lParam);
    return result;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    *result = 0;
    switch (message) {
    case WM_CREATE:
        *result = OnCreate((CREATESTRUCTW*)lParam);
        return TRUE;
    case WM_DESTROY:
        OnDestroy();
        return TRUE;
    case WM_CLOSE:
        OnClose();
        return TRUE;
    case WM_PAINT:
        OnPaint();
        return TRUE;
    case WM_TIMER:
        OnTimer((UINT_PTR)wParam);
        return TRUE;
    case WM_SIZE:
        OnSize((UINT)wParam, (short)LOWORD(lParam), (short)HIWORD(lParam));
        return TRUE;
    case WM_COMMAND:
        return OnCommand(wParam, lParam);
    case WM_NOTIFY: {
        const NMHDR* header = (const NMHDR*)lParam;
        if (header && ReflectToChild(header->hwndFrom, message, wParam, lParam, result))
            return TRUE;
        return OnNotify(wParam, lParam, result);
    }
    case WM_DRAWITEM: {
        const DRAWITEMSTRUCT* item = (const DRAWITEMSTRUCT*)lParam;
        if (item && item->CtlType != ODT_MENU)
            return ReflectToChild(item->hwndItem, message, wParam, lParam, result);
        return FALSE;
    }
    case WM_MEASUREITEM: {
        const MEASUREITEMSTRUCT* item = (const MEASUREITEMSTRUCT*)lParam;
        if (item && item->CtlType != ODT_MENU)
            return ReflectToChild(::GetDlgItem(m_hWnd, (int)item->CtlID), message, wParam, lParam, result);
        return FALSE;
    }
    case WM_COMPAREITEM: {
        const COMPAREITEMSTRUCT* item = (const COMPAREITEMSTRUCT*)lParam;
        return item && ReflectToChild(item->hwndItem, message, wParam, lParam, result);
    }
    default:
        return FALSE;
    }
}

BOOL CWnd::ReflectToChild(HWND child, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    CWnd* wnd = child ? FromHandlePermanent(child) : nullptr;
    return wnd && wnd != this && wnd->OnChildNotify(message, wParam, lParam, result);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper)
        return ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default()
{
    return DefWindowProc(t_currentMsg.message, t_currentMsg.wParam, t_currentMsg.lParam);
}

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

BOOL CWnd::WalkPreTranslateTree(MSG* msg)
{
    for (HWND hwnd = msg->hwnd; hwnd;) {
        // Read the style first: the handler may destroy the window.
        bool child = (::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD) != 0;
        HWND parent = ::GetParent(hwnd);
        CWnd* wnd = FromHandlePermanent(hwnd);
        if (wnd && wnd->PreTranslateMessage(msg))
            return TRUE;
        if (!child)
            break;
        hwnd = parent;
    }
    return FALSE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam)
{
    HWND control = (HWND)lParam;
    LRESULT ignored = 0;
    if (control && ReflectToChild(control, WM_COMMAND, wParam, lParam, &ignored))
        return TRUE;
    // Menus send code 0 and accelerators 1: both are plain commands.
    int code = control ? (int)HIWORD(wParam) : 0;
    return OnCmdMsg(LOWORD(wParam), code, nullptr);
}

BOOL CWnd::OnNotify(WPARAM, LPARAM, LRESULT*) { return FALSE; }

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*) { return FALSE; }

int CWnd::OnCreate(CREATESTRUCTW*) { return (int)Default(); }

void CWnd::OnDestroy() { Default(); }

void CWnd::OnClose() { Default(); }

void CWnd::OnPaint() { Default(); }

void CWnd::OnTimer(UINT_PTR) { Default(); }

void CWnd::OnSize(UINT, int, int) { Default(); }

CWnd* CWnd::GetParent() const { return FromHandle(::GetParent(m_hWnd)); }

CWnd* CWnd::GetDlgItem(int id) const { return FromHandle(::GetDlgItem(m_hWnd, id)); }

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add)
{
    DWORD style = GetStyle();
    DWORD changed = (style & ~remove) | add;
    if (changed == style)
        return FALSE;
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, (LONG_PTR)changed);
    return TRUE;
}

void CWnd::GetWindowTextOf(HWND hwnd, CString& text)
{
    int length = ::GetWindowTextLengthW(hwnd);
    WCHAR* buffer = text.GetBuffer(length + 1);
    int got = ::GetWindowTextW(hwnd, buffer, length + 1);
    text.ReleaseBuffer(got);
}

void CWnd::GetWindowText(CString& text) const { GetWindowTextOf(m_hWnd, text); }

CString CWnd::GetWindowText() const
{
    CString text;
    GetWindowTextOf(m_hWnd, text);
    return text;
}

void CWnd::GetDlgItemText(int id, CString& text) const { GetWindowTextOf(::GetDlgItem(m_hWnd, id), text); }

CWnd* CWnd::SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }

CWnd* CWnd::GetFocus() { return FromHandle(::GetFocus()); }

void CWnd::CenterWindow(CWnd* alternateOwner)
{
    HWND over = alternateOwner ? alternateOwner->m_hWnd : ::GetWindow(m_hWnd, GW_OWNER);
    if (over && (!::IsWindowVisible(over) || ::IsIconic(over)))
        over = nullptr;
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromWindow(over ? over : m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& area = monitor.rcWork;
    RECT centre = area;
    if (over)
        ::GetWindowRect(over, &centre);
    RECT mine;
    ::GetWindowRect(m_hWnd, &mine);
    int width = mine.right - mine.left, height = mine.bottom - mine.top;
    int x = (centre.left + centre.right) / 2 - width / 2;
    int y = (centre.top + centre.bottom) / 2 - height / 2;
    // A large owner near an edge must not push the window off the screen.
    x = std::max<int>(area.left, std::min<int>(x, area.right - width));
    y = std::max<int>(area.top, std::min<int>(y, area.bottom - height));
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

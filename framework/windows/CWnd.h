// CWnd: a C++ object over a real window.
//
// Every window the program creates or subclasses is routed through one window
// procedure, which finds the object in the handle map and calls its virtual
// WindowProc. WindowProc hands the message to OnWndMsg, which calls the plain
// virtual handlers below (OnCreate, OnPaint, OnTimer, OnCommand ...); a class
// that adds handlers overrides OnWndMsg and chains to its base, a class that
// needs a message no handler covers overrides WindowProc. A handler's base
// version runs the window's default processing (Default()).
//
// Windows of any class are created through CreateEx: a creation hook attaches
// the object and subclasses the window before its first message. Controls
// that come from a dialog template are taken over with SubclassWindow.
// Handles without an object get a temporary wrapper from
// FromHandle, deleted at idle time (DeleteTempMap).
#pragma once

#include "framework/windows/CCmdTarget.h"
#include "framework/base/CString.h"

#include <windows.h>

#include <functional>

class CWnd : public CCmdTarget {
public:
    CWnd();
    // A window still attached is detached and destroyed without calling back
    // into the half-destroyed object.
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    operator HWND() const { return m_hWnd; }

    // Handle map
    static CWnd* FromHandle(HWND hwnd);           // permanent object or a temporary one
    static CWnd* FromHandlePermanent(HWND hwnd);  // null when no object owns the handle
    static void DeleteTempMap();                  // this thread's temporary objects
    BOOL Attach(HWND hwnd);
    HWND Detach();
    BOOL SubclassWindow(HWND hwnd);
    HWND UnsubclassWindow();

    // Creation and destruction
    BOOL CreateEx(DWORD exStyle, const WCHAR* className, const WCHAR* windowName, DWORD style, const RECT& rect,
                  CWnd* parent, UINT id, void* param = nullptr);
    BOOL CreateEx(DWORD exStyle, const WCHAR* className, const WCHAR* windowName, DWORD style, int x, int y,
                  int width, int height, HWND parent, HMENU idOrMenu, void* param = nullptr);
    virtual BOOL PreCreateWindow(CREATESTRUCTW& cs);
    virtual BOOL DestroyWindow();
    // Registers (once) and returns a window class whose procedure is the
    // default one; CreateEx subclasses each window made from it.
    static const WCHAR* RegisterWndClass(UINT classStyle, HCURSOR cursor = nullptr, HBRUSH background = nullptr,
                                         HICON icon = nullptr);

    // Message processing
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Default processing of the message being handled.
    LRESULT Default();
    // Called by the message loops before a message is dispatched, for the
    // target window and each of its parents up to its top-level window; true
    // when the message was used and must not be dispatched.
    virtual BOOL PreTranslateMessage(MSG* msg);
    static BOOL WalkPreTranslateTree(MSG* msg);
    // Called after the window is gone (WM_NCDESTROY); a window that lives on
    // the heap and owns itself deletes itself here.
    virtual void PostNcDestroy();
    // WM_COMMAND: controls first get the notification back (OnChildNotify),
    // then OnCmdMsg runs with the id and the notification code.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);
    // A notification this control sent to its parent (WM_COMMAND, WM_NOTIFY,
    // WM_DRAWITEM), offered to the control first; true when it handled it.
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

    // Handlers; their base versions run the default processing.
    virtual int OnCreate(CREATESTRUCTW* cs);
    virtual void OnDestroy();
    virtual void OnClose();
    virtual void OnPaint();
    virtual void OnTimer(UINT_PTR id);
    virtual void OnSize(UINT type, int cx, int cy);

    // Window operations
    BOOL IsWindow() const { return m_hWnd && ::IsWindow(m_hWnd); }
    CWnd* GetParent() const;
    CWnd* GetDlgItem(int id) const;
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    DWORD GetStyle() const { return (DWORD)::GetWindowLongPtrW(m_hWnd, GWL_STYLE); }
    BOOL ModifyStyle(DWORD remove, DWORD add);

    void SetWindowText(const WCHAR* text) { ::SetWindowTextW(m_hWnd, text); }
    void GetWindowText(CString& text) const;
    CString GetWindowText() const;
    // The text of any window, with or without an object.
    static void GetWindowTextOf(HWND hwnd, CString& text);
    void SetDlgItemText(int id, const WCHAR* text) { ::SetDlgItemTextW(m_hWnd, id, text); }
    void GetDlgItemText(int id, CString& text) const;
    UINT IsDlgButtonChecked(int id) const { return ::IsDlgButtonChecked(m_hWnd, id); }
    void CheckDlgButton(int id, UINT check) { ::CheckDlgButton(m_hWnd, id, check); }

    BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    CWnd* SetFocus();
    static CWnd* GetFocus();
    void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    void GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
    void GetWindowRect(RECT* rect) const { ::GetWindowRect(m_hWnd, rect); }
    void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE)
    {
        ::MoveWindow(m_hWnd, x, y, width, height, repaint);
    }
    void MoveWindow(const RECT& rect, BOOL repaint = TRUE)
    {
        ::MoveWindow(m_hWnd, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, repaint);
    }
    // Centres the window over its owner (or `alternateOwner`), kept inside
    // that window's screen; over the screen when there is no visible owner.
    void CenterWindow(CWnd* alternateOwner = nullptr);
    void SetFont(HFONT font, BOOL redraw = TRUE) { SendMessage(WM_SETFONT, (WPARAM)font, redraw); }
    HFONT GetFont() const { return (HFONT)::SendMessageW(m_hWnd, WM_GETFONT, 0, 0); }

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return ::SendMessageW(m_hWnd, message, wParam, lParam);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return ::PostMessageW(m_hWnd, message, wParam, lParam);
    }
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse, TIMERPROC proc = nullptr)
    {
        return ::SetTimer(m_hWnd, id, elapse, proc);
    }
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }

protected:
    // Runs `create` with the creation hook armed for this object, so that the
    // first window it creates is attached and subclassed before its first
    // message; returns that window when this object owns it.
    HWND CreateHooked(const std::function<HWND()>& create);

    WNDPROC m_pfnSuper = nullptr;  // the procedure the window had before we subclassed it

private:
    friend class CWndCreationHook;
    static LRESULT CALLBACK StandardWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DispatchToObject(UINT message, WPARAM wParam, LPARAM lParam);
    void AfterNcDestroy();
    BOOL ReflectToChild(HWND child, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
};

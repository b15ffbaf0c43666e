// CWinApp: the application object. One per process; the constructor makes it
// the one AfxGetApp returns. AfxWinMain runs InitInstance, then the message
// loop (Run) with idle processing (OnIdle), then ExitInstance.
//
// The registry profile lives under the key
//     HKEY_CURRENT_USER\Software\<registry key>\<profile name>\<section>
// and nothing is read or written before SetRegistryKey.
#pragma once

#include "framework/windows/CCmdTarget.h"
#include "framework/base/CString.h"

#include <windows.h>

#include <vector>

class CWnd;

class CWinApp : public CCmdTarget {
public:
    // The name is the caption of message boxes and the first profile name.
    explicit CWinApp(const WCHAR* appName = nullptr);
    ~CWinApp() override;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    CWnd* m_pMainWnd = nullptr;  // closing it ends the message loop
    HINSTANCE m_hInstance;
    CString m_strAppName;

    // Start-up; FALSE ends the program before the message loop.
    virtual BOOL InitInstance();
    // The message loop; returns ExitInstance's result once WM_QUIT arrives.
    virtual int Run();
    // Called while the queue is empty with a count that starts at 0 after
    // every input message; TRUE asks for another call.
    virtual BOOL OnIdle(LONG count);
    virtual int ExitInstance();
    // The loop's filter before dispatch; the base walks the target window and
    // its parents (CWnd::PreTranslateMessage).
    virtual BOOL PreTranslateMessage(MSG* msg);
    // Whether a message ends idle time (painting and timer ticks do not).
    virtual BOOL IsIdleMessage(const MSG* msg);
    // Retrieves and dispatches one message; FALSE on WM_QUIT.
    BOOL PumpMessage();
    // Handles that end the loop's wait like a message does: once one is
    // signalled, idle processing runs again (a folder-change notification,
    // polled at idle time). A handle still signalled after that pass is not
    // waited for again until the next message, so one that nobody resets
    // cannot keep the loop busy.
    void AddWakeHandle(HANDLE handle);
    void RemoveWakeHandle(HANDLE handle);

    // Registry profile
    void SetRegistryKey(const WCHAR* company);
    void SetProfileName(const WCHAR* profile);
    UINT GetProfileInt(const WCHAR* section, const WCHAR* entry, int defaultValue);
    BOOL WriteProfileInt(const WCHAR* section, const WCHAR* entry, int value);
    CString GetProfileString(const WCHAR* section, const WCHAR* entry, const WCHAR* defaultValue = nullptr);
    // A null value deletes the entry; a null entry deletes the whole section.
    BOOL WriteProfileString(const WCHAR* section, const WCHAR* entry, const WCHAR* value);
    // The profile's key under HKEY_CURRENT_USER; "" before SetRegistryKey.
    CString ProfilePath() const;

private:
    HKEY OpenSectionKey(const WCHAR* section, bool create);

    CString m_strRegistryKey;
    CString m_strProfileName;
    // Waits for input or a wake handle; true when a wake handle ended it.
    bool WaitForInputOrWakeHandle();

    MSG m_msgCur = {};
    std::vector<HANDLE> m_wakeHandles;
    std::vector<HANDLE> m_spentWakeHandles;  // signalled since the last message
    POINT m_ptLastMouse = {-1, -1};
    UINT m_lastMouseMessage = 0;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
CString AfxGetAppName();
// The filter every message loop of the user-interface thread applies before
// dispatching: the application's PreTranslateMessage, or the window walk
// when there is no application object.
BOOL AfxPreTranslateMessage(MSG* msg);
// Runs the application object: InitInstance, Run, ExitInstance.
int AfxWinMain();

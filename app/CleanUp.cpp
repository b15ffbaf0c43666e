#include "app/CleanUp.h"

#include "app/TempCopyWatch.h"
#include "crypt/FileOps.h"
#include "framework/windows/CWaitCursor.h"
#include "res/resource.h"

CCleanUp::CCleanUp(CWnd* parent) : CDialogEx(IDD_CLEANUP, parent) {}

bool CCleanUp::IsFileFree() const
{
    HANDLE file = ::CreateFileW(m_strPath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    ::CloseHandle(file);
    return true;
}

BOOL CCleanUp::OnInitDialog()
{
    BOOL result = CDialogEx::OnInitDialog();
    CenterWindow();  // over the main window
    SetTimer(TIMER_CHECK, FIRST_CHECK_DELAY);
    return result;
}

void CCleanUp::OnTimer(UINT_PTR id)
{
    if (id != TIMER_CHECK) {
        CDialogEx::OnTimer(id);
        return;
    }
    KillTimer(TIMER_CHECK);
    if (IsFileFree() && (!m_pWatch || m_pWatch->HadTimeToOpen(m_strPath))) {
        WipeAndClose();
        return;
    }
    SetTimer(TIMER_CHECK, CHECK_INTERVAL);
    if (m_nRetryTicks > 0 && --m_nRetryTicks == 0) {
        SetButton(L"Secure Cleanup", TRUE);
        --m_nRetryTicks;
    }
}

void CCleanUp::OnOK()
{
    if (!IsFileFree()) {
        m_nRetryTicks = REFUSED_TICKS;
        SetButton(L"The file is still in use!", FALSE);
        return;
    }
    KillTimer(TIMER_CHECK);
    WipeAndClose();
}

void CCleanUp::WipeAndClose()
{
    SetButton(L"Cleaning up traces...wait", FALSE);
    {
        CWaitCursor wait;
        CFileOps::SecureDeleteFile(m_strPath);
    }
    EndDialog(IDOK);
}

void CCleanUp::SetButton(const WCHAR* text, BOOL enabled)
{
    HWND button = ::GetDlgItem(m_hWnd, IDOK);
    ::SetWindowTextW(button, text);
    ::EnableWindow(button, enabled);
}

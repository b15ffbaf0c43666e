#include "app/ProgressDlg.h"

#include "app/MainFrame.h"
#include "framework/windows/CWinApp.h"
#include "framework/windows/DataExchange.h"
#include "res/resource.h"

namespace {

const UINT_PTR LONG_OPERATION_TIMER = 1;
// Posted to itself by a window closed inside its own button handler.
const UINT WM_DEFERRED_CLOSE = WM_APP + 0x101;

}  // namespace

CProgressDlg::CProgressDlg(const CString& title, CWnd* parent) : CDialogEx(IDD_PROGRESS, parent), m_strTitle(title) {}

CProgressDlg::~CProgressDlg()
{
    if (IsWindow())
        DestroyWindow();
}

BOOL CProgressDlg::Create(CWnd* parent)
{
    HWND owner = parent && parent->IsWindow() ? ::GetAncestor(parent->m_hWnd, GA_ROOT) : nullptr;
    if (!owner && AfxGetMainWnd())
        owner = AfxGetMainWnd()->m_hWnd;
    m_hOwner = owner;
    if (owner && ::IsWindowEnabled(owner)) {
        ::EnableWindow(owner, FALSE);
        m_bOwnerDisabled = TRUE;
    }
    if (!CDialogEx::Create(IDD_PROGRESS, owner ? CWnd::FromHandle(owner) : nullptr)) {
        ReleaseOwner();
        return FALSE;
    }
    return TRUE;
}

void CProgressDlg::ReleaseOwner()
{
    if (m_bOwnerDisabled && m_hOwner && ::IsWindow(m_hOwner))
        ::EnableWindow(m_hOwner, TRUE);
    m_bOwnerDisabled = FALSE;
}

BOOL CProgressDlg::DestroyWindow()
{
    ReleaseOwner();
    return CDialogEx::DestroyWindow();
}

void CProgressDlg::Close()
{
    if (!IsWindow()) {
        delete this;
        return;
    }
    m_bClosePending = true;
    if (m_nHandlerDepth > 0) {
        ShowWindow(SW_HIDE);
        ReleaseOwner();
        PostMessage(WM_DEFERRED_CLOSE);
        return;
    }
    // PostNcDestroy deletes the object.
    DestroyWindow();
}

void CProgressDlg::PostNcDestroy()
{
    CDialogEx::PostNcDestroy();
    if (m_bClosePending)
        delete this;
}

void CProgressDlg::DoDataExchange(CDataExchange* dx)
{
    CDialogEx::DoDataExchange(dx);
    DDX_Control(dx, IDC_PROGRESS_BAR, m_wndProgress);
    DDX_Control(dx, IDC_LOG_LIST, m_list);
}

BOOL CProgressDlg::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    m_wndProgress.SetRange32(m_nLower, m_nUpper);
    m_wndProgress.SetStep(m_nStep);
    m_wndProgress.SetPos(m_nLower);
    SetWindowText(m_strTitle);
    m_list.SetTabSize(4);
    m_list.AddLine(13, 1, L"Start");
    CenterWindow();
    return TRUE;
}

void CProgressDlg::SetRange(int lower, int upper)
{
    if (upper < 1)
        upper = 1;
    m_nLower = lower;
    m_nUpper = upper;
    if (m_wndProgress.IsWindow())
        m_wndProgress.SetRange32(lower, upper);
}

int CProgressDlg::SetPos(int position)
{
    int previous = m_wndProgress.IsWindow() ? m_wndProgress.SetPos(position) : 0;
    UpdatePercent(position);
    return previous;
}

void CProgressDlg::UpdatePercent(int position)
{
    long long offset = (long long)position - m_nLower;
    if (offset < 0)
        offset = 0;
    long long span = (long long)m_nUpper - m_nLower;
    int percent = span > 0 ? (int)(offset * 100 / span) : 0;
    if (percent != 100)
        percent %= 100;
    CString text;
    text.Format(L"%d%c", percent, L'%');
    CString shown;
    GetDlgItemText(IDC_PROGRESS_PERCENT, shown);
    if (shown != text)
        SetDlgItemText(IDC_PROGRESS_PERCENT, text);
}

void CProgressDlg::SetStatus(const CString& text) { SetDlgItemText(IDC_PROGRESS_STATUS, text); }

void CProgressDlg::AddLog(int text, int background, const CString& line) { m_list.AddLine(text, background, line); }

void CProgressDlg::SetLongOperation(BOOL on)
{
    if (on) {
        m_nLongOpPos = 0;
        m_wndProgress.SetRange32(0, 100);
        SetDlgItemText(IDC_PROGRESS_PERCENT, L"Long Operation");
        SetTimer(LONG_OPERATION_TIMER, 500);
    } else {
        KillTimer(LONG_OPERATION_TIMER);
        m_wndProgress.SetPos(0);
    }
}

void CProgressDlg::OnTimer(UINT_PTR id)
{
    if (id != LONG_OPERATION_TIMER) {
        CDialogEx::OnTimer(id);
        return;
    }
    m_nLongOpPos += 5;
    m_wndProgress.SetPos(m_nLongOpPos % 100);
}

void CProgressDlg::OnCancel()
{
    // The window stays: the job decides when it has stopped.
    auto* frame = dynamic_cast<CMainFrame*>(AfxGetMainWnd());
    if (frame && frame->RequestStop() == 1)
        ::ShowWindow(::GetDlgItem(m_hWnd, IDC_TERMINATE), SW_SHOW);
}

void CProgressDlg::OnTerminate()
{
    auto* frame = dynamic_cast<CMainFrame*>(AfxGetMainWnd());
    if (frame && frame->TerminateJob() != 0)
        ::ShowWindow(::GetDlgItem(m_hWnd, IDC_TERMINATE), SW_HIDE);
}

BOOL CProgressDlg::OnCmdMsg(UINT id, int code, CCmdUI* update)
{
    if (update || code != BN_CLICKED || (id != IDC_TERMINATE && id != IDCANCEL))
        return CDialogEx::OnCmdMsg(id, code, update);
    // The frame may close this window while a button's handler runs; the
    // window then goes once the handler has returned.
    ++m_nHandlerDepth;
    if (id == IDC_TERMINATE)
        OnTerminate();
    else
        OnCancel();
    --m_nHandlerDepth;
    return TRUE;
}

BOOL CProgressDlg::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_DEFERRED_CLOSE) {
        *result = 0;
        DestroyWindow();
        return TRUE;
    }
    return CDialogEx::OnWndMsg(message, wParam, lParam, result);
}

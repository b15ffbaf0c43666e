#include "framework/windows/CDialog.h"

#include "framework/windows/CWinApp.h"
#include "framework/windows/DataExchange.h"

namespace {

// The top-level window a dialog of `parent` belongs to: the parent's own
// top-level window, or the main window.
HWND OwnerFor(CWnd* parent)
{
    if (parent && parent->m_hWnd)
        return ::GetAncestor(parent->m_hWnd, GA_ROOT);
    CWnd* main = AfxGetMainWnd();
    return main ? main->m_hWnd : nullptr;
}

}  // namespace

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nTemplateId(templateId), m_pParentWnd(parent) {}

INT_PTR CDialog::DoModal()
{
    HWND owner = OwnerFor(m_pParentWnd);
    bool disabledOwner = owner && ::IsWindowEnabled(owner);
    if (disabledOwner)
        ::EnableWindow(owner, FALSE);
    m_ended = false;
    m_nResult = -1;
    if (CreateFromTemplate(owner)) {
        if (!m_ended) {
            ShowWindow(SW_SHOWNORMAL);
            RunModalLoop();
        }
    }
    // The owner is enabled before the dialog goes, so that it gets the
    // activation back.
    if (disabledOwner)
        ::EnableWindow(owner, TRUE);
    if (m_hWnd) {
        if (owner && ::GetActiveWindow() == m_hWnd)
            ::SetActiveWindow(owner);
        DestroyWindow();
    }
    return m_nResult;
}

BOOL CDialog::Create(UINT templateId, CWnd* parent)
{
    m_nTemplateId = templateId;
    m_pParentWnd = parent;
    m_ended = false;
    return CreateFromTemplate(parent ? parent->m_hWnd : nullptr);
}

BOOL CDialog::CreateFromTemplate(HWND owner)
{
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    HRSRC resource = ::FindResourceW(instance, MAKEINTRESOURCEW(m_nTemplateId), (LPCWSTR)RT_DIALOG);
    HGLOBAL loaded = resource ? ::LoadResource(instance, resource) : nullptr;
    const DLGTEMPLATE* dialogTemplate = loaded ? (const DLGTEMPLATE*)::LockResource(loaded) : nullptr;
    if (!dialogTemplate)
        return FALSE;
    return CreateHooked([&] {
               return ::CreateDialogIndirectParamW(instance, dialogTemplate, owner, DialogProc, 0);
           }) != nullptr;
}

// The window procedure of the dialog object handles everything; the system's
// dialog procedure only does the standard dialog work.
INT_PTR CALLBACK CDialog::DialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

void CDialog::RunModalLoop()
{
    m_inModalLoop = true;
    while (!m_ended && IsWindow()) {
        MSG msg;
        if (::GetMessageW(&msg, nullptr, 0, 0) <= 0) {
            // The program is ending: leave the quit to the outer loop.
            ::PostQuitMessage((int)msg.wParam);
            if (!m_ended)
                m_nResult = IDCANCEL;
            break;
        }
        if (!AfxPreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    m_inModalLoop = false;
}

void CDialog::EndDialog(int result)
{
    m_nResult = result;
    m_ended = true;
    if (!m_inModalLoop && m_hWnd)
        ShowWindow(SW_HIDE);
}

void CDialog::PostNcDestroy()
{
    // A modal dialog destroyed from outside ends its loop.
    m_ended = true;
}

BOOL CDialog::UpdateData(BOOL saveAndValidate)
{
    CDataExchange dx(this, saveAndValidate);
    try {
        DoDataExchange(&dx);
    } catch (const CDataExchange::Failure&) {
        return FALSE;
    }
    return TRUE;
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (UpdateData(TRUE))
        EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_INITDIALOG) {
        *result = OnInitDialog();
        return TRUE;
    }
    return CWnd::OnWndMsg(message, wParam, lParam, result);
}

BOOL CDialog::OnCmdMsg(UINT id, int code, CCmdUI* update)
{
    if (!update && code == BN_CLICKED) {
        if (id == IDOK) {
            OnOK();
            return TRUE;
        }
        if (id == IDCANCEL) {
            OnCancel();
            return TRUE;
        }
    }
    return CWnd::OnCmdMsg(id, code, update);
}

BOOL CDialog::PreTranslateMessage(MSG* msg)
{
    if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST && ::IsDialogMessageW(m_hWnd, msg))
        return TRUE;
    return CWnd::PreTranslateMessage(msg);
}

#include "viewers/FullImgView.h"

#include "crypt/PathParts.h"
#include "doc/OrvantisDoc.h"
#include "res/resource.h"
#include "viewers/WindowPlacement.h"

namespace {

const WCHAR kPlacementSection[] = L"ImageViewSize";
const WCHAR kTitlePrefix[] = L"Secure Viewer: ";

}  // namespace

CFullImgView::CFullImgView(CWnd* parent) : CDialogEx(IDD_IMAGE_VIEW, parent) {}

CFullImgView::~CFullImgView() = default;

BOOL CFullImgView::CreateModeless(CWnd* parent)
{
    if (!Create(IDD_IMAGE_VIEW, parent))
        return FALSE;
    ShowWindow(SW_SHOW);
    return TRUE;
}

CFullImgView* CFullImgView::Open(COrvantisDoc* owner, const CString& path)
{
    CFullImgView* viewer = new CFullImgView(nullptr);
    viewer->m_pOwner = owner;
    viewer->m_bShowAs = 0;
    viewer->m_strPath = path;
    if (viewer->CreateModeless(nullptr))
        return viewer;
    // Never became a window, so PostNcDestroy will not delete it.
    if (!viewer->IsWindow())
        delete viewer;
    return nullptr;
}

void CFullImgView::ShowImageFile(const CString& path) { m_preview.ShowFile(path); }

void CFullImgView::ShowImageFileAs(const CString& path, const CString& shownName)
{
    m_preview.ShowFileAs(path, shownName);
}

BOOL CFullImgView::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    if (m_preview.Create(this, kPreviewId))
        m_preview.m_gifWindow.Create(&m_preview, kGifId);
    // Pictures smaller than the window are drawn 1:1 and decoded at full size.
    m_preview.m_bFitToWindow = 0;
    m_preview.ShowWindow(SW_SHOW);
    m_preview.m_gifWindow.m_bFitToWindow = 0;
    if (m_preview.m_gifWindow.IsWindow())
        m_preview.m_gifWindow.ShowWindow(SW_HIDE);
    // The placement written under "ImageViewSize" on close is not read back:
    // every viewer opens at its template's place.
    CRect client;
    GetClientRect(&client);
    SizeChildren(client.Width(), client.Height());
    if (m_bShowAs)
        ShowImageFileAs(m_strPath, m_strShownName);
    else
        ShowImageFile(m_strPath);
    SetWindowText(CString(kTitlePrefix) + PathFilePart(m_strPath));
    return TRUE;
}

void CFullImgView::OnCancel()
{
    SaveWindowPlacement(m_hWnd, kPlacementSection, TRUE);
    DestroyWindow();
}

void CFullImgView::SizeChildren(int cx, int cy)
{
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (m_preview.IsWindow())
        ::SetWindowPos(m_preview, nullptr, 0, 0, cx, cy, flags);
    if (m_preview.m_gifWindow.IsWindow())
        ::SetWindowPos(m_preview.m_gifWindow, nullptr, 0, 0, cx, cy, flags);
}

void CFullImgView::OnSize(UINT type, int cx, int cy)
{
    CDialogEx::OnSize(type, cx, cy);
    SizeChildren(cx, cy);
}

BOOL CFullImgView::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_ERASEBKGND) {
        *result = 1;
        return TRUE;
    }
    return CDialogEx::OnWndMsg(message, wParam, lParam, result);
}

void CFullImgView::PostNcDestroy()
{
    CDialogEx::PostNcDestroy();
    if (m_pOwner && m_pOwner->m_pImageViewer == this)
        m_pOwner->m_pImageViewer = nullptr;
    delete this;
}

#include "app/SettingsDlg.h"

#include "framework/windows/DataExchange.h"
#include "res/resource.h"

CSettingsDlg::CSettingsDlg(CWnd* parent) : CDialogEx(IDD_SETTINGS, parent) {}

void CSettingsDlg::SetPlayerStatus(bool loaded)
{
    m_bPlayerReady = loaded ? 1 : 0;
    m_strPlayerStatus = loaded ? L"Ready" : L"Missing libraries";
}

BOOL CSettingsDlg::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    // Over the main window, as every window of the program opens.
    CenterWindow();
    return TRUE;
}

void CSettingsDlg::DoDataExchange(CDataExchange* dx)
{
    CDialogEx::DoDataExchange(dx);
    DDX_Check(dx, IDC_ALLOW_ROOT, m_bAllowRoot);
    DDX_Check(dx, IDC_DOUBLE_CLICK, m_bDoubleClick);
    DDX_Check(dx, IDC_ASYNC_VIDEO, m_bAsyncVideo);
    DDX_Check(dx, IDC_AUTOPREVIEW, m_bAutopreview);
    DDX_Check(dx, IDC_IMAGE_VIEW, m_bImageView);
    DDX_Check(dx, IDC_TEXT_VIEW, m_bTextView);
    DDX_Text(dx, IDC_PLAYER_STATUS, m_strPlayerStatus);
    DDX_Radio(dx, IDC_VIDEO_SECURE_SHRED, m_nVideoCache);
}

#include "crypt/doc/PreviewHost.h"

#include "framework/CWinApp.h"
#include "framework/CWnd.h"

CPreviewHost* CPreviewHost::OfMainWindow()
{
    CWnd* main = AfxGetMainWnd();
    if (!main || !main->m_hWnd)
        return nullptr;
    return dynamic_cast<CPreviewHost*>(main);
}

#include "doc/ImageViewerHost.h"

#include "framework/windows/CWinApp.h"
#include "framework/windows/CWnd.h"

CImageViewerHost* CImageViewerHost::OfMainWindow()
{
    CWnd* main = AfxGetMainWnd();
    if (!main || !main->m_hWnd)
        return nullptr;
    return dynamic_cast<CImageViewerHost*>(main);
}

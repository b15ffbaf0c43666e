// CMainFrame: making the secure viewers for the document.
#include "app/MainFrame.h"

#include "app/EditorOpening.h"
#include "doc/OrvantisDoc.h"
#include "viewers/FullImgView.h"

CFullImgView* CMainFrame::OpenImageViewer(COrvantisDoc* owner, const CString& path, HWND& window)
{
    CFullImgView* viewer = CFullImgView::Open(owner, path);
    window = viewer ? viewer->m_hWnd : nullptr;
    return viewer;
}

HWND CMainFrame::OpenTextFile(COrvantisDoc* owner, const CString& path) { return OpenPlainTextEditor(owner, path); }

HWND CMainFrame::OpenDecryptedText(COrvantisDoc* owner, const CString& name, const CString& sourcePath,
                                   const BYTE* text, int size)
{
    return OpenMemoryTextEditor(owner, name, sourcePath, text, size);
}

void CMainFrame::OnClose()
{
    if (auto* document = dynamic_cast<COrvantisDoc*>(GetActiveDocument())) {
        if (!document->AskViewersToClose())
            return;
    }
    CFrameWnd::OnClose();
}

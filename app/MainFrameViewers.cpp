// CMainFrame: making the secure viewers for the document. Each is a window of
// its own on the heap, without a parent, that deletes itself when it closes.
#include "app/MainFrame.h"

#include "viewers/EditorWindow.h"
#include "viewers/FullImgView.h"

namespace {

// Shows a new editor; its window, or null (the editor gone) when none could be made.
HWND ShowEditor(CEditorWindow* editor)
{
    if (editor->CreateModeless(nullptr))
        return editor->m_hWnd;
    // Never became a window, so PostNcDestroy will not delete it.
    if (!editor->m_hWnd) {
        editor->SetOwner(nullptr);
        delete editor;
    }
    return nullptr;
}

}  // namespace

CFullImgView* CMainFrame::OpenImageViewer(COrvantisDoc* owner, const CString& path, HWND& window)
{
    CFullImgView* viewer = CFullImgView::Open(owner, path);
    window = viewer ? viewer->m_hWnd : nullptr;
    return viewer;
}

HWND CMainFrame::OpenTextFile(COrvantisDoc* owner, const CString& path)
{
    CEditorWindow* editor = new CEditorWindow(nullptr);
    editor->SetOwner(owner);
    editor->SetSourcePath(path);
    return ShowEditor(editor);
}

HWND CMainFrame::OpenDecryptedText(COrvantisDoc* owner, const CString& name, const CString& sourcePath,
                                   const BYTE* text, int size)
{
    CEditorWindow* editor = new CEditorWindow(nullptr);
    editor->SetOwner(owner);
    editor->SetName(name);
    editor->SetSourcePath(sourcePath);
    editor->SetTextBuffer(text, size);
    return ShowEditor(editor);
}

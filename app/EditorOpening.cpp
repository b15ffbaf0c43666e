#include "app/EditorOpening.h"

#include "viewers/EditorWindow.h"

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

HWND OpenPlainTextEditor(COrvantisDoc* owner, const CString& path)
{
    CEditorWindow* editor = new CEditorWindow(nullptr);
    editor->SetOwner(owner);
    editor->SetName(path);
    return ShowEditor(editor);
}

HWND OpenMemoryTextEditor(COrvantisDoc* owner, const CString& name, const CString& sourcePath, const BYTE* text,
                          int size)
{
    CEditorWindow* editor = new CEditorWindow(nullptr);
    editor->SetOwner(owner);
    editor->SetName(name);
    editor->SetSourcePath(sourcePath);
    editor->SetTextBuffer(text, size);
    return ShowEditor(editor);
}

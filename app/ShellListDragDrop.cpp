// Dragging list items out to other programs: they receive the files as
// CF_HDROP, with the program's own marker format beside it.
#include "app/DropSource.h"
#include "app/MyMFCShellListCtrl.h"
#include "app/OrvantisApp.h"
#include "framework/windows/COleDataSource.h"

#include <shlobj.h>

#include <cstring>

namespace {

const UINT kShareableZeroed = GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_SHARE;  // 0x2042

// Holds the Ctrl key down (as the user would) while it lives, so that drop
// targets copy by default; released on every way out.
class HeldControlKey {
public:
    HeldControlKey() { ::keybd_event(VK_CONTROL, 0, 0, 0); }
    ~HeldControlKey() { ::keybd_event(VK_CONTROL, 0, KEYEVENTF_KEYUP, 0); }
    HeldControlKey(const HeldControlKey&) = delete;
    HeldControlKey& operator=(const HeldControlKey&) = delete;
};

}  // namespace

HRESULT STDMETHODCALLTYPE CDropSource::QueryContinueDrag(BOOL escapePressed, DWORD keyState)
{
    return COleDropSource::QueryContinueDrag(escapePressed, keyState);
}

HRESULT STDMETHODCALLTYPE CDropSource::GiveFeedback(DWORD effect)
{
    m_dwLastEffect = effect;
    return COleDropSource::GiveFeedback(effect);
}

BOOL CDropSource::OnBeginDrag(CWnd* window)
{
    m_dwLastEffect = DROPEFFECT_NONE;
    m_bStarted = 1;
    return COleDropSource::OnBeginDrag(window);
}

HGLOBAL MakeFileDropBlock(const CStringArray& paths)
{
    SIZE_T characters = 0;
    for (const CString& path : paths)
        characters += (SIZE_T)path.GetLength() + 1;
    SIZE_T size = sizeof(DROPFILES) + 2 * characters + 2;
    HGLOBAL block = ::GlobalAlloc(kShareableZeroed, size);
    if (!block)
        return nullptr;
    auto* drop = (DROPFILES*)::GlobalLock(block);
    if (!drop) {
        ::GlobalFree(block);
        return nullptr;
    }
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    auto* text = (WCHAR*)((BYTE*)drop + sizeof(DROPFILES));
    for (const CString& path : paths) {
        memcpy(text, path.GetString(), (size_t)path.GetLength() * sizeof(WCHAR));
        text += path.GetLength() + 1;  // the terminator is already zero
    }
    ::GlobalUnlock(block);
    return block;
}

void CMyMFCShellListCtrl::OnBeginDrag()
{
    // Only items with a file-system path can travel as files.
    CStringArray paths;
    GetSelectedPaths(paths);
    if (paths.IsEmpty())
        return;
    HGLOBAL files = MakeFileDropBlock(paths);
    if (!files)
        return;
    auto* source = new COleDataSource;
    source->CacheGlobalData(CF_HDROP, files);
    HGLOBAL marker = ::GlobalAlloc(kShareableZeroed, 1);
    if (!marker) {
        source->Release();
        return;
    }
    source->CacheGlobalData((CLIPFORMAT)g_ShellFileListFormat, marker);

    DROPEFFECT effect;
    {
        CDropSource dropSource;
        HeldControlKey control;
        effect = source->DoDragDrop(DROPEFFECT_COPY | DROPEFFECT_MOVE, nullptr, &dropSource, this);
    }
    source->Release();
    // After a move the folder is listed as it now is: the target may have
    // moved some items and not others.
    if (effect == DROPEFFECT_MOVE)
        Refresh();
}

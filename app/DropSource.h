// CDropSource: the drop source of one drag of list items, made on the stack.
// It keeps whether the drag began and the last effect the target offered,
// and otherwise follows the framework's rules.
#pragma once

#include "framework/windows/COleDropSource.h"
#include "framework/base/Collections.h"

class CDropSource : public COleDropSource {
public:
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escapePressed, DWORD keyState) override;
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) override;
    BOOL OnBeginDrag(CWnd* window) override;

    int m_bStarted = 0;
    DROPEFFECT m_dwLastEffect = DROPEFFECT_NONE;
};

// The file-drop block (CF_HDROP) of the paths: the 20-byte header, each path
// in UTF-16 with its terminator, and a final zero character, in a moveable,
// zero-filled, shareable global block. Null when it cannot be allocated.
HGLOBAL MakeFileDropBlock(const CStringArray& paths);

// COleDropSource: the source side of the system's drag loop (IDropSource),
// made on the stack for one drag. A derived source changes when the drag
// goes on (QueryContinueDrag), the cursors (GiveFeedback) and whether it
// starts at all (OnBeginDrag).
#pragma once

#include "framework/windows/Geometry.h"

#include <ole2.h>

typedef DWORD DROPEFFECT;

class CWnd;

class COleDropSource : public IDropSource {
public:
    COleDropSource() = default;
    virtual ~COleDropSource() = default;
    COleDropSource(const COleDropSource&) = delete;
    COleDropSource& operator=(const COleDropSource&) = delete;

    // Escape cancels, releasing the mouse button that drags drops, anything
    // else goes on. (These two are the IDropSource methods the system calls.)
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escapePressed, DWORD keyState) override;
    // The system's cursors.
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) override;
    // The start rule: with the mouse captured by `window`, the drag starts
    // once the pointer leaves the start rectangle or the drag delay has
    // passed with the button still down; releasing the button or Escape
    // before that means no drag.
    virtual BOOL OnBeginDrag(CWnd* window);

    // The rectangle (screen coordinates) the pointer must leave; empty: the
    // system's drag distance around the pointer when the drag begins.
    CRect m_rectStartDrag;
    // Milliseconds after which the drag starts without leaving the rectangle.
    DWORD m_nDragDelay = 200;

    // IUnknown; the object lives on the stack, so reference counts do not
    // end it.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

private:
    DWORD m_dwButtonDrag = MK_LBUTTON;  // the button that drags
};

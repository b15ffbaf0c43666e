// CCodeEditDropTarget: the edit control window's OLE drop target. It takes
// Unicode text, or the control's own "CODE_TEXT" block format, follows the
// pointer with the caret and hands the dropped text to the core's OnDrop.
// Made on the heap with a reference count of one; the window registers it
// when OLE is initialised on its thread and revokes it when destroyed.
// Window thread only.
#pragma once

#include "framework/base/CString.h"

#include <ole2.h>

class CCodeEditCtrl;

// Final: Release deletes it as this class, never through an interface pointer.
class CCodeEditDropTarget final : public IDropTarget {
public:
    CCodeEditDropTarget(CCodeEditCtrl& control, HWND window) : m_control(control), m_window(window) {}
    CCodeEditDropTarget(const CCodeEditDropTarget&) = delete;
    CCodeEditDropTarget& operator=(const CCodeEditDropTarget&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return (ULONG)++m_references; }
    ULONG STDMETHODCALLTYPE Release() override;
    // IDropTarget; points are in screen pixels.
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override;

    // The text a data object offers: the block format first, then Unicode
    // text; false when it offers neither.
    static bool ReadText(IDataObject* data, CString& text, bool& block);

private:
    DWORD Effect(DWORD keys, POINTL point);
    long m_references = 1;
    CCodeEditCtrl& m_control;
    HWND m_window;
    bool m_acceptable = false;
};

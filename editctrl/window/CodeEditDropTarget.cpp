#include "editctrl/window/CodeEditDropTarget.h"
#include "editctrl/CodeEditCtrl.h"

namespace {
bool Offers(IDataObject* data, CLIPFORMAT format)
{
    FORMATETC wanted = {format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    return data && data->QueryGetData(&wanted) == S_OK;
}

CLIPFORMAT BlockFormat()
{
    if (CCodeEditCtrl::privateClipboardFormat == 0)
        CCodeEditCtrl::privateClipboardFormat = ::RegisterClipboardFormatW(L"CODE_TEXT");
    return (CLIPFORMAT)CCodeEditCtrl::privateClipboardFormat;
}

bool ReadGlobalText(IDataObject* data, CLIPFORMAT format, CString& text)
{
    FORMATETC wanted = {format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    if (data->GetData(&wanted, &medium) != S_OK)
        return false;
    bool ok = false;
    if (const WCHAR* chars = (const WCHAR*)::GlobalLock(medium.hGlobal)) {
        size_t limit = ::GlobalSize(medium.hGlobal) / sizeof(WCHAR), n = 0;
        while (n < limit && chars[n])
            ++n;
        text = CString(chars, (int)n);
        ::GlobalUnlock(medium.hGlobal);
        ok = true;
    }
    ::ReleaseStgMedium(&medium);
    return ok;
}
}  // namespace

HRESULT CCodeEditDropTarget::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget)) {
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG CCodeEditDropTarget::Release()
{
    long left = --m_references;
    if (left == 0)
        delete this;
    return (ULONG)left;
}

bool CCodeEditDropTarget::ReadText(IDataObject* data, CString& text, bool& block)
{
    block = Offers(data, BlockFormat()) && ReadGlobalText(data, BlockFormat(), text);
    return block || (Offers(data, CF_UNICODETEXT) && ReadGlobalText(data, CF_UNICODETEXT, text));
}

DWORD CCodeEditDropTarget::Effect(DWORD keys, POINTL screen)
{
    if (!m_acceptable || m_control.readOnly)
        return DROPEFFECT_NONE;
    POINT point = {screen.x, screen.y};
    ::ScreenToClient(m_window, &point);
    // The caret follows the pointer; near the edges the view scrolls.
    if (!m_control.DragOverPoint(point))
        return DROPEFFECT_NONE;
    return (keys & MK_CONTROL) ? DROPEFFECT_COPY : DROPEFFECT_MOVE;
}

HRESULT CCodeEditDropTarget::DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD* effect)
{
    m_acceptable = Offers(data, BlockFormat()) || Offers(data, CF_UNICODETEXT);
    if (m_control.readOnly || !m_acceptable) {
        *effect = DROPEFFECT_NONE;
        return S_OK;
    }
    // A solid bar shows where the text would go.
    m_control.Host().DestroySystemCaret();
    m_control.Host().CreateSystemCaret(2, m_control.lineHeight);
    m_control.Host().ShowSystemCaret(true);
    *effect = Effect(keys, point);
    return S_OK;
}

HRESULT CCodeEditDropTarget::DragOver(DWORD keys, POINTL point, DWORD* effect)
{
    *effect = Effect(keys, point);
    return S_OK;
}

HRESULT CCodeEditDropTarget::DragLeave()
{
    m_acceptable = false;
    m_control.DragLeave();
    return S_OK;
}

HRESULT CCodeEditDropTarget::Drop(IDataObject* data, DWORD keys, POINTL screen, DWORD* effect)
{
    CString text;
    bool block = false;
    DWORD wanted = *effect;
    m_acceptable = true;
    DWORD allowed = Effect(keys, screen);
    m_acceptable = false;
    if (allowed == DROPEFFECT_NONE || !ReadText(data, text, block)) {
        *effect = DROPEFFECT_NONE;
        return S_OK;
    }
    POINT point = {screen.x, screen.y};
    ::ScreenToClient(m_window, &point);
    bool move = (wanted & DROPEFFECT_MOVE) && allowed == DROPEFFECT_MOVE;
    m_control.DragLeave();
    bool fromHere = m_control.dragSource != 0;
    *effect = m_control.OnDrop(text, block, move, point) ? (move ? DROPEFFECT_MOVE : DROPEFFECT_COPY)
                                                          : DROPEFFECT_NONE;
    text.SecureEmpty();
    // Text from another window: the user looks here next.
    if (*effect != DROPEFFECT_NONE && !fromHere)
        ::SetForegroundWindow(::GetAncestor(m_window, GA_ROOT));
    return S_OK;
}

#include "framework/windows/COleDataSource.h"
#include "framework/base/WipedMemory.h"

#include "framework/windows/CWnd.h"

#include <shlobj.h>

#include <cstring>

COleDataSource::~COleDataSource()
{
    // The blocks may hold a user's text (a dragged selection): wiped first.
    for (Entry& entry : m_entries) {
        if (void* bytes = ::GlobalLock(entry.data)) {
            WipeBytes(bytes, ::GlobalSize(entry.data));
            ::GlobalUnlock(entry.data);
        }
        ::GlobalFree(entry.data);
    }
}

void COleDataSource::CacheGlobalData(CLIPFORMAT format, HGLOBAL data, const FORMATETC* description)
{
    Entry entry;
    if (description) {
        entry.format = *description;
    } else {
        entry.format = {};
        entry.format.dwAspect = DVASPECT_CONTENT;
        entry.format.lindex = -1;
        entry.format.tymed = TYMED_HGLOBAL;
    }
    entry.format.cfFormat = format;
    entry.data = data;
    m_entries.push_back(entry);
}

DROPEFFECT COleDataSource::DoDragDrop(DWORD allowedEffects, const RECT* startRect, COleDropSource* source,
                                      CWnd* window)
{
    COleDropSource plain;
    if (!source)
        source = &plain;
    if (startRect)
        source->m_rectStartDrag = *startRect;
    if (!window)
        window = CWnd::GetFocus();
    if (!source->OnBeginDrag(window))
        return DROPEFFECT_NONE;
    DWORD effect = DROPEFFECT_NONE;
    HRESULT result = ::DoDragDrop(this, source, allowedEffects, &effect);
    return result == DRAGDROP_S_DROP ? effect : DROPEFFECT_NONE;
}

HRESULT STDMETHODCALLTYPE COleDataSource::QueryInterface(REFIID iid, void** object)
{
    if (iid == IID_IUnknown || iid == IID_IDataObject) {
        *object = static_cast<IDataObject*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE COleDataSource::AddRef() { return (ULONG)::InterlockedIncrement(&m_refs); }

ULONG STDMETHODCALLTYPE COleDataSource::Release()
{
    LONG refs = ::InterlockedDecrement(&m_refs);
    if (refs == 0)
        delete this;
    return (ULONG)refs;
}

const COleDataSource::Entry* COleDataSource::Find(const FORMATETC* format) const
{
    if (!format)
        return nullptr;
    for (const Entry& entry : m_entries) {
        if (entry.format.cfFormat == format->cfFormat && (entry.format.tymed & format->tymed) &&
            entry.format.dwAspect == format->dwAspect)
            return &entry;
    }
    return nullptr;
}

HRESULT STDMETHODCALLTYPE COleDataSource::GetData(FORMATETC* format, STGMEDIUM* medium)
{
    const Entry* entry = Find(format);
    if (!entry || !medium)
        return DV_E_FORMATETC;
    // The receiver releases what it gets: it gets a copy.
    SIZE_T size = ::GlobalSize(entry->data);
    HGLOBAL copy = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_SHARE, size ? size : 1);
    if (!copy)
        return E_OUTOFMEMORY;
    void* from = ::GlobalLock(entry->data);
    void* to = ::GlobalLock(copy);
    if (!from || !to) {
        if (from)
            ::GlobalUnlock(entry->data);
        if (to)
            ::GlobalUnlock(copy);
        ::GlobalFree(copy);
        return E_OUTOFMEMORY;
    }
    memcpy(to, from, size);
    ::GlobalUnlock(copy);
    ::GlobalUnlock(entry->data);
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = copy;
    medium->pUnkForRelease = nullptr;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleDataSource::GetDataHere(FORMATETC*, STGMEDIUM*) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE COleDataSource::QueryGetData(FORMATETC* format)
{
    return Find(format) ? S_OK : DV_E_FORMATETC;
}

HRESULT STDMETHODCALLTYPE COleDataSource::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out)
{
    if (out)
        out->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
}

HRESULT STDMETHODCALLTYPE COleDataSource::SetData(FORMATETC*, STGMEDIUM*, BOOL) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE COleDataSource::EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats)
{
    if (!formats)
        return E_POINTER;
    *formats = nullptr;
    if (direction != DATADIR_GET)
        return E_NOTIMPL;
    std::vector<FORMATETC> list;
    for (const Entry& entry : m_entries)
        list.push_back(entry.format);
    return ::SHCreateStdEnumFmtEtc((UINT)list.size(), list.data(), formats);
}

HRESULT STDMETHODCALLTYPE COleDataSource::DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*)
{
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT STDMETHODCALLTYPE COleDataSource::DUnadvise(DWORD) { return OLE_E_ADVISENOTSUPPORTED; }

HRESULT STDMETHODCALLTYPE COleDataSource::EnumDAdvise(IEnumSTATDATA**) { return OLE_E_ADVISENOTSUPPORTED; }

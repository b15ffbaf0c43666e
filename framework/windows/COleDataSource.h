// COleDataSource: data offered to another program (IDataObject) as global
// memory blocks cached per clipboard format, and the drag loop that offers
// them. Made on the heap with a reference count of one; Release ends it and
// frees the cached blocks.
#pragma once

#include "framework/windows/COleDropSource.h"

#include <ole2.h>

#include <vector>

class CWnd;

class COleDataSource : public IDataObject {
public:
    COleDataSource() = default;
    COleDataSource(const COleDataSource&) = delete;
    COleDataSource& operator=(const COleDataSource&) = delete;

    // Offers `data` (a global memory block the source owns from here on)
    // under `format`; the description defaults to no target device,
    // DVASPECT_CONTENT, index -1 and TYMED_HGLOBAL.
    void CacheGlobalData(CLIPFORMAT format, HGLOBAL data, const FORMATETC* description = nullptr);
    // Runs the system's drag loop with the allowed effects, once `source`
    // (a plain COleDropSource when null) has agreed to start with the
    // mouse captured by `window` (the focused window when null); a start
    // rectangle, when given, is the one the pointer must leave. The effect
    // the target performed, DROPEFFECT_NONE when nothing was dropped.
    DROPEFFECT DoDragDrop(DWORD allowedEffects, const RECT* startRect = nullptr, COleDropSource* source = nullptr,
                          CWnd* window = nullptr);

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDataObject: a receiver gets a copy of a cached block; everything else
    // is refused.
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override;
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override;
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override;
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink, DWORD* connection) override;
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD connection) override;
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA** advise) override;

private:
    virtual ~COleDataSource();
    struct Entry {
        FORMATETC format;
        HGLOBAL data;
    };
    const Entry* Find(const FORMATETC* format) const;

    LONG m_refs = 1;
    std::vector<Entry> m_entries;
};

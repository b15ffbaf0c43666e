// CSingleDocTemplate: binds the program's one document class, its frame
// class and its view class to the resources of one id (menu, accelerators,
// icon, title string). OpenDocumentFile makes the document, the frame
// (LoadFrame with that id) and the view, and runs the first update.
#pragma once

#include "framework/base/CString.h"

#include <windows.h>

#include <functional>

class CDocument;
class CFrameWnd;
class CView;

class CSingleDocTemplate {
public:
    using DocumentFactory = std::function<CDocument*()>;
    using FrameFactory = std::function<CFrameWnd*()>;
    using ViewFactory = std::function<CView*()>;

    CSingleDocTemplate(UINT resourceId, DocumentFactory newDocument, FrameFactory newFrame, ViewFactory newView);
    ~CSingleDocTemplate();
    CSingleDocTemplate(const CSingleDocTemplate&) = delete;
    CSingleDocTemplate& operator=(const CSingleDocTemplate&) = delete;

    // The template of classes D, F and V, each made with `new`.
    template <class D, class F, class V>
    static CSingleDocTemplate* Create(UINT resourceId)
    {
        return new CSingleDocTemplate(
            resourceId, [] { return static_cast<CDocument*>(new D); }, [] { return static_cast<CFrameWnd*>(new F); },
            [] { return static_cast<CView*>(new V); });
    }

    // A new, empty document with its frame and view (the path is not read:
    // the program's document has no file content). The frame becomes the
    // application's main window when there is none. Null on failure.
    CDocument* OpenDocumentFile(const WCHAR* path, BOOL makeVisible = TRUE);
    CDocument* GetDocument() const { return m_pDocument; }
    UINT GetResourceId() const { return m_nIDResource; }
    // Called by a document that is being deleted.
    void RemoveDocument(CDocument* document);

private:
    UINT m_nIDResource;
    DocumentFactory m_newDocument;
    FrameFactory m_newFrame;
    ViewFactory m_newView;
    CDocument* m_pDocument = nullptr;
};

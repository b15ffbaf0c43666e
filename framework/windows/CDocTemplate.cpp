#include "framework/windows/CDocTemplate.h"

#include "framework/windows/CDocument.h"
#include "framework/windows/CFrameWnd.h"
#include "framework/windows/CView.h"
#include "framework/windows/CWinApp.h"

CSingleDocTemplate::CSingleDocTemplate(UINT resourceId, DocumentFactory newDocument, FrameFactory newFrame,
                                       ViewFactory newView)
    : m_nIDResource(resourceId), m_newDocument(std::move(newDocument)), m_newFrame(std::move(newFrame)),
      m_newView(std::move(newView))
{
}

CSingleDocTemplate::~CSingleDocTemplate()
{
    if (m_pDocument) {
        CDocument* document = m_pDocument;
        m_pDocument = nullptr;
        document->m_pDocTemplate = nullptr;
        document->OnCloseDocument();
    }
}

void CSingleDocTemplate::RemoveDocument(CDocument* document)
{
    if (m_pDocument == document)
        m_pDocument = nullptr;
}

CDocument* CSingleDocTemplate::OpenDocumentFile(const WCHAR*, BOOL makeVisible)
{
    // One document at a time: a second request starts the same one afresh.
    if (m_pDocument)
        return m_pDocument->OnNewDocument() ? m_pDocument : nullptr;

    CDocument* document = m_newDocument();
    if (!document)
        return nullptr;
    document->m_pDocTemplate = this;
    m_pDocument = document;

    CFrameWnd* frame = m_newFrame();
    CCreateContext context;
    context.m_pCurrentDoc = document;
    context.m_newView = m_newView;
    if (!frame || !frame->LoadFrame(m_nIDResource, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, nullptr, &context)) {
        // LoadFrame leaves a frame that failed without a window and alive.
        delete frame;
        delete document;
        return nullptr;
    }
    if (!document->OnNewDocument()) {
        frame->DestroyWindow();
        delete document;
        return nullptr;
    }
    CWinApp* app = AfxGetApp();
    if (app && !app->m_pMainWnd)
        app->m_pMainWnd = frame;
    frame->InitialUpdateFrame(document, makeVisible);
    return document;
}

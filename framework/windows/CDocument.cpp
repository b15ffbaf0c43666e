#include "framework/windows/CDocument.h"

#include "framework/windows/CDocTemplate.h"
#include "framework/windows/CFrameWnd.h"
#include "framework/windows/CView.h"

#include <algorithm>

CDocument::~CDocument()
{
    // Views that outlive their document forget it.
    for (CView* view : m_views)
        view->m_pDocument = nullptr;
    if (m_pDocTemplate)
        m_pDocTemplate->RemoveDocument(this);
}

BOOL CDocument::OnNewDocument()
{
    DeleteContents();
    return TRUE;
}

void CDocument::DeleteContents() {}

void CDocument::AddView(CView* view)
{
    if (std::find(m_views.begin(), m_views.end(), view) == m_views.end())
        m_views.push_back(view);
    view->m_pDocument = this;
}

void CDocument::RemoveView(CView* view)
{
    m_views.erase(std::remove(m_views.begin(), m_views.end(), view), m_views.end());
    if (view->m_pDocument == this)
        view->m_pDocument = nullptr;
}

void CDocument::OnCloseDocument()
{
    // Destroying a frame destroys its views, which detach themselves.
    BOOL autoDelete = m_bAutoDelete;
    m_bAutoDelete = FALSE;
    while (!m_views.empty()) {
        CView* view = m_views.front();
        CFrameWnd* frame = view->GetParentFrame();
        if (frame && frame->IsWindow())
            frame->DestroyWindow();
        else
            view->DestroyWindow();
        // A view without a window cannot destroy itself: let it go.
        if (!m_views.empty() && m_views.front() == view)
            RemoveView(view);
    }
    m_bAutoDelete = autoDelete;
    DeleteContents();
    if (m_bAutoDelete)
        delete this;
}

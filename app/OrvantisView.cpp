#include "app/OrvantisView.h"

#include "app/MainFrame.h"
#include "crypt/OrvantisDoc.h"
#include "framework/CDC.h"

COrvantisDoc* COrvantisView::GetDocument() const { return dynamic_cast<COrvantisDoc*>(m_pDocument); }

void COrvantisView::CloseChangeNotification()
{
    if (m_hChangeNotification && m_hChangeNotification != INVALID_HANDLE_VALUE)
        ::FindCloseChangeNotification(m_hChangeNotification);
    m_hChangeNotification = nullptr;
}

void COrvantisView::OnJobEnded()
{
    if (auto* frame = dynamic_cast<CMainFrame*>(GetParentFrame()))
        frame->GetFolderTree()->RefreshSelected();
}

void COrvantisView::OnDraw(CDC* dc)
{
    CRect client;
    GetClientRect(&client);
    dc->FillSolidRect(client, ::GetSysColor(COLOR_WINDOW));
}

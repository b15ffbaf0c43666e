// COrvantisView: the view of the document template, which fills the main
// window's client area. This is its first stage: an empty window with the
// few members the main frame already calls. The file list, the thumbnail
// browser, the history, the folder watch and the commands come with the
// view's own work.
#pragma once

#include "framework/CView.h"
#include "framework/Collections.h"

class COrvantisDoc;

class COrvantisView : public CView {
public:
    COrvantisDoc* GetDocument() const;
    // The folders visited, for the Back drop-down.
    const CStringArray& GetHistory() const { return m_History; }
    // Closes the folder watch when there is one and forgets it.
    void CloseChangeNotification();
    // After a job: the folder tree lists the selected folder again.
    void OnJobEnded();

    void OnDraw(CDC* dc) override;

protected:
    HANDLE m_hChangeNotification = nullptr;
    CStringArray m_History;
};

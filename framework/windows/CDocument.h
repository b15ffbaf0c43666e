// CDocument: the base of the program's document, which holds the data a
// view shows and handles commands the view passes on. The program has one
// document and it stores nothing in files.
#pragma once

#include "framework/windows/CCmdTarget.h"
#include "framework/base/CString.h"

#include <vector>

class CView;
class CSingleDocTemplate;

class CDocument : public CCmdTarget {
public:
    CDocument() = default;
    ~CDocument() override;
    CDocument(const CDocument&) = delete;
    CDocument& operator=(const CDocument&) = delete;

    // Called when the program starts a new, empty document; FALSE refuses it.
    virtual BOOL OnNewDocument();
    // Empties the document's data.
    virtual void DeleteContents();

    const CString& GetTitle() const { return m_strTitle; }
    virtual void SetTitle(const WCHAR* title) { m_strTitle = title; }

    // Views showing this document, in the order they were attached.
    const std::vector<CView*>& GetViews() const { return m_views; }
    void AddView(CView* view);
    void RemoveView(CView* view);
    // Closes the frames of the views, then deletes the document when
    // m_bAutoDelete is set (a document made by its template).
    virtual void OnCloseDocument();

    BOOL m_bAutoDelete = TRUE;
    CSingleDocTemplate* m_pDocTemplate = nullptr;

private:
    CString m_strTitle;
    std::vector<CView*> m_views;
};

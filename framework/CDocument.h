// CDocument: the base of the program's document, which holds the data a
// view shows and handles commands the view passes on. The program has one
// document and it stores nothing in files.
#pragma once

#include "framework/CCmdTarget.h"
#include "framework/CString.h"

class CDocument : public CCmdTarget {
public:
    CDocument() = default;
    CDocument(const CDocument&) = delete;
    CDocument& operator=(const CDocument&) = delete;

    // Called when the program starts a new, empty document; FALSE refuses it.
    virtual BOOL OnNewDocument();
    // Empties the document's data.
    virtual void DeleteContents();

    const CString& GetTitle() const { return m_strTitle; }
    virtual void SetTitle(const WCHAR* title) { m_strTitle = title; }
    BOOL IsModified() const { return m_bModified; }
    void SetModifiedFlag(BOOL modified = TRUE) { m_bModified = modified; }

private:
    CString m_strTitle;
    BOOL m_bModified = FALSE;
};

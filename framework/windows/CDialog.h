// CDialog: a dialog from a template resource, modal (DoModal runs its own
// message loop through AfxPreTranslateMessage, so the program's key filters
// keep working) or modeless (Create). OnInitDialog moves the members into the
// controls, OnOK takes them back and ends the dialog; both go through
// UpdateData and the class's DoDataExchange.
#pragma once

#include "framework/windows/CWnd.h"

class CDataExchange;

class CDialog : public CWnd {
public:
    CDialog() = default;
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);

    // IDOK, IDCANCEL or what EndDialog was given; -1 when the dialog could
    // not be created.
    virtual INT_PTR DoModal();
    // Modeless: the dialog stays until DestroyWindow.
    BOOL Create(UINT templateId, CWnd* parent = nullptr);
    // Ends a modal dialog with `result`; a modeless one is hidden.
    void EndDialog(int result);
    int GetResult() const { return m_nResult; }
    // Runs DoDataExchange; FALSE when a value was refused.
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange* dx);

    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    BOOL OnCmdMsg(UINT id, int code, CCmdUI* update) override;
    // Dialog keys (Tab, Enter, Escape, arrows) for the dialog and its controls.
    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    void PostNcDestroy() override;

    UINT m_nTemplateId = 0;
    CWnd* m_pParentWnd = nullptr;

private:
    BOOL CreateFromTemplate(HWND owner);
    void RunModalLoop();
    static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);

    bool m_inModalLoop = false;
    bool m_ended = false;
    int m_nResult = -1;
};

// CProgressDlg: the modeless window of one running job: a progress bar with
// its percentage, a status line, the live coloured log, Cancel and (after a
// second Cancel) Terminate. While it exists it keeps its owner, the main
// window, disabled, and opens centred on it. The main frame makes one per
// job and feeds it the job's reports.
#pragma once

#include "app/ColorListBox.h"
#include "framework/windows/CDialogEx.h"
#include "framework/windows/CProgressCtrl.h"

class CProgressDlg : public CDialogEx {
public:
    explicit CProgressDlg(const CString& title, CWnd* parent = nullptr);
    ~CProgressDlg() override;

    // Disables the owner (the main window for a null parent) and creates
    // the window; on failure the owner is enabled again and FALSE returned.
    BOOL Create(CWnd* parent = nullptr);
    // Ends the window and deletes the object; inside one of the window's own
    // button handlers the window only hides (and frees its owner) and goes
    // once the handler has returned.
    void Close();

    // An upper value below 1 becomes 1.
    void SetRange(int lower, int upper);
    // Moves the bar and rewrites the percentage; the previous position.
    int SetPos(int position);
    void SetStatus(const CString& text);
    void AddLog(int text, int background, const CString& line);
    // The bar runs in steps of 5 every 500 ms while the job cannot count.
    void SetLongOperation(BOOL on);

    BOOL DestroyWindow() override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    CProgressCtrl m_wndProgress;
    CString m_strTitle;
    CColorListBox m_list;
    int m_nLower = 0;
    int m_nUpper = 100;
    int m_nStep = 1;
    int m_nLongOpPos = 0;
    HWND m_hOwner = nullptr;
    BOOL m_bOwnerDisabled = FALSE;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    void OnCancel() override;
    void OnTerminate();
    void OnTimer(UINT_PTR id) override;
    BOOL OnCmdMsg(UINT id, int code, CCmdUI* update) override;
    void PostNcDestroy() override;

private:
    void UpdatePercent(int position);
    void ReleaseOwner();

    int m_nHandlerDepth = 0;
    bool m_bClosePending = false;
};

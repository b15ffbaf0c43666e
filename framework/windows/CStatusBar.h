// CStatusBar: the system's status bar at the bottom of a frame, with a
// message pane and indicator panes (CAP, NUM, SCRL). An indicator shows its
// text while its command is enabled (the frame enables the key indicators
// while the key is locked) and is empty otherwise.
#pragma once

#include "framework/windows/CWnd.h"

#include <commctrl.h>

#include <vector>

class CCmdTarget;

class CStatusBar : public CWnd {
public:
    BOOL Create(CWnd* parent, DWORD style, UINT id);
    // Pane 0 is the message pane when its id is 0; the other ids name
    // string resources with the indicator texts.
    BOOL SetIndicators(const UINT* ids, int count);
    int GetCount() const { return (int)m_ids.size(); }
    UINT GetItemID(int index) const { return m_ids[(size_t)index]; }
    void SetPaneText(int index, const WCHAR* text);
    CString GetPaneText(int index) const;
    // Places the bar along the bottom of `client`; returns its height.
    int Layout(const RECT& client);

    void OnUpdateCmdUI(CCmdTarget* target, BOOL disableIfNoHandler);

private:
    void SetParts();

    std::vector<UINT> m_ids;
    std::vector<CString> m_texts;   // the indicator texts
    std::vector<int> m_widths;
};

// Test seams for the edit control's core: a fixed-width measurer (every
// character `width` pixels wide, tabs to stops) and a host that records what
// the control asked of its window.
#pragma once

#include "editctrl/CodeEditCtrl.h"
#include "editctrl/EditSeams.h"

#include <string>
#include <vector>

class FixedMeasurer : public CEditMeasurer {
public:
    FixedMeasurer(int width = 8, int height = 16) : m_width(width), m_height(height) {}
    EditFontMetrics GetFontMetrics() override { return {m_height, m_width, m_width}; }
    SIZE MeasureRun(const WCHAR* chars, int count, int tabWidth, bool link) override;

private:
    int m_width;
    int m_height;
};

class RecordingHost : public CEditHost {
public:
    RecordingHost(int width = 400, int height = 200) : size{width, height} {}
    SIZE GetClientSize() override { return size; }
    int GetScrollBarThickness(bool) override { return scrollBarThickness; }
    void InvalidateRect(const RECT* rect, bool) override;
    void UpdateNow() override { ++updates; }
    void SetScrollBar(int bar, int minPos, int maxPos, int page, int pos) override;
    void CreateSystemCaret(int width, int height) override { caretSize = SIZE{width, height}; }
    void DestroySystemCaret() override {}
    void ShowSystemCaret(bool show) override { caretShown = show; }
    void SetSystemCaretPos(int x, int y) override { systemCaret = POINT{x, y}; }
    bool HasFocus() override { return focus; }
    void NotifyParentOfChange() override { ++changeNotices; }
    bool IsKeyDown(int key) override;
    COLORREF GetSystemColor(int index) override;
    bool SetClipboardText(const CString& text) override;
    bool GetClipboardText(CString& text) override;
    void OpenWithShell(const CString& target) override { opened.push_back(target); }
    void ShowWaitCursor(bool) override {}

    SIZE size;
    int scrollBarThickness = 0;
    bool focus = true;
    bool shift = false;
    bool control = false;
    int changeNotices = 0;
    int updates = 0;
    std::vector<RECT> invalidated;
    struct ScrollBar {
        int minPos = 0, maxPos = 0, page = 0, pos = 0;
    } vert, horz;
    SIZE caretSize = {};
    bool caretShown = false;
    POINT systemCaret = {-1, -1};
    bool clipboardHasText = false;
    CString clipboard;
    std::vector<CString> opened;
};

// A control that records the failures it reports and the hooks it runs.
class RecordingEdit : public CCodeEditCtrl {
public:
    void OnEditFailure(unsigned code) override { failures.push_back(code); }
    std::vector<unsigned> failures;
};

// A control attached to a fixed 8x16 measurer and a 400x200 host, with the
// window's first-time set-up done.
struct TestEdit {
    explicit TestEdit(const WCHAR* initial = L"", int width = 400, int height = 200);
    virtual ~TestEdit() = default;
    FixedMeasurer measurer;
    RecordingHost host;
    RecordingEdit edit;
};

std::u16string U16(const CString& s);

// Folding on, automatic outlining allowed, the whole text parsed into blocks.
void FoldWholeText(CCodeEditCtrl& e);

// A 32-character marker made for this run (the prefix, the process, the
// clock), for scans of freed memory.
std::string MakeRunMarker(const char* prefix);

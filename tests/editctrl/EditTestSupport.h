// Test seams for the edit control's core: a fixed-width measurer (every
// character `width` pixels wide, tabs to stops) and a host that records what
// the control asked of its window.
#pragma once

#include "tests/QvTest.h"

#include "editctrl/CodeEditCtrl.h"
#include "editctrl/EditSeams.h"

#include <map>
#include <set>
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
    bool PutClipboardBlocks(const std::vector<EditClipboardBlock>& blocks) override;
    bool IsClipboardFormatAvailable(UINT format) override { return clipboard.count(format) != 0; }
    bool GetClipboardBlock(UINT format, WipedBytes& bytes) override;
    void SetMouseCapture(bool capture) override { captured = capture; }
    bool HasMouseCapture() override { return captured; }
    void StartTimer(UINT id, UINT) override { timers.insert(id); }
    void StopTimer(UINT id) override { timers.erase(id); }
    // The UTF-16 text the fake clipboard holds in a format (up to its zero).
    CString ClipboardText(UINT format) const;
    void PutClipboardText(UINT format, const CString& text);
    void OpenWithShell(const CString& target) override { opened.push_back(target); }
    void ShowWaitCursor(bool) override {}

    SIZE size;
    int scrollBarThickness = 0;
    bool focus = true;
    bool shift = false;
    bool control = false;
    bool alt = false;
    int changeNotices = 0;
    int updates = 0;
    std::vector<RECT> invalidated;
    struct ScrollBar {
        int minPos = 0, maxPos = 0, page = 0, pos = 0;
    } vert, horz;
    SIZE caretSize = {};
    bool caretShown = false;
    POINT systemCaret = {-1, -1};
    bool clipboardFails = false;  // opening the clipboard fails
    // Wiped like the control's own blocks: a privacy test scans what is freed.
    std::map<UINT, WipedBytes> clipboard;
    bool captured = false;
    std::set<UINT> timers;
    std::vector<CString> opened;
};

// A control that records the failures it reports and the hooks it runs.
class RecordingEdit : public CCodeEditCtrl {
public:
    void OnEditFailure(unsigned code) override { failures.push_back(code); }
    std::vector<unsigned> failures;
};

// Attaches the test seams to a control, does the window's first-time set-up
// and loads `initial`.
void AttachTestSeams(CCodeEditCtrl& edit, RecordingHost& host, FixedMeasurer& measurer, const WCHAR* initial);

// A control of class Edit attached to a fixed 8x16 measurer and a 400x200
// host, with the window's first-time set-up done.
template <class Edit>
struct TestEditOf {
    explicit TestEditOf(const WCHAR* initial = L"", int width = 400, int height = 200) : host(width, height)
    {
        AttachTestSeams(edit, host, measurer, initial);
    }
    virtual ~TestEditOf() = default;
    FixedMeasurer measurer;
    RecordingHost host;
    Edit edit;
};
using TestEdit = TestEditOf<RecordingEdit>;

// Selects columns [first, last) of rows [0, rows) as a column block, for a
// font `charWidth` pixels wide; selStart and selEnd become the block's first
// and last offsets as a caller would set them.
void SelectColumnBlock(CCodeEditCtrl& e, int first, int last, int rows, int charWidth = 8);

// `count` lines "x" without a line feed after the last.
CString XLines(int count);

// Tests that start and end in insert mode (the mode is shared by all controls).
class InsertModeTest : public ::testing::Test {
protected:
    void SetUp() override { CCodeEditCtrl::overwriteMode = 0; }
    void TearDown() override { CCodeEditCtrl::overwriteMode = 0; }
};

std::u16string U16(const CString& s);

// Folding on, automatic outlining allowed, the whole text parsed into blocks.
void FoldWholeText(CCodeEditCtrl& e);


// The two seams through which the edit control's core reaches the outside:
// CEditMeasurer measures text in the control's font, CEditHost provides the
// window's services. The window layer implements both with GDI and real
// messages; tests implement them with fixed widths and a recording host.
// Both are called on the window thread only.
#pragma once

#include <windows.h>

#include "framework/base/CString.h"
#include "framework/base/WipedMemory.h"

#include <vector>

// One format of a clipboard fill and its bytes, wiped when freed: the
// control's text passes through here.
struct EditClipboardBlock {
    UINT format = 0;
    WipedBytes bytes;
};

struct EditFontMetrics {
    int height = 0;        // text-metric height
    int maxCharWidth = 0;  // widest character
    int aveCharWidth = 0;  // average character
};

class CEditMeasurer {
public:
    virtual ~CEditMeasurer() = default;
    virtual EditFontMetrics GetFontMetrics() = 0;
    // Extent of `count` characters in the text font (the underlined link font
    // when `link`); with `tabWidth` above 0 a tab advances to the next multiple
    // of `tabWidth` from the run's start, otherwise it measures as a glyph.
    virtual SIZE MeasureRun(const WCHAR* chars, int count, int tabWidth, bool link) = 0;
};

class CEditHost {
public:
    virtual ~CEditHost() = default;
    // Client area of the window, scroll bars included.
    virtual SIZE GetClientSize() = 0;
    // Thickness of the vertical (width) or horizontal (height) scroll bar.
    virtual int GetScrollBarThickness(bool vertical) = 0;
    virtual void InvalidateRect(const RECT* rect, bool erase) = 0;
    virtual void UpdateNow() = 0;
    // SB_HORZ or SB_VERT: range, page and position of the control's own bars.
    virtual void SetScrollBar(int bar, int minPos, int maxPos, int page, int pos) = 0;
    virtual void CreateSystemCaret(int width, int height) = 0;
    virtual void DestroySystemCaret() = 0;
    virtual void ShowSystemCaret(bool show) = 0;
    virtual void SetSystemCaretPos(int x, int y) = 0;
    virtual bool HasFocus() = 0;
    // The change message "MYMFC_ON_EDITCHANGE" to the parent.
    virtual void NotifyParentOfChange() = 0;
    virtual bool IsKeyDown(int virtualKey) = 0;
    virtual COLORREF GetSystemColor(int index) = 0;
    // Replaces what the clipboard holds by the blocks, all or none; false
    // when the clipboard cannot be opened or emptied or a block not placed.
    virtual bool PutClipboardBlocks(const std::vector<EditClipboardBlock>& blocks) = 0;
    virtual bool IsClipboardFormatAvailable(UINT format) = 0;
    // The bytes the clipboard holds in `format`; false when it has none.
    virtual bool GetClipboardBlock(UINT format, WipedBytes& bytes) = 0;
    // Mouse capture and the control's timers.
    virtual void SetMouseCapture(bool capture) = 0;
    virtual bool HasMouseCapture() = 0;
    virtual void StartTimer(UINT id, UINT milliseconds) = 0;
    virtual void StopTimer(UINT id) = 0;
    virtual void OpenWithShell(const CString& target) = 0;
    virtual void ShowWaitCursor(bool show) = 0;
};

// A host that answers like a window that does not exist yet: no client
// area, no focus, nothing recorded. The control uses it until it is attached.
class CEditDetachedHost : public CEditHost {
public:
    SIZE GetClientSize() override { return SIZE{0, 0}; }
    int GetScrollBarThickness(bool) override { return 0; }
    void InvalidateRect(const RECT*, bool) override {}
    void UpdateNow() override {}
    void SetScrollBar(int, int, int, int, int) override {}
    void CreateSystemCaret(int, int) override {}
    void DestroySystemCaret() override {}
    void ShowSystemCaret(bool) override {}
    void SetSystemCaretPos(int, int) override {}
    bool HasFocus() override { return false; }
    void NotifyParentOfChange() override {}
    bool IsKeyDown(int) override { return false; }
    COLORREF GetSystemColor(int index) override { return ::GetSysColor(index); }
    bool PutClipboardBlocks(const std::vector<EditClipboardBlock>&) override { return false; }
    bool IsClipboardFormatAvailable(UINT) override { return false; }
    bool GetClipboardBlock(UINT, WipedBytes&) override { return false; }
    void SetMouseCapture(bool) override {}
    bool HasMouseCapture() override { return false; }
    void StartTimer(UINT, UINT) override {}
    void StopTimer(UINT) override {}
    void OpenWithShell(const CString&) override {}
    void ShowWaitCursor(bool) override {}
};

// Measures nothing: every run is empty. Used until a font is applied.
class CEditNullMeasurer : public CEditMeasurer {
public:
    EditFontMetrics GetFontMetrics() override { return {}; }
    SIZE MeasureRun(const WCHAR*, int, int, bool) override { return SIZE{0, 0}; }
};

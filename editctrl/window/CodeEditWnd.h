// CCodeEditWnd: puts a CCodeEditCtrl into a real window. It registers the
// control's window class, answers the window messages by calling the core,
// measures text with GDI in the control's font, provides the window services
// of CEditHost (invalidation, its own scroll bars, the system caret, the
// change message, the clipboard) and paints the core's display list through
// an off-screen bitmap, so the window never flickers.
//
// The core object may be a customised control; it must outlive the window.
// Window thread only.
#pragma once

#include "editctrl/CodeEditCtrl.h"
#include "editctrl/EditDisplayList.h"
#include "editctrl/EditSeams.h"
#include "editctrl/window/CodeEditDropTarget.h"
#include "framework/windows/CScrollBar.h"
#include "editctrl/window/CodeEditTips.h"
#include "framework/windows/CWnd.h"

class CCodeEditWnd : public CWnd, public CEditHost, public CEditMeasurer {
public:
    explicit CCodeEditWnd(CCodeEditCtrl& control);
    ~CCodeEditWnd() override;

    CCodeEditCtrl& Control() { return m_control; }
    // Creates the child window (extended style 0, no window name).
    BOOL CreateEditWindow(DWORD style, const RECT& rect, CWnd* parent, UINT id, void* param = nullptr);
    // The class name: base name, module, class style, cursor and brush in hex.
    static CString RegisterEditClass(const WCHAR* baseName = L"MFCEditCtrl2");
    // The registered "MYMFC_ON_EDITCHANGE" message.
    static UINT EditChangeMessage();
    // The window's drop target (null before creation); registered with OLE
    // when OLE is initialised on the window's thread.
    CCodeEditDropTarget* DropTarget() const { return m_dropTarget; }
    // Executes a display list on a device context with the control's fonts.
    void ExecuteDisplayList(HDC dc, const CEditDisplayList& list);
    // The same with other fonts (a printer's).
    void ExecuteDisplayList(HDC dc, const CEditDisplayList& list, HFONT textFont, HFONT linkFont);
    // The control's own one-pixel sunken frame around `rect`.
    static void DrawBorder(HDC dc, const RECT& rect);
    CCodeEditTips& Tips() { return m_tips; }

    // CEditHost
    SIZE GetClientSize() override;
    int GetScrollBarThickness(bool vertical) override;
    void InvalidateRect(const RECT* rect, bool erase) override;
    void UpdateNow() override;
    void SetScrollBar(int bar, int minPos, int maxPos, int page, int pos) override;
    void CreateSystemCaret(int width, int height) override;
    void DestroySystemCaret() override;
    void ShowSystemCaret(bool show) override;
    void SetSystemCaretPos(int x, int y) override;
    bool HasFocus() override;
    void NotifyParentOfChange() override;
    bool IsKeyDown(int virtualKey) override;
    COLORREF GetSystemColor(int index) override { return ::GetSysColor(index); }
    bool PutClipboardBlocks(const std::vector<EditClipboardBlock>& blocks) override;
    bool IsClipboardFormatAvailable(UINT format) override { return ::IsClipboardFormatAvailable(format) != 0; }
    bool GetClipboardBlock(UINT format, WipedBytes& bytes) override;
    void SetMouseCapture(bool capture) override;
    bool HasMouseCapture() override { return ::GetCapture() == m_hWnd && m_hWnd; }
    void StartTimer(UINT id, UINT milliseconds) override { ::SetTimer(m_hWnd, id, milliseconds, nullptr); }
    void StopTimer(UINT id) override { ::KillTimer(m_hWnd, id); }
    void OpenWithShell(const CString& target) override;
    void ShowWaitCursor(bool show) override;

    // CEditMeasurer
    EditFontMetrics GetFontMetrics() override;
    SIZE MeasureRun(const WCHAR* chars, int count, int tabWidth, bool link) override;

    // Eats the Alt release the control asked to swallow; mouse and key
    // messages go to the tooltip relay first.
    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // The messages a tooltip control watches; nothing until the window has one.
    virtual void RelayToTip(MSG*) {}

private:
    void OnCreateWindow();
    static POINT ClientPoint(LPARAM lParam);
    // Drags the selection out with OLE; the core finishes what the drop did.
    void DragSelectionOut();
    // Clicks on the outline bar and double-clicks on collapsed labels; true when taken.
    bool HandleOutlineMouse(UINT message, LPARAM lParam);
    // The own border (WM_NCCALCSIZE, WM_NCPAINT, WM_STYLECHANGING); true when answered in *result.
    bool HandleFrameMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    void PaintWindow();
    void PlaceScrollBars(int width, int height);
    void ApplyFont(HFONT font);
    HFONT TextFont() const;
    // The measuring DC with `font` selected.
    HDC MeasureDC(HFONT font);
    void ReleaseMeasureFont();
    // The memory DC paints are composed in, with a bitmap of `size`.
    HDC BackBuffer(HDC screen, SIZE size);
    void ReleaseBackBuffer();

    // What a scroll bar shows; -1 in every field until it is first set.
    struct ScrollBarState {
        int minPos = -1, maxPos = -1, page = -1, pos = -1;
        bool operator==(const ScrollBarState& o) const
        {
            return minPos == o.minPos && maxPos == o.maxPos && page == o.page && pos == o.pos;
        }
    };

    CCodeEditCtrl& m_control;
    ScrollBarState m_vertState;
    ScrollBarState m_horzState;
    CScrollBar m_vertBar;
    CScrollBar m_horzBar;
    HFONT m_linkFont = nullptr;
    HDC m_measureDC = nullptr;
    HFONT m_measureFont = nullptr;      // selected into m_measureDC, or none
    HGDIOBJ m_measureDCFont = nullptr;  // the DC's own font, put back on release
    HDC m_backDC = nullptr;
    HBITMAP m_backBitmap = nullptr;
    HGDIOBJ m_backBitmapBefore = nullptr;
    SIZE m_backSize = {};
    bool m_caretCreated = false;
    CCodeEditDropTarget* m_dropTarget = nullptr;
    bool m_dropRegistered = false;
    CCodeEditTips m_tips{m_control, *this};
};

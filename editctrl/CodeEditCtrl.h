// CCodeEditCtrl: the source-code edit control's core. It holds one text with
// its caret, selection, settings, colouring rules and undo records, and does
// everything the control does without touching the window system: measuring
// goes through a CEditMeasurer, window services (invalidation, scroll bars,
// the system caret, notifications, the clipboard) through a CEditHost. The
// window layer (editctrl/window) attaches both; until then the control acts
// like a window that does not exist yet.
//
// The virtual operations are the extension points of customised controls.
// Window thread only; overwriteMode and privateClipboardFormat are shared by
// every control of the process, without locks.
#pragma once

#include "editctrl/EditDisplayList.h"
#include "editctrl/EditMarkers.h"
#include "editctrl/EditRecords.h"
#include "editctrl/EditSeams.h"
#include "editctrl/EditTipWindow.h"
#include "editctrl/EditTextBuffer.h"
#include "editctrl/OutlineCache.h"
#include "editctrl/OutlineNode.h"
#include "editctrl/OutlineParser.h"
#include "framework/base/CString.h"
#include "framework/base/Collections.h"
#include "framework/base/WipedMemory.h"

#include <windows.h>

#include <list>
#include <map>
#include <memory>
#include <vector>

// The value of the first element `name` in `source`, which loses that
// element; with `escaped` the value's escapes are resolved. False when absent.
BOOL CutTaggedValue(CString& source, const WCHAR* name, CString& value, BOOL escaped);
// A definition's colour value: "name" in quotes, or RRGGBB.
COLORREF ParseColourSpec(const CString& value);

// The cursor the control wants over a point.
enum class EditCursor { ARROW, IBEAM, HAND };
class CArchive;
class CFile;
class CPrintInfo;
class CFileException;

// The encodings of text files.
enum : int {
    EDIT_FILE_ANSI = 0,      // the ANSI code page
    EDIT_FILE_UTF16LE = 1,   // with its byte-order mark
    EDIT_FILE_UTF16BE = 2,   // with its byte-order mark
    EDIT_FILE_UTF8 = 3,      // without a mark
    EDIT_FILE_UTF8_BOM = 4,  // with the mark EF BB BF
};

class CCodeEditCtrl {
public:
    CCodeEditCtrl();
    virtual ~CCodeEditCtrl();
    CCodeEditCtrl(const CCodeEditCtrl&) = delete;
    CCodeEditCtrl& operator=(const CCodeEditCtrl&) = delete;

    // Seams; null restores the detached ones. The caller keeps ownership.
    void AttachHost(CEditHost* host);
    void AttachMeasurer(CEditMeasurer* measurer);
    CEditHost& Host() const { return *m_host; }
    CEditMeasurer& Measurer() const { return *m_measurer; }

    // ---- Text model ----------------------------------------------------
    const CEditTextBuffer& GetTextBuffer() const { return text; }
    int GetLength() const { return text.GetLength(); }
    // Replaces the text by `count` characters (NULs kept), as loading does:
    // the text is taken unchanged, the view, undo list and selection reset.
    void SetText(const WCHAR* chars, int count);
    WCHAR GetCharAt(int offset, bool checkBounds = true) const;
    int GetLineCount() const { return lineBreakCount + 1; }
    int GetCaretColumn() const { return caretColumn; }
    int GetCaretOffset() const { return caretOffset; }

    virtual BOOL IsModified() { return modified; }
    virtual int ReservedQuery(int, int) { return 0; }

    // Process-wide.
    static BOOL overwriteMode;
    static UINT privateClipboardFormat;
    virtual void SetOverwriteMode(BOOL on) { overwriteMode = on; }
    virtual BOOL IsOverwriteMode() { return overwriteMode; }

    // Hooks
    virtual BOOL CanInsertText(const CString&, int) { return TRUE; }
    virtual BOOL CanDeleteText(int, const CString&) { return TRUE; }
    virtual void OnEditFailure(unsigned) {}
    virtual BOOL ReservedUndoCheck(int) { return TRUE; }
    virtual void ReservedUndoNotice(int) {}
    virtual BOOL ReservedMarkerCheck(int) { return TRUE; }
    virtual BOOL ReservedLinkCheck(int, int) { return TRUE; }

    // Symbols (dormant: nothing fills them).
    virtual BOOL MatchSymbol(int offset, bool forward, CODE_EDIT_SYM_DEF** symbol);
    virtual int GetSymbolLength(int offset, bool forward);


    // ---- Layout, metrics and scrolling -----------------------------------
    // The window's first-time set-up: metrics, colours, an empty text.
    virtual void InitializeControl();
    virtual void UpdateFontMetrics();
    virtual void SetDefaultColors();
    // Line-number bar width from the line count; non-zero when it changed.
    virtual BOOL UpdateLineNumberWidth();
    virtual void UpdateTabWidth();
    // Client and text rectangles, scroll ranges.
    virtual void RecalcLayout();
    // Layout, caret without scrolling, scroll positions (after a resize).
    void RecalcScrolling();
    // Scrolls one bar (SB_HORZ, SB_VERT) by a scroll-bar code; `position`
    // is the target of SB_THUMBPOSITION / SB_THUMBTRACK.
    virtual BOOL ScrollByCode(int bar, int code, int position, BOOL redraw);
    // Rows that fit in the text area (at least 1).
    int PageRows() const;
    // Pixel width of a run in the text font (tabs to tab stops with keepTabs).
    virtual void MeasureTextRun(SIZE& size, const WCHAR* chars, int count);
    int CharWidth(WCHAR ch);
    COLORREF GetTextColor() const;
    COLORREF GetBackColor() const;

    // ---- Mapping -----------------------------------------------------------
    // The collapsed block holding an offset while folding is on: its first
    // and last offsets.
    virtual BOOL FindCollapsedNodeAt(int offset, int* start, int* end) const;
    int LineStartOf(int offset, bool skipCollapsed = true) const;
    int LineEndOf(int offset, bool skipCollapsed = true) const;
    int FirstNonBlankFrom(int offset, bool skipCollapsed = true) const;
    int CaretLineStart(bool skipCollapsed = true) const { return LineStartOf(caretOffset, skipCollapsed); }
    int CaretLineFirstNonBlank(bool skipCollapsed = true) const
    {
        return FirstNonBlankFrom(CaretLineStart(skipCollapsed), skipCollapsed);
    }
    int ColumnOfOffset(int offset, bool withCollapsed = true) const;
    int LineEndColumn(int offset, int* lineEnd, bool withCollapsed = true) const;
    int OffsetOfColumn(int column, int offset, bool offsetIsLineEnd = false, bool withCollapsed = true) const;
    int LineOfOffset(int offset, bool fromStart = true, bool visibleOnly = false) const;
    int VisibleLineOfLine(int line, bool fromStart = true) const;
    int OffsetOfLine(int n, bool visibleOnly = true) const;
    int CountCharInRange(int from, int to, WCHAR ch, bool skipCollapsed = true) const;
    static int CountChar(const CString& s, WCHAR ch);
    int GetCaretLine() const { return LineOfOffset(caretOffset, true, false); }
    int OffsetFromPoint(POINT& point, bool updatePoint, bool allowOutside);
    BOOL PointFromOffset(int offset, POINT& point, POINT* lineAndColumn = nullptr, int* suggestedScroll = nullptr);
    BOOL MoveCaretToOffset(int offset, BOOL scrollIntoView, BOOL redraw);

    // ---- Caret movement ----------------------------------------------------
    virtual void GetCaretSize(int& width, int& height);
    virtual BOOL MoveLeft(BOOL redraw);
    virtual BOOL MoveRight(BOOL redraw);
    virtual BOOL MoveLineUp(BOOL keepPreferredColumn, BOOL redraw);
    virtual BOOL MoveLineDown(BOOL keepPreferredColumn, BOOL redraw);
    virtual BOOL MoveHome(BOOL redraw);
    virtual BOOL MoveLineEnd(BOOL redraw);
    virtual BOOL MoveTextStart(BOOL redraw);
    virtual BOOL MoveTextEnd(BOOL redraw);
    virtual BOOL MovePageUp(BOOL redraw);
    virtual BOOL MovePageDown(BOOL redraw);
    virtual BOOL MoveWordRight(BOOL redraw);
    virtual BOOL MoveWordLeft(BOOL redraw);
    virtual BOOL MoveToIndentStop();
    virtual void OnCaretMoved() {}
    // Places the caret on `preferredColumn` of the line of `offset`; 1 when it did.
    virtual BOOL ApplyPreferredColumn(int offset, BOOL redraw);
    // Repaints the whole window now.
    void RedrawAll();


    // ---- Syntax colouring ----------------------------------------------
    void AddKeyword(const CString& word, COLORREF color, COLORREF back, BOOL caseSensitive);
    BOOL AddColorBlock(const CString& start, const CString& end, BOOL multiLine, COLORREF color, COLORREF back,
                       BOOL caseSensitive, BOOL wholeWord);
    void AddEscapeSequence(const CString& sequence) { escapeSequences.Add(sequence); }
    virtual void ClearSyntaxRules();
    virtual BOOL LookupWordColor(const CString& word, COLORREF& color, COLORREF& back, int offset);
    // The keyword entry of a word as it stands (case-insensitive entries
    // folded in place), or null.
    const CODE_EDIT_SYNTAX_COLOR* FindKeyword(const WCHAR* chars, int length) const;
    virtual void AdjustCharColor(WCHAR, int, COLORREF&, COLORREF&) {}
    virtual BOOL GetCustomColor(int, int, COLORREF&, COLORREF&, BOOL) { return FALSE; }
    // Whether the offset lies inside the multi-line block opened before it.
    BOOL FindOpenColorBlock(int offset, const CODE_EDIT_COLOR_BLOCK** block);
    int EndOfColorBlock(int offset, const CODE_EDIT_COLOR_BLOCK& block) const;
    void BuildColorAreas(std::vector<CODE_EDIT_COLOR_AREA>& areas, int from, int to,
                         const CODE_EDIT_COLOR_BLOCK* excluded, BOOL redraw);
    BOOL NearColorBlockDelimiter(int offset) const;
    BOOL IsEscapeSequenceAt(const WCHAR* chars, int length, int position, bool forward) const;
    BOOL FindEnclosingPair(int offset, WCHAR opening, WCHAR closing, int& openOffset, int& closeOffset) const;
    static int FindLastOfBefore(const CString& s, int position, const WCHAR* set);
    static int FindFirstOfFrom(const CString& s, int position, const WCHAR* set);
    static int SkipSetRun(const CString& s, int position, bool forward, const WCHAR* set);
    static void BackOverNonSet(const CString& s, const WCHAR* set, int limit, int& position);
    // Colour of a keyword, block or area on the current background.
    COLORREF ChooseColor(COLORREF color, COLORREF lightColor, COLORREF back) const
    {
        return darkBackground && back == (COLORREF)-1 ? lightColor : color;
    }
    // Forgets what is known about open blocks at line starts after `offset`.
    void InvalidateColorCheckpoints(int offset);


    // ---- Painting ----------------------------------------------------------
    // Paints the control into `list`; clip null = the whole client area.
    virtual void PaintControl(CEditDisplayList& list, const RECT* clip);
    virtual void RedrawLineRange(int line, int lastLine);
    virtual void RedrawTextRange(int a, int b);
    virtual BOOL DrawBackground(CEditDisplayList& list);
    virtual void PaintTextLines(CEditDisplayList& list);
    virtual void DrawMarkerBar(CEditDisplayList& list, const RECT& rect);
    virtual void DrawLineNumberBar(CEditDisplayList& list, const RECT& rect);
    virtual void FillOutlineBar(CEditDisplayList& list, const RECT& rect);
    virtual void DrawOutlineBar(CEditDisplayList& list, const RECT& rect);
    virtual void DrawLineNumber(CEditDisplayList& list, const RECT& rect, int line);
    // Draws a run of equal colours; returns its width.
    virtual int DrawTextRun(CEditDisplayList& list, const WCHAR* chars, int count, const RECT& row, int x,
                            int tabOrigin, COLORREF color, COLORREF back, bool link);
    void InvalidateRow(int offset);
    void InvalidateFromRow(int offset);
    // The first and last visible lines on screen.
    void VisibleLineSpan(int& first, int& last);


    // ---- Editing -------------------------------------------------------------
    virtual BOOL InsertChar(WCHAR ch, BOOL redraw);
    virtual BOOL InsertText(const CString& t, int offset, BOOL redraw, BOOL resetUndo, BOOL shiftMarkers,
                            BOOL groupWithNext, BOOL noLeadingBreak = TRUE);
    virtual BOOL InsertColumnText(const CString& t, int offset, BOOL redraw, BOOL resetUndo, BOOL shiftMarkers,
                                  BOOL groupWithNext);
    virtual BOOL InsertNewLine(BOOL redraw, BOOL groupWithNext, int offset, BOOL moveCaret);
    virtual BOOL InsertTab(BOOL redraw);
    virtual BOOL DeleteChar(BOOL redraw, BOOL groupWithNext);
    // Removes carriage returns, expands tabs without keepTabs and, unless the
    // text is loaded whole (`keepLines`), breaks lines that would be too long;
    // `startColumn` is the length of the line before the insertion point.
    virtual BOOL NormalizeInsertText(CString& t, BOOL keepLines = FALSE, int startColumn = 0);
    virtual BOOL InsertLineBreakAt(BOOL groupWithNext, int offset, BOOL moveCaret);
    virtual CString MakeNewLineText(int offset);
    CString MakeIndentText(int column) const;
    BOOL DeleteSelectionRange(BOOL redraw, BOOL copyFirst, BOOL groupWithNext);
    // A column block's deletion: its piece of each row, in one undo group.
    BOOL DeleteBlockSelection(BOOL redraw, BOOL copyFirst, BOOL groupWithNext);
    // Whether a line of `length` characters (line feed excluded) is allowed;
    // the one place of the line-length rule.
    bool FitsLineLimit(int length) const { return length <= maxLineLength - 1; }

    // Hooks around every change (markers, outline and notifications).
    virtual void NoteTextRemoved(int start, int end, const CString& removed);
    virtual void NoteTextInserted(int offset, const CString& inserted, BOOL shiftMarkers);
    virtual void SendChangeNotice(int offset, const CString& changed, BOOL inserted);
    virtual void OnTextInsertedForOutline(int start, int end);
    virtual void OnTextRemovedForOutline(int start, int end);
    virtual void ReparseOutline(int start, int length, BOOL redrawAll);

    // ---- Outlining ---------------------------------------------------------
    virtual CCodeOutlineParser* CreateOutlineParser() { return new CCodeOutlineParser; }
    virtual void SetFoldingEnabled(BOOL on);
    void SetAutoOutlining(BOOL on) { autoOutlining = on; }
    void AllowOutlineUpdates(BOOL on) { outlineUpdatesAllowed = on; }
    CCodeOutlineNode* FindCollapsedNode(int offset) const;
    CCodeOutlineNode* FindCollapsedNodeInRange(int first, int last, bool forward) const;
    // The collapsed block whose label is under a client point on the lines of `offset`.
    CCodeOutlineNode* FindLabelAtPoint(int x, int y, int offset) const;
    // From a line start to the next visible line start (-1 at the end), counting lines passed.
    void NextVisibleLine(int& lines, int& visibleLines, int& offset) const;
    virtual BOOL ToggleOutlineNode(CCodeOutlineNode* node);
    virtual BOOL ToggleOutlineAt(int offset);
    // A click at a client point: on the outline bar it toggles the block of
    // that row (1 when the point was on the bar); a double-click on a
    // collapsed label selects the block (1 when there was one).
    virtual BOOL ClickOutlineBar(POINT point);
    virtual BOOL SelectCollapsedLabelAt(POINT point);
    // Expands the blocks hiding a line (counted from 1).
    virtual void ExpandLine(int line);
    virtual BOOL GetCollapsedTextAtPoint(int x, int y, CString& text, BOOL trimLeadingBlankLines);
    virtual void ReparseOutlineRange(int first, int last);
    virtual void ApplyOutlineChanges(CODE_EDIT_OUTLINE_CHANGES& changes, BOOL redrawAll);
    virtual void OnOutlineNodeAdded(CCodeOutlineNode*) {}
    virtual void OnOutlineNodeRemoved(CCodeOutlineNode*) {}
    // hiddenLineCount again from the collapsed blocks; the view follows.
    virtual void RecountHiddenLines(CODE_EDIT_OUTLINE_CHANGES& changes);
    // Width of a collapsed block's label cell; its labelRect is set at (x, y),
    // x in document pixels.
    virtual int MeasureCollapsedLabel(CCodeOutlineNode& node, int x, int y);
    virtual void DrawCollapsedLabel(CEditDisplayList& list, CCodeOutlineNode& node, COLORREF color, COLORREF back);
    // The fold symbol of one row of the outline bar.
    virtual void DrawOutlineGlyph(CEditDisplayList& list, const RECT& row, const CCodeOutlineNode* node,
                                  bool lineAbove, bool lineBelow, bool endMark);
    // The tree or a collapsed state changed: the quick lookups are rebuilt when next asked.
    void OnOutlineTreeChanged() { outlineCache.Invalidate(); }

    // ---- Find and replace ----------------------------------------------------
    // The next occurrence of `what` from the selection or caret, wrapping
    // around the text's end (or start, backwards); 0 when there is none.
    BOOL LocateText(int& position, int& length, const WCHAR* what, BOOL forward, BOOL matchCase, BOOL wholeWord);
    // Selects the next occurrence, first opening a collapsed block that hides it.
    virtual BOOL FindAndSelect(const WCHAR* what, BOOL forward, BOOL matchCase, BOOL wholeWord);
    // Replaces the selection when it is an occurrence, then finds the next one.
    virtual BOOL ReplaceFound(const WCHAR* what, const WCHAR* replacement, BOOL forward, BOOL matchCase,
                              BOOL wholeWord);
    // Replaces every occurrence in one pass and one undo step; the number replaced.
    virtual int ReplaceEverywhere(const WCHAR* what, const WCHAR* replacement, BOOL forward, BOOL matchCase,
                                  BOOL wholeWord);

    // ---- Selection -----------------------------------------------------------
    bool HasSelection() const { return selStart >= 0 && selEnd >= 0 && selStart != selEnd; }
    // Clears a selection; true when there was one. The caret goes to its
    // smaller end with toStart, else the larger, unless keepCaret.
    virtual BOOL ClearSelection(BOOL toStart, BOOL keepCaret, BOOL redraw);
    virtual BOOL SetSelectionRange(int start, int end, BOOL redraw);
    virtual BOOL SelectRange(int start, int end) { return SetSelectionRange(start, end, TRUE); }
    // The selected text; for a column block its rows, joined by line feeds.
    CString GetSelectedText() const;
    // The column block in document pixels, and per row the offsets it covers.
    RECT BlockSelectionRect() const;
    void BlockSelectionRows(std::vector<std::pair<int, int>>& rows);

    // ---- Undo ------------------------------------------------------------------
    virtual BOOL CanUndo() { return m_applied > 0; }
    virtual BOOL CanRedo() { return m_applied < (int)undoList.size(); }
    virtual BOOL StepUndo(BOOL moveCaret, BOOL redraw);
    virtual BOOL StepRedo(BOOL moveCaret, BOOL redraw);
    // Takes ownership of the record.
    virtual void PushUndoRecord(CODE_EDIT_UNDO_ACTION* record);
    virtual void PushUndoDataRecord(CODE_BASE_UNDO_DATA* data, int kind, BOOL ownsData);
    virtual void RecordTypedChar(WCHAR ch, int kind, int offset, BOOL forceInsertMode);
    virtual void RecordTextChange(const CString& t, int kind, int offset, BOOL forceInsertMode, BOOL groupWithNext);
    virtual BOOL CanPushUndoRecord(CODE_EDIT_UNDO_ACTION*) { return TRUE; }
    virtual void OnUndoRecordRemoved(CODE_EDIT_UNDO_ACTION*) {}
    virtual BOOL ReplayUndoRecord(CODE_EDIT_UNDO_ACTION* record, BOOL undo, BOOL moveCaret);
    virtual void EmptyUndoList();
    virtual void SetCurrentOperation(int code) { currentOperation = code; }
    virtual int GetCurrentOperation() { return currentOperation; }
    // The text as it is now is the saved one.
    void MarkSaved();
    int UndoRecordCount() const { return (int)undoList.size(); }
    size_t UndoBytes() const { return m_undoBytes; }


    // ---- Keyboard, text messages and drops -------------------------------------
    // WM_KEYDOWN and WM_CHAR; Shift and Ctrl come from the host.
    void HandleKeyDown(UINT key);
    void HandleChar(WCHAR ch);
    virtual BOOL ToggleOverwriteMode();
    // Selection by a keyboard direction code: 0/1 word left/right, 2/3 left/
    // right, 4/5 up/down, 6/7 page up/down, 8/9 line start/end, 10/11 text start/end.
    virtual BOOL ExtendSelection(int code);
    // Scrolls one line and keeps the caret on screen.
    void ScrollLineKeepCaret(bool up);
    // WM_SETTEXT: `count` characters replace the text, as loaded text.
    void SetWindowTextFrom(const WCHAR* chars, int count);
    // WM_GETTEXT: at most count-1 characters and a null; returns the characters copied.
    int GetWindowTextInto(WCHAR* buffer, int count) const;
    virtual BOOL FindWordBounds(int offset, int& start, int& end);
    BOOL GetWordAtOffset(int offset, CString& word);
    static void StripLeadingBlankLines(CString& s);
    // Text dropped at a client point; `block` for a column block, `move` when
    // the source removes what was dragged. 1 when it was taken.
    virtual BOOL OnDrop(const CString& dropped, bool block, bool move, POINT point);


    // ---- Language definitions ------------------------------------------------
    // Applies a definition text; 0 when the outline or hyperlink part refuses.
    virtual BOOL ApplySettingsText(const CString& settings);
    // Reads a definition file (a bare name: beside the program) and applies it.
    virtual BOOL ReadSettingsFile(const CString& path);
    // Outline rules of a definition; nothing to do until the control has an outline parser.
    virtual BOOL ApplyFoldingSettings(const CString& content);
    virtual BOOL ApplyLinkSettings(const CString& content);
    // Colour blocks of the last definition that AddColorBlock refused.
    int RefusedColorBlocks() const { return m_refusedColorBlocks; }

    // ---- Printing hooks and symbols -----------------------------------------
    // A printed page's header and footer, drawn into the page's list in the
    // area above and below its text; the base draws nothing.
    virtual void OnPrintHeader(CEditDisplayList&, int /*page*/, const RECT& /*area*/) {}
    virtual void OnPrintFooter(CEditDisplayList&, int /*page*/, const RECT& /*area*/) {}
    // Draws a symbol into its cell; 0 leaves the cell to the symbol image.
    virtual BOOL OnDrawSymbol(CEditDisplayList&, const RECT&, const CODE_EDIT_SYM_DEF&) { return FALSE; }

    // ---- Clipboard and rich text -------------------------------------------
    virtual BOOL CanCopy() { return HasSelection() || copyAllIfNoSelection || copyLineIfNoSelection; }
    virtual BOOL CanCut() { return HasSelection() && !readOnly; }
    virtual BOOL CanPaste();
    virtual BOOL CopySelected();
    virtual BOOL CutSelected();
    // Offset -1: the caret.
    virtual BOOL PasteText(int offset);
    virtual BOOL ClearSelected();
    // Puts `length` characters (-1: up to the first zero) on the clipboard:
    // the column-block format while a column block is selected, rich text
    // when asked for and small enough, and Unicode text. 1 only when every
    // block was placed.
    BOOL CopySelectionToClipboard(const CString& copied, int length);
    // The clipboard bytes of `length` characters: UTF-16 or, with `ansi`, the
    // ANSI code page, line feeds as CR LF with `crLf`, and a terminating zero.
    // The ANSI size is asked of the conversion first. False when the
    // conversion fails.
    static bool MakeClipboardBlock(const WCHAR* chars, int length, bool crLf, bool ansi, WipedBytes& out);
    // Clipboard or dropped text: a column block goes in by columns.
    BOOL InsertTransferredText(const CString& transferred, bool columnBlock, int offset);
    // The caret line without its line feed; 0 when it is empty or absent.
    BOOL GetCaretLineText(CString& line);
    // The selection as rich text with the colours the painter gives it.
    void ComposeRtf(CString& rtf);
    void ComposeRtfBody(CString& body, std::vector<COLORREF>& colorTable);
    static int ColorTableIndex(COLORREF color, std::vector<COLORREF>& colorTable);
    // Backslashes, braces, line feeds and characters beyond ASCII as rich-text escapes.
    virtual void EscapeRtf(CString& s);
    virtual void EscapeHtml(CString& s);
    // Texts up to this many characters are also copied as rich text.
    static const int richTextLimit = 120000;

    // ---- Mouse, selection and scroll bars ------------------------------------
    // Client points throughout. The timer that keeps a drag scrolling while
    // the mouse stands outside the text.
    static const UINT AUTO_SCROLL_TIMER = 1;
    // The selection's first-row, middle and last-row rectangles; 0 without one.
    BOOL GetSelectionRects(RECT& first, RECT& middle, RECT& last);
    BOOL IsPointInSelection(int x, int y);
    // The word under a point; not found past the text or more than one
    // character width away from the character the point maps to.
    BOOL GetWordAtPoint(POINT point, CString& word);
    // Ctrl+click on the hot link; 1 when it was followed.
    virtual BOOL FollowHotLink();
    // The view scrolled (a shown tooltip hides).
    virtual void OnViewScrolled() { HideTip(); }
    // WM_SETCURSOR over a point; sets hotLink on the way.
    EditCursor CursorAtPoint(POINT point, bool ctrlDown);
    // WM_LBUTTONDOWN; true when the press lies on the selection and the
    // window should drag it out (then FinishSelectionDrag).
    bool HandleLButtonDown(POINT point);
    // WM_MOUSEMOVE with the left button down, and the auto-scroll timer.
    void HandleMouseMove(POINT point);
    void HandleLButtonUp(POINT point);
    virtual void HandleLButtonDblClk(POINT point);
    void HandleRButtonDown(POINT point);
    // After the drag loop: `effect` is what the target did.
    void FinishSelectionDrag(DWORD effect, POINT releasePoint);
    // WM_VSCROLL / WM_HSCROLL (bar SB_VERT / SB_HORZ) and WM_MOUSEWHEEL.
    BOOL HandleScrollBar(int bar, int code, int position);
    BOOL HandleMouseWheel(int delta);
    // WM_SETFOCUS: a new caret where it was; WM_KILLFOCUS: where it was is kept.
    void HandleSetFocus();
    void HandleKillFocus();
    // A drag hovering at a point: the caret follows and the view scrolls near
    // the edges; false outside the text area.
    BOOL DragOverPoint(POINT point);
    // The drag left: the normal caret again.
    void DragLeave();

    // ---- Markers ---------------------------------------------------------------
    // The list is sorted by priority (higher first), then line, then type.
    // Line -1 stands for the caret line. Positions are the markers themselves.
    // 0 when a marker of the type covered the line (those starting on it go), 1 when one was added.
    virtual BOOL FlipLineMarker(int line, uint32_t type, uint32_t data, BOOL redraw, uint32_t priority);
    // Takes ownership unless the type is refused (the result is then null).
    virtual CCodeEditMarker* AddMarker(CCodeEditMarker* marker, int line, BOOL redraw);
    virtual CCodeEditMarker* InsertMarkerSorted(CCodeEditMarker* marker, BOOL redraw);
    // Colour -1: the control's text or background colour.
    virtual CCodeLineColorMarker* AddLineColorMarker(int line, COLORREF text, COLORREF back, int option,
                                                     int lineCount, uint32_t type, uint32_t priority);
    virtual CCodeEditMarker* FindMarkerOnLine(int line, uint32_t typeMask);
    // Appends the markers of the mask on lines first..last (last -1: first).
    virtual void CollectMarkersInRange(int first, std::vector<CCodeEditMarker*>& found, uint32_t typeMask, int last);
    virtual BOOL DeleteMarkersOnLine(int line, uint32_t typeMask, BOOL redraw);
    // Mask 0xFFFFFFFF deletes all markers.
    virtual void DeleteMarkersOfType(uint32_t typeMask, BOOL redraw);
    virtual void DeleteMarkerAt(CCodeEditMarker* marker);
    virtual void DeleteAllMarkers();
    virtual CCodeEditMarker* FindMarker(uint32_t data);
    virtual void CollectMarkers(std::vector<CCodeEditMarker*>& found, uint32_t data);
    virtual BOOL HasMarkerOfType(uint32_t typeMask);
    virtual BOOL GoToMarker(const CCodeEditMarker* marker);
    virtual void RedrawMarkerLine(int line, BOOL lineColor);
    virtual void ShiftMarkersOnInsert(int fromLine, int delta);
    virtual void ShiftMarkersOnDelete(int first, int last);
    virtual BOOL MarkerMovesOnInsert(const CCodeEditMarker*) { return TRUE; }
    virtual BOOL MarkerMovesOnDelete(const CCodeEditMarker*) { return TRUE; }
    virtual BOOL CanDeleteMarker(const CCodeEditMarker*) { return TRUE; }
    virtual BOOL GetLineColorMarker(int line, COLORREF& text, COLORREF& back);
    virtual BOOL GetHiliteMarker(int offset, COLORREF& text, COLORREF& back);
    // One marker's glyph in the marker bar: bookmarks (type bit 1) only.
    virtual void DrawMarkerGlyph(CEditDisplayList& list, const RECT& rect, const CCodeEditMarker& marker);
    const std::list<CCodeEditMarker*>& Markers() const { return markers; }

    // ---- Indenting a selection ----------------------------------------------
    // Tab and Shift+Tab on a selection of whole lines: one undo step.
    virtual BOOL CanIndentSelection(BOOL indent);
    virtual BOOL IndentSelection(BOOL indent);
    // Indents or unindents the lines from the line of `from` to the line of
    // `to`; `lines` receives what each line gained or lost. With
    // `fromSavedLines` (undo and redo) exactly lines.GetSize() lines change,
    // by exactly the saved texts. A line the indent would make longer than
    // the line limit stays as it is.
    virtual BOOL ApplyIndent(int from, int to, BOOL indent, BOOL rectangular, BOOL adjustSelection,
                             CStringArray& lines, BOOL fromSavedLines);
    // ---- Hyperlinks and tooltips ----------------------------------------------
    // Whether offsets first..last-1 hold a link: its text and first offset.
    virtual BOOL FindHyperlink(int first, int last, CString& url, int& offset);
    void AddHyperlink(const CString& url, int offset);
    void ClearHyperlinks();
    int HyperlinkAtOffset(int offset) const;
    // The link around a text offset, found in the text itself (not in the
    // list the last paint made): its text and first offset.
    BOOL LinkAtOffset(int offset, CString& url, int& linkOffset);
    // The link under a client point becomes the hot one; its index or -1.
    // The window's cursor handling asks this for "a link at the mouse".
    int HotLinkAtPoint(POINT point);
    virtual void FollowHyperlink(int offset, const CString& url);
    virtual BOOL GetLinkTipText(CString& tip);
    virtual BOOL CanShowLinkTip(int, CString&) { return TRUE; }
    // May change the text of a tip; 0 withholds it. The tip is for the
    // client point tipPoint.
    virtual BOOL GetTipText(CString&) { return TRUE; }
    POINT tipPoint = {-1, -1};
    void AttachTipWindow(CEditTipWindow* tips);
    void SetTipsEnabled(BOOL on);
    void HideTip();
    // WM_MOUSEMOVE's part for tips, and the tooltip's request for its text
    // (1 with *text pointing at the tip, valid until the next request).
    void OnTipMouseMove(POINT point, bool mouseCaptured);
    BOOL OnTipNeedText(POINT point, const WCHAR** text);
    // The text of the tip being prepared; shared by every control.
    static CString currentTipText;

    // ---- Printing ----------------------------------------------------------
    // A print job: BeginPrintPages, then PrintPage for each page while the
    // info's continue flag stays set, then EndPrintPages. A page is painted
    // into `list` in the printer's units, measured by `printer`; the screen's
    // view is left as it was. 0 when the page does not exist.
    virtual void BeginPrintPages(CPrintInfo& info);
    virtual BOOL PrintPage(CEditDisplayList& list, CEditMeasurer& printer, CPrintInfo& info);
    virtual void EndPrintPages(CPrintInfo& info);
    // Around each page, with the printer's metrics in place (base: nothing).
    virtual void OnPrintPageStart(CEditDisplayList&, CPrintInfo&) {}
    virtual void OnPrintPageEnd(CEditDisplayList&, CPrintInfo&) {}

    // ---- Text files, serialisation, going to a line, bars ---------------------
    // Loading tells UTF-8 (with or without a mark) and UTF-16 by their marks
    // before the system's guess; saving writes the encoding that was read.
    // File errors go to OnFileError; the result is then 0.
    BOOL LoadTextFromPath(const WCHAR* path);
    virtual BOOL LoadTextFromStream(CFile& file);
    BOOL SaveTextToPath(const WCHAR* path);
    virtual BOOL SaveTextToStream(CFile& file);
    virtual void Serialize(CArchive& archive);
    virtual void OnFileError(const CFileException&) {}
    // Line counted from 1; 0 when there is no such line.
    virtual BOOL GoToLine(int line, BOOL expand, BOOL redraw);
    void ShowLineNumberBar(BOOL show, int width);
    void ShowOutlineBar(BOOL show, int width);
    POINT DocToClient(POINT point) const;
    RECT DocRectToClient(const RECT& rect) const;

    // ---- Members -------------------------------------------------------
    CString wordDelimiters;
    CString specialDelimiters;
    CString blankChars;
    CString intelliSenseChars;
    CString indentChars;
    CString escapeChars;
    COLORREF backColor = (COLORREF)-1;
    COLORREF textColor = (COLORREF)-1;
    COLORREF selBackColor = (COLORREF)-1;
    COLORREF selBackColorInactive = (COLORREF)-1;
    COLORREF selTextColor = (COLORREF)-1;
    COLORREF selTextColorInactive = (COLORREF)-1;
    COLORREF outlineGlyphColor = (COLORREF)-1;
    COLORREF outlineLineColor = (COLORREF)-1;
    COLORREF lineNumberBackColor = (COLORREF)-1;
    COLORREF lineNumberTextColor = (COLORREF)-1;
    COLORREF markerBarColor = (COLORREF)-1;
    BOOL clipboardCrLf = 1;
    int lineSpacing = 1;
    int markerBarWidth = 4;
    int defaultLineNumberWidth = 40;
    int outlineBarWidth = 20;
    int indentSize = 4;
    int tabSize = 4;
    int scrollStepPercent = 15;
    int scrollMarginColumns = 2;
    int autoScrollDelay = 100;
    BOOL copyAllIfNoSelection = 0;
    BOOL copyLineIfNoSelection = 0;
    int dialogCode = 4;
    BOOL autoIndent = 1;
    BOOL unicodeFile = 0;
    BOOL copyRichText = 0;
    std::vector<CODE_EDIT_SYM_DEF> symbols;
    BOOL symbolsEnabled = 0;
    BOOL colorHyperlinks = 1;
    COLORREF hyperlinkColor = 0xFF0000;
    CStringArray urlPrefixes;
    CEditTextBuffer text;
    BOOL modified = 0;
    int maxLineLength = 2048;
    BOOL readOnly = 0;
    int lastKey = -1;
    int previousKey = -1;
    HFONT font = nullptr;
    int lineHeight = 0;
    int maxCharWidth = 0;
    int aveCharWidth = 0;
    RECT clientRect = {};
    RECT textRect = {};
    int caretOffset = 0;
    POINT caretPos = {4, 0};
    BOOL caretLocked = 0;
    int selStart = -1;
    int selEnd = -1;
    POINT blockSelStart = {-1, -1};
    POINT blockSelEnd = {-1, -1};
    BOOL swallowAltUp = 0;
    BOOL blockSelection = 0;
    BOOL showLineNumbers = 0;
    BOOL showOutlineBar = 0;
    int lineNumberWidth = 40;
    int scrollColumn = 0;
    int topLine = 0;
    int hiddenAboveTop = 0;
    int topOffset = 0;
    int bottomOffset = 0;
    int lineBreakCount = 0;
    int hiddenLineCount = 0;
    SIZE scrollExtent = {0, 0};
    int wheelFactor = 1;
    BOOL scrollPastEnd = 1;
    BOOL horzScrollAllowed = 1;
    int caretLine = 0;
    int caretColumn = 0;
    int dragSelEnd = 0;
    int dropOffset = -1;
    POINT savedScrollPoint = {};
    int mouseState = -1;
    int preferredColumn = 0;
    BOOL dragSource = 0;
    int scrollTimer = -1;
    int tabWidth = 0;
    BOOL keepTabs = 1;
    std::map<WCHAR, int> charWidths;
    BOOL tipsEnabled = 0;
    CString tipText;
    BOOL tipHidden = 0;
    int maxTipWidth = -1;
    std::map<CString, CODE_EDIT_SYNTAX_COLOR, EditKeywordOrder> keywords;
    std::vector<CODE_EDIT_COLOR_BLOCK> colorBlocks;
    CStringArray escapeSequences;
    int blockScanRadius = 4;
    // Undo records, oldest first; the first m_applied of them are applied.
    std::vector<CODE_EDIT_UNDO_ACTION*> undoList;
    int undoLimit = 300;
    // Bytes of record text kept at most, beside the record limit.
    size_t undoByteBudget = (size_t)64 * 1024 * 1024;
    int currentOperation = 0;
    BOOL noTypingMerge = 0;
    BOOL undoDirection = 1;
    BOOL gradientMarkers = 0;
    CCodeOutlineNode outlineRoot;
    // Rebuilt on demand by const queries.
    mutable COutlineCasheManager outlineCache;
    CCodeOutlineParser* outlineParser = nullptr;
    void* hotOutlineNode = nullptr;
    BOOL outlineUpdatesAllowed = 0;
    BOOL outliningEnabled = 0;
    BOOL autoOutlining = 0;
    int maxTipLength = 512;
    BOOL hyperlinksEnabled = 1;
    std::vector<CODE_EDIT_HYPERLINK_DEF> hyperlinks;
    int caretLink = -1;
    int hotLink = -1;
    BOOL darkBackground = 0;
    COLORREF lightHyperlinkColor = (COLORREF)-1;
    BOOL ownBorder = 0;
    int reserved = 0;
    // The printing font (null: the screen font) and one the printing code
    // made itself (it deletes it; the core has no device).
    HFONT printFont = nullptr;
    HFONT ownPrintFont = nullptr;
    // Images of the symbols (nothing supplies them yet).
    struct _IMAGELIST* symbolImages = nullptr;
    // Owned markers, in paint and search order.
    std::list<CCodeEditMarker*> markers;
    // How the text was read and is saved (EDIT_FILE_*); with unicodeFile set, UTF-16.
    int fileEncoding = 0;

protected:
    bool IsWordChar(WCHAR ch) const { return wordDelimiters.Find(ch) < 0; }
    // Scrolls the vertical bar so that `line` (visible) is the top row.
    void SetTopLine(int line, BOOL redraw);
    void ShowCaretAt();
    // Resets the view to the top of an empty or new text.
    void ResetViewState();

private:
    // Printing.
    struct ScreenView;
    void BorrowScreenView(ScreenView& view);
    void ReturnScreenView(ScreenView& view);
    // Where each page after the first begins, as the page before it found.
    std::map<int, int> m_pageStarts;
    // Character widths on the printer, kept from page to page of one job.
    std::map<WCHAR, int> m_printCharWidths;

    // Links and tips.
    enum { TIP_NONE, TIP_WORD, TIP_MULTI_LINE };
    bool MatchesTextAt(int offset, const CString& s) const;
    int TipCandidateAt(POINT point, CString& candidate);
    CEditTipWindow* m_tips = nullptr;

    // Text files.
    static BOOL DecodeFileBytes(const uint8_t* bytes, size_t size, std::vector<WCHAR, WipingAllocator<WCHAR>>& chars,
                                int& encoding);
    void TextWithCrLf(std::vector<WCHAR, WipingAllocator<WCHAR>>& out) const;
    BOOL EncodeFileBytes(const std::vector<WCHAR, WipingAllocator<WCHAR>>& chars, WipedBytes& bytes);

    // Find and replace.
    class TextMatcher;
    int SearchStartOffset(BOOL forward) const;
    BOOL SelectionHolds(const WCHAR* what, BOOL matchCase, BOOL wholeWord) const;
    void CollectReplaceMatches(std::vector<int>& starts, const WCHAR* what, BOOL forward, BOOL matchCase,
                               BOOL wholeWord) const;
    bool HoldsOutlineChar(const CString& s) const;
    // The blocks after a replace-all: each offset moved as the replacements
    // of `n` characters by `r` at `starts` (ascending) move the text.
    void MoveOutlineForReplacements(const std::vector<int>& starts, int n, int r,
                                    CODE_EDIT_OUTLINE_CHANGES& changes);
    // Expands the collapsed blocks that hide any of first..last.
    void ExpandCollapsedAround(int first, int last);

    // The collapsed blocks while folding is on, else nothing.
    const COutlineCasheManager* CollapsedBlocks() const;
    // Text width from..to-1 on one row, collapsed blocks as their labels.
    int MeasureRowPart(int from, int to);
    // Advance of a collapsed block's label cell (the label and a pixel each side).
    int LabelWidth(const CCodeOutlineNode& node);
    // The buffer changes under every editing operation: text, line count,
    // colour checkpoints and the top row stay consistent.
    void ChangeInsert(int offset, const CString& t);
    void ChangeDelete(int offset, int count);
    void ChangeReplace(int offset, WCHAR ch);
    void AfterTextChange(int offset);
    void MoveBlockCorner(POINT point, int offset);
    // The system caret again, in the shape of the current mode (not shown).
    void RecreateSystemCaret();
    // A deleted selection leaves no selection and the caret at `caret`.
    void AfterSelectionDeleted(int caret, BOOL redraw);
    // The view moved: the whole area repaints and the caret follows.
    void AfterScroll();
    // The press that may start a drag, and the ordered selection it found.
    POINT m_pressPoint = {-1, -1};
    int m_pressLow = -1;
    int m_pressHigh = -1;
    // Characters an unindent removes before a line's first non-blank.
    int UnindentWidth(int lineStart, int firstNonBlank) const;
    // Drops the oldest whole groups while a limit is exceeded.
    void TrimUndoList();
    void DeleteRecord(CODE_EDIT_UNDO_ACTION* record);
    int m_refusedColorBlocks = 0;
    int m_applied = 0;
    // Records applied when the text was saved; -1: that state cannot come back.
    int m_savedApplied = 0;
    size_t m_undoBytes = 0;
    // The part of the client area being painted.
    RECT m_paintRect = {};
    // An occurrence of `s` ends (backward) at offset p of the text.
    bool MatchesEndingAt(const CString& s, int p, bool caseSensitive) const;
    // Open-block state at line starts: -1 unknown, 0 closed, 1 open.
    std::vector<signed char> m_openAtLineStart;
    CEditHost* m_host;
    CEditMeasurer* m_measurer;
};

// CCustomEditCtrl: the secure editor's edit control. Beside the base control
// it colours XML and HTML tags, folds elements through CXmlOutlineParser,
// sets user bookmarks by a double-click on the marker bar, keeps a
// process-wide history of searched texts, shows word tips from a map, keeps
// folded blocks folded when the parser rebuilds them unchanged, draws round
// red and yellow marker glyphs, and fails quietly except for a beep.
// Window thread only.
#pragma once

#include "editctrl/CodeEditCtrl.h"
#include "framework/base/CString.h"
#include "framework/base/WipedMemory.h"
#include "viewers/XmlOutlineParser.h"

#include <list>
#include <map>

// Marker type bits of this control.
enum : uint32_t {
    MARKER_USER_BOOKMARK = 0x10000,
    MARKER_BOOKMARK_LINE = 0x20000,
    MARKER_FIXED_LINE = 0x40000,  // stays on its line number when lines move
    MARKER_YELLOW_GLYPH = 0x80000,
};

// Texts searched for, oldest first, each at most once. They may come from
// decrypted documents: the strings wipe their characters and the list wipes
// its nodes when they are freed. Shared by every control of the process;
// window thread only, no lock.
typedef std::list<CString, WipingAllocator<CString>> CWipedStringList;
extern CWipedStringList g_FindHistory;

// Steps over the characters of `set` from `offset`: forwards while below the
// text's length, backwards stepping back first (the result may be -1).
int SkipCharsInSet(const CString& text, const WCHAR* set, int& offset, BOOL forwards);

class CCustomEditCtrl : public CCodeEditCtrl {
public:
    // The sound of a failed edit: MessageBeep by default; tests listen here.
    typedef void (*BeepFunction)(UINT type);

    CCustomEditCtrl();
    ~CCustomEditCtrl() override;

    BOOL SetMarginBookmarks(BOOL on);  // the previous value
    BOOL GetMarginBookmarks() const { return marginBookmarks; }
    void SetXmlColoring(BOOL on) { xmlColoring = on ? 1 : 0; }
    BOOL GetXmlColoring() const { return xmlColoring; }
    // Line -1: the caret line. 1 when a bookmark was set, 0 when removed.
    int ToggleUserBookmark(int line = -1);
    void ClearUserBookmarks();
    // The control's outline parser, null until outlining made it.
    CXmlOutlineParser* GetXmlOutlineParser();
    void SetBeepFunction(BeepFunction beep) { m_beep = beep ? beep : DefaultBeep; }

    BOOL FindAndSelect(const WCHAR* what, BOOL forward, BOOL matchCase, BOOL wholeWord) override;
    void DrawMarkerGlyph(CEditDisplayList& list, const RECT& rect, const CCodeEditMarker& marker) override;
    void AdjustCharColor(WCHAR ch, int offset, COLORREF& color, COLORREF& back) override;
    BOOL MarkerMovesOnInsert(const CCodeEditMarker* marker) override { return MarkerMovesWithText(marker); }
    BOOL MarkerMovesOnDelete(const CCodeEditMarker* marker) override { return MarkerMovesWithText(marker); }
    CCodeOutlineParser* CreateOutlineParser() override;
    void ApplyOutlineChanges(CODE_EDIT_OUTLINE_CHANGES& changes, BOOL redrawAll) override;
    BOOL GetTipText(CString& tip) override;
    void OnEditFailure(unsigned code) override;
    // A double-click on the marker bar toggles a bookmark when marginBookmarks is on.
    void HandleLButtonDblClk(POINT point) override;

    virtual BOOL MarkerMovesWithText(const CCodeEditMarker* marker);
    // Reads ".", "->" or "::" backwards from `offset` (blanks may separate
    // "-" and ">" or the two colons); on success `offset` points before the
    // token's first character.
    virtual BOOL ReadOperatorToken(const CString& text, int& offset, CString& token);

    BOOL xmlColoring = 0;
    BOOL marginBookmarks = 0;
    std::map<CString, void*> userPointers;
    // Tooltip text per word; nothing fills it yet.
    std::map<CString, CString> wordTips;

private:
    static void DefaultBeep(UINT type) { ::MessageBeep(type); }
    BeepFunction m_beep = DefaultBeep;
};

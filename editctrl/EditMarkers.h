// Markers attached to lines of the edit control's text: bookmarks and other
// glyphs of the marker bar, lines painted in their own colours, and
// highlighted offset ranges. The control owns them in its marker list and
// moves them as lines are inserted and deleted. Window thread only.
#pragma once

#include "framework/base/CObject.h"

#include <windows.h>

#include <cstdint>
#include <vector>

// Type bits: 4 a line-colour marker, 8 a highlight; bits 5 to 15 are refused
// by the list; the others are the application's (1 draws a bookmark glyph).
enum : uint32_t {
    MARKER_TYPE_BOOKMARK = 0x1,
    MARKER_TYPE_LINE_COLOR = 0x4,
    MARKER_TYPE_HILITE = 0x8,
    MARKER_TYPE_REFUSED = 0xFFE0,
};

class CCodeEditMarker : public CObject {
public:
    CCodeEditMarker() = default;
    ~CCodeEditMarker() override = default;
    CCodeEditMarker(const CCodeEditMarker&) = delete;
    CCodeEditMarker& operator=(const CCodeEditMarker&) = delete;

    virtual void Assign(const CCodeEditMarker& source) { CopyValues(source); }
    // The base fields; `data` through CopyData.
    virtual void CopyValues(const CCodeEditMarker& source);
    // 0 when the marker's lines miss [first, last], 1 inside, 2 partly inside.
    virtual int IsInLineRange(int first, int last) const { return line >= first && line <= last ? 1 : 0; }
    virtual int IsInOffsetRange(int, int) const { return 0; }
    virtual void OnLinesDeleted(int, int) {}
    virtual void OnOffsetsDeleted(int, int) {}
    virtual bool HasData(uint32_t value) const { return data == value; }
    virtual void CopyData(uint32_t) {}
    virtual void ReleaseData() {}
    // The stored form, little-endian: line, type, priority, data (32 bits each).
    virtual void Store(std::vector<uint8_t>& out) const;
    // Reads the stored form at `p`, which moves past it; false when it is cut short.
    virtual bool Load(const uint8_t*& p, const uint8_t* end);

    int line = -1;
    uint32_t type = 0xFFFFFFFF;
    uint32_t priority = 0;
    uint32_t data = 0;
};

class CCodeLineColorMarker : public CCodeEditMarker {
public:
    CCodeLineColorMarker() { type = MARKER_TYPE_LINE_COLOR; }
    int IsInLineRange(int first, int last) const override;
    // Shrinks the covered lines by the deleted ones that it holds.
    void OnLinesDeleted(int first, int last) override;
    void CopyAllValues(const CCodeLineColorMarker& source);

    COLORREF textColor = (COLORREF)-1;
    COLORREF backColor = (COLORREF)-1;
    int lineCount = 0;  // lines below `line` that the marker also covers
    int option = 0;
};

class CCodeHiliteMarker : public CCodeEditMarker {
public:
    CCodeHiliteMarker() { type = MARKER_TYPE_HILITE; }
    int IsInLineRange(int, int) const override { return 0; }
    int IsInOffsetRange(int first, int last) const override;
    void Store(std::vector<uint8_t>& out) const override;
    bool Load(const uint8_t*& p, const uint8_t* end) override;
    void CopyAllValues(const CCodeHiliteMarker& source);

    int startOffset = -1;
    int endOffset = -1;  // exclusive
    COLORREF textColor = (COLORREF)-1;
    COLORREF backColor = (COLORREF)-1;
};

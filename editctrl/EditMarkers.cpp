#include "editctrl/EditMarkers.h"

namespace {
void Put32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back((uint8_t)(value >> (8 * i)));
}

bool Get32(const uint8_t*& p, const uint8_t* end, uint32_t& value)
{
    if (end - p < 4)
        return false;
    value = (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
    p += 4;
    return true;
}

// 0 when [a, b] misses [first, last], 1 when it lies inside, 2 when it overlaps partly.
int RangeRelation(int a, int b, int first, int last)
{
    if (b < first || a > last)
        return 0;
    return a >= first && b <= last ? 1 : 2;
}
}  // namespace

void CCodeEditMarker::CopyValues(const CCodeEditMarker& source)
{
    line = source.line;
    type = source.type;
    priority = source.priority;
    CopyData(source.data);
}

void CCodeEditMarker::Store(std::vector<uint8_t>& out) const
{
    Put32(out, (uint32_t)line);
    Put32(out, type);
    Put32(out, priority);
    Put32(out, data);
}

bool CCodeEditMarker::Load(const uint8_t*& p, const uint8_t* end)
{
    uint32_t storedLine = 0;
    if (!Get32(p, end, storedLine) || !Get32(p, end, type) || !Get32(p, end, priority) || !Get32(p, end, data))
        return false;
    line = (int)storedLine;
    return true;
}

int CCodeLineColorMarker::IsInLineRange(int first, int last) const
{
    return RangeRelation(line, line + lineCount, first, last);
}

void CCodeLineColorMarker::OnLinesDeleted(int first, int last)
{
    int end = line + lineCount;
    if (end < first || line > last || (line >= first && end <= last))
        return;
    if (line < first && end <= last)
        lineCount = first - line - 1;
    else if (line >= first && end > last) {
        lineCount -= last - line + 1;
        line = first;
    } else
        lineCount -= last - first + 1;
}

void CCodeLineColorMarker::CopyAllValues(const CCodeLineColorMarker& source)
{
    CopyValues(source);
    textColor = source.textColor;
    backColor = source.backColor;
    lineCount = source.lineCount;
    option = source.option;
}

int CCodeHiliteMarker::IsInOffsetRange(int first, int last) const
{
    return RangeRelation(startOffset, endOffset, first, last);
}

void CCodeHiliteMarker::Store(std::vector<uint8_t>& out) const
{
    CCodeEditMarker::Store(out);
    Put32(out, (uint32_t)startOffset);
    Put32(out, (uint32_t)endOffset);
}

bool CCodeHiliteMarker::Load(const uint8_t*& p, const uint8_t* end)
{
    uint32_t a = 0, b = 0;
    if (!CCodeEditMarker::Load(p, end) || !Get32(p, end, a) || !Get32(p, end, b))
        return false;
    startOffset = (int)a;
    endOffset = (int)b;
    return true;
}

void CCodeHiliteMarker::CopyAllValues(const CCodeHiliteMarker& source)
{
    CopyValues(source);
    startOffset = source.startOffset;
    endOffset = source.endOffset;
    textColor = source.textColor;
    backColor = source.backColor;
}

// CPoint, CSize and CRect: the system's POINT, SIZE and RECT with the
// arithmetic the program's windows use. They convert to and from the plain
// records, so they pass straight to the system.
#pragma once

#include <windows.h>

class CPoint : public POINT {
public:
    CPoint() : POINT{0, 0} {}
    CPoint(int px, int py) : POINT{px, py} {}
    CPoint(POINT point) : POINT(point) {}
    // The two signed 16-bit halves of a mouse message's lParam.
    static CPoint FromLParam(LPARAM lParam) { return CPoint((short)LOWORD(lParam), (short)HIWORD(lParam)); }
    bool operator==(const POINT& other) const { return x == other.x && y == other.y; }
    bool operator!=(const POINT& other) const { return !(*this == other); }
};

class CSize : public SIZE {
public:
    CSize() : SIZE{0, 0} {}
    CSize(int width, int height) : SIZE{width, height} {}
    CSize(SIZE size) : SIZE(size) {}
    bool operator==(const SIZE& other) const { return cx == other.cx && cy == other.cy; }
    bool operator!=(const SIZE& other) const { return !(*this == other); }
};

class CRect : public RECT {
public:
    CRect() : RECT{0, 0, 0, 0} {}
    CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
    CRect(const RECT& rect) : RECT(rect) {}
    CRect(POINT topLeft, SIZE size) : RECT{topLeft.x, topLeft.y, topLeft.x + size.cx, topLeft.y + size.cy} {}

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    CSize Size() const { return CSize(Width(), Height()); }
    CPoint TopLeft() const { return CPoint(left, top); }
    CPoint CenterPoint() const { return CPoint((left + right) / 2, (top + bottom) / 2); }
    bool IsRectEmpty() const { return right <= left || bottom <= top; }
    bool PtInRect(POINT point) const
    {
        return point.x >= left && point.x < right && point.y >= top && point.y < bottom;
    }

    void DeflateRect(int dx, int dy) { ::InflateRect(this, -dx, -dy); }
    void DeflateRect(int l, int t, int r, int b)
    {
        left += l;
        top += t;
        right -= r;
        bottom -= b;
    }
    bool operator==(const RECT& other) const { return ::EqualRect(this, &other) != FALSE; }
    bool operator!=(const RECT& other) const { return !(*this == other); }

    operator RECT*() { return this; }
    operator const RECT*() const { return this; }
};

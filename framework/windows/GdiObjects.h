// The drawing objects: pens, fonts and bitmaps. Each object owns its
// handle and deletes it when destroyed, unless the handle was detached.
#pragma once

#include "framework/windows/Geometry.h"

#include <windows.h>

class CGdiObject {
public:
    CGdiObject() = default;
    virtual ~CGdiObject() { DeleteObject(); }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    HGDIOBJ m_hObject = nullptr;
    HGDIOBJ GetSafeHandle() const { return m_hObject; }

    BOOL Attach(HGDIOBJ object);
    HGDIOBJ Detach();
    BOOL DeleteObject();
};

class CPen : public CGdiObject {
public:
    CPen() = default;
    CPen(int style, int width, COLORREF colour) { CreatePen(style, width, colour); }
    BOOL CreatePen(int style, int width, COLORREF colour);
    operator HPEN() const { return (HPEN)m_hObject; }
};

class CFont : public CGdiObject {
public:
    BOOL CreateFontIndirect(const LOGFONTW* font);
    int GetLogFont(LOGFONTW* font) const { return ::GetObjectW(m_hObject, sizeof *font, font); }
    operator HFONT() const { return (HFONT)m_hObject; }
};

class CBitmap : public CGdiObject {
public:
    BOOL CreateCompatibleBitmap(HDC dc, int width, int height);
    // A top-down 32-bit bitmap of the size; `bits` receives its pixels.
    BOOL CreateDibSection32(int width, int height, void** bits);
    CSize GetSize() const;
    operator HBITMAP() const { return (HBITMAP)m_hObject; }
};

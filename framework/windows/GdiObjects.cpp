#include "framework/windows/GdiObjects.h"

BOOL CGdiObject::Attach(HGDIOBJ object)
{
    if (m_hObject || !object)
        return FALSE;
    m_hObject = object;
    return TRUE;
}

HGDIOBJ CGdiObject::Detach()
{
    HGDIOBJ object = m_hObject;
    m_hObject = nullptr;
    return object;
}

BOOL CGdiObject::DeleteObject()
{
    if (!m_hObject)
        return FALSE;
    BOOL deleted = ::DeleteObject(m_hObject);
    m_hObject = nullptr;
    return deleted;
}

BOOL CPen::CreatePen(int style, int width, COLORREF colour) { return Attach(::CreatePen(style, width, colour)); }

BOOL CFont::CreateFontIndirect(const LOGFONTW* font) { return Attach(::CreateFontIndirectW(font)); }


BOOL CBitmap::CreateCompatibleBitmap(HDC dc, int width, int height)
{
    return Attach(::CreateCompatibleBitmap(dc, width, height));
}

BOOL CBitmap::CreateDibSection32(int width, int height, void** bits)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return Attach(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0));
}

CSize CBitmap::GetSize() const
{
    BITMAP bitmap = {};
    if (!m_hObject || !::GetObjectW(m_hObject, sizeof bitmap, &bitmap))
        return CSize();
    return CSize(bitmap.bmWidth, bitmap.bmHeight);
}

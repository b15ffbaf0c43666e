// CDC: a device context. m_hDC receives the output and m_hAttribDC answers
// queries; both are the same handle except while an object borrows another
// context's handles. CPaintDC and CClientDC own the context of a window for
// their lifetime.
#pragma once

#include "framework/base/CString.h"
#include "framework/windows/GdiObjects.h"
#include "framework/windows/Geometry.h"

#include <windows.h>

class CDC {
public:
    CDC() = default;
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC m_hDC = nullptr;
    HDC m_hAttribDC = nullptr;
    BOOL m_bPrinting = FALSE;

    operator HDC() const { return m_hDC; }
    BOOL IsPrinting() const { return m_bPrinting; }

    BOOL Attach(HDC dc);
    HDC Detach();
    BOOL CreateCompatibleDC(CDC* other);
    BOOL DeleteDC();

    // Selection returns what was selected before.
    HGDIOBJ SelectObject(HGDIOBJ object) { return ::SelectObject(m_hDC, object); }
    HGDIOBJ SelectObject(CGdiObject* object) { return ::SelectObject(m_hDC, object->m_hObject); }

    COLORREF SetTextColor(COLORREF colour) { return ::SetTextColor(m_hDC, colour); }
    int SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
    CPoint SetWindowOrg(int x, int y);

    BOOL BitBlt(int x, int y, int width, int height, CDC* source, int sourceX, int sourceY, DWORD rop)
    {
        return ::BitBlt(m_hDC, x, y, width, height, source ? source->m_hDC : nullptr, sourceX, sourceY, rop);
    }
    void FillSolidRect(const RECT& rect, COLORREF colour);
    void FillRect(const RECT& rect, HBRUSH brush) { ::FillRect(m_hDC, &rect, brush); }
    void DrawFocusRect(const RECT& rect) { ::DrawFocusRect(m_hDC, &rect); }
    BOOL Rectangle(int left, int top, int right, int bottom) { return ::Rectangle(m_hDC, left, top, right, bottom); }
    CPoint MoveTo(int x, int y);
    BOOL LineTo(int x, int y) { return ::LineTo(m_hDC, x, y); }
    int DrawText(const CString& text, RECT* rect, UINT format)
    {
        return ::DrawTextW(m_hDC, text, text.GetLength(), rect, format);
    }
    CSize TabbedTextOut(int x, int y, const WCHAR* text, int length, int tabCount, const int* tabStops, int origin);
    CSize GetTextExtent(const WCHAR* text, int length) const;
    CSize GetTabbedTextExtent(const WCHAR* text, int length, int tabCount, const int* tabStops) const;

private:
    bool m_owned = false;  // made by CreateCompatibleDC: deleted with the object
};

// The context of a WM_PAINT (BeginPaint .. EndPaint).
class CPaintDC : public CDC {
public:
    explicit CPaintDC(HWND window);
    ~CPaintDC() override;
    PAINTSTRUCT m_ps = {};

private:
    HWND m_hWnd;
};

// The client-area context of a window (GetDC .. ReleaseDC).
class CClientDC : public CDC {
public:
    explicit CClientDC(HWND window);
    ~CClientDC() override;

private:
    HWND m_hWnd;
};

#include "editctrl/window/CodeEditWnd.h"
#include "framework/windows/COleDataSource.h"

#include <shellapi.h>

#include <algorithm>
#include <vector>

namespace {
const int VERT_BAR_ID = 2;
const int HORZ_BAR_ID = 3;
}  // namespace

CCodeEditWnd::CCodeEditWnd(CCodeEditCtrl& control) : m_control(control) {}

CCodeEditWnd::~CCodeEditWnd()
{
    m_control.AttachHost(nullptr);
    m_control.AttachMeasurer(nullptr);
    if (m_dropTarget)
        m_dropTarget->Release();
    ReleaseMeasureFont();
    ReleaseBackBuffer();
    if (m_linkFont)
        ::DeleteObject(m_linkFont);
    if (m_measureDC)
        ::DeleteDC(m_measureDC);
}

UINT CCodeEditWnd::EditChangeMessage()
{
    static const UINT message = ::RegisterWindowMessageW(L"MYMFC_ON_EDITCHANGE");
    return message;
}

CString CCodeEditWnd::RegisterEditClass(const WCHAR* baseName)
{
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    HCURSOR arrow = ::LoadCursorW(nullptr, (LPCWSTR)IDC_ARROW);
    const UINT style = CS_DBLCLKS;
    const UINT_PTR brush = COLOR_BTNFACE + 1;
    CString name;
    name.Format(L"%s:%x:%x:%x:%x", baseName, (unsigned)(UINT_PTR)instance, style, (unsigned)(UINT_PTR)arrow,
                (unsigned)brush);
    WNDCLASSW existing = {};
    if (!::GetClassInfoW(instance, name, &existing)) {
        WNDCLASSW wc = {};
        wc.style = style;
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = instance;
        wc.hCursor = arrow;
        wc.hbrBackground = (HBRUSH)brush;
        wc.lpszClassName = name;
        ::RegisterClassW(&wc);
    }
    return name;
}

BOOL CCodeEditWnd::CreateEditWindow(DWORD style, const RECT& rect, CWnd* parent, UINT id, void* param)
{
    CString className = RegisterEditClass();
    return CreateEx(0, className, L"", style, rect, parent, id, param);
}

void CCodeEditWnd::OnCreateWindow()
{
    const RECT none = {0, 0, 0, 0};
    m_vertBar.Create(WS_CHILD | WS_VISIBLE | SBS_VERT, none, this, VERT_BAR_ID);
    m_horzBar.Create(WS_CHILD | WS_VISIBLE | SBS_HORZ, none, this, HORZ_BAR_ID);
    m_control.AttachHost(this);
    m_control.AttachMeasurer(this);
    m_dropTarget = new CCodeEditDropTarget(m_control, m_hWnd);
    m_dropRegistered = ::RegisterDragDrop(m_hWnd, m_dropTarget) == S_OK;
    DWORD style = GetStyle();
    if (style & WS_BORDER) {
        ModifyStyle(WS_BORDER, WS_CLIPCHILDREN);
        m_control.ownBorder = 1;
        // The client area is counted again, one pixel in on every side.
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
    }
    m_tips.Create((UINT)::GetDlgCtrlID(m_hWnd));
    m_control.InitializeControl();
    RECT client = {};
    GetClientRect(&client);
    PlaceScrollBars(client.right, client.bottom);
    m_control.MoveCaretToOffset(0, TRUE, TRUE);
}

HFONT CCodeEditWnd::TextFont() const
{
    return m_control.font ? m_control.font : (HFONT)::GetStockObject(DEFAULT_GUI_FONT);
}

HDC CCodeEditWnd::MeasureDC(HFONT font)
{
    if (!m_measureDC)
        m_measureDC = ::CreateCompatibleDC(nullptr);
    // The font stays selected between measurements: selecting one costs a
    // round of the display driver's font set-up, and the painter measures
    // every run it draws.
    if (font != m_measureFont) {
        HGDIOBJ old = ::SelectObject(m_measureDC, font);
        if (!m_measureFont)
            m_measureDCFont = old;
        m_measureFont = font;
    }
    return m_measureDC;
}

void CCodeEditWnd::ReleaseMeasureFont()
{
    // A font about to be replaced or deleted must not stay selected.
    if (m_measureDC && m_measureFont)
        ::SelectObject(m_measureDC, m_measureDCFont);
    m_measureFont = nullptr;
}

EditFontMetrics CCodeEditWnd::GetFontMetrics()
{
    HDC dc = MeasureDC(TextFont());
    TEXTMETRICW tm = {};
    ::GetTextMetricsW(dc, &tm);
    return EditFontMetrics{tm.tmHeight, tm.tmMaxCharWidth, tm.tmAveCharWidth};
}

SIZE CCodeEditWnd::MeasureRun(const WCHAR* chars, int count, int tabWidth, bool link)
{
    HDC dc = MeasureDC(link && m_linkFont ? m_linkFont : TextFont());
    SIZE size = {0, 0};
    if (tabWidth > 0) {
        // Pieces of at most 1024 characters; a cut piece ends after its last
        // tab, so the next piece starts on a tab stop and its tabs stay aligned.
        int x = 0, height = 0;
        for (int done = 0; done < count;) {
            int n = std::min(1024, count - done);
            if (done + n < count) {
                for (int k = n - 1; k > 0; --k)
                    if (chars[done + k] == L'\t') {
                        n = k + 1;
                        break;
                    }
            }
            DWORD extent = ::GetTabbedTextExtentW(dc, chars + done, n, 1, &tabWidth);
            x += LOWORD(extent);
            height = std::max(height, (int)HIWORD(extent));
            done += n;
        }
        size = SIZE{x, height};
    } else if (count > 0) {
        ::GetTextExtentPoint32W(dc, chars, count, &size);
    } else {
        TEXTMETRICW tm = {};
        ::GetTextMetricsW(dc, &tm);
        size = SIZE{0, tm.tmHeight};
    }
    return size;
}

void CCodeEditWnd::ApplyFont(HFONT font)
{
    ReleaseMeasureFont();
    m_control.font = font;
    if (m_linkFont)
        ::DeleteObject(m_linkFont);
    LOGFONTW lf = {};
    ::GetObjectW(TextFont(), sizeof lf, &lf);
    lf.lfUnderline = TRUE;
    m_linkFont = ::CreateFontIndirectW(&lf);
    m_control.UpdateFontMetrics();
}

SIZE CCodeEditWnd::GetClientSize()
{
    RECT r = {};
    ::GetClientRect(m_hWnd, &r);
    return SIZE{r.right, r.bottom};
}

int CCodeEditWnd::GetScrollBarThickness(bool vertical)
{
    HWND bar = vertical ? m_vertBar.m_hWnd : m_horzBar.m_hWnd;
    if (!bar || !::IsWindowVisible(bar))
        return 0;
    return ::GetSystemMetrics(vertical ? SM_CXVSCROLL : SM_CYHSCROLL);
}

void CCodeEditWnd::PlaceScrollBars(int width, int height)
{
    int w = ::GetSystemMetrics(SM_CXVSCROLL), h = ::GetSystemMetrics(SM_CYHSCROLL);
    bool horz = m_control.horzScrollAllowed != 0;
    if (m_vertBar.m_hWnd)
        ::MoveWindow(m_vertBar.m_hWnd, width - w, 0, w, height - (horz ? h : 0), TRUE);
    if (m_horzBar.m_hWnd) {
        ::ShowWindow(m_horzBar.m_hWnd, horz ? SW_SHOW : SW_HIDE);
        ::MoveWindow(m_horzBar.m_hWnd, 0, height - h, width - w, h, TRUE);
    }
}

void CCodeEditWnd::InvalidateRect(const RECT* rect, bool erase) { ::InvalidateRect(m_hWnd, rect, erase); }

// The text area only: the scroll bars repaint on their own turn, so a key
// does not wait for them.
void CCodeEditWnd::UpdateNow() { ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_UPDATENOW | RDW_NOCHILDREN); }

void CCodeEditWnd::SetScrollBar(int bar, int minPos, int maxPos, int page, int pos)
{
    CScrollBar& window = bar == SB_VERT ? m_vertBar : m_horzBar;
    if (!window.m_hWnd)
        return;
    ScrollBarState wanted = {minPos, maxPos, std::max(page, 0), pos};
    ScrollBarState& shown = bar == SB_VERT ? m_vertState : m_horzState;
    // The core sets the bars after every change; most leave them as they are,
    // and redrawing a bar costs more than a whole paint of the text.
    if (shown == wanted)
        return;
    shown = wanted;
    SCROLLINFO info = {sizeof info, SIF_RANGE | SIF_PAGE | SIF_POS, minPos, maxPos, (UINT)wanted.page, pos, 0};
    window.SetScrollInfo(info, FALSE);
    ::InvalidateRect(window.m_hWnd, nullptr, FALSE);
}

void CCodeEditWnd::CreateSystemCaret(int width, int height)
{
    if (!HasFocus())
        return;
    ::CreateCaret(m_hWnd, nullptr, width, height);
    m_caretCreated = true;
}

void CCodeEditWnd::DestroySystemCaret()
{
    if (m_caretCreated)
        ::DestroyCaret();
    m_caretCreated = false;
}

void CCodeEditWnd::ShowSystemCaret(bool show)
{
    if (!m_caretCreated)
        return;
    if (show)
        ::ShowCaret(m_hWnd);
    else
        ::HideCaret(m_hWnd);
}

void CCodeEditWnd::SetSystemCaretPos(int x, int y)
{
    if (m_caretCreated)
        ::SetCaretPos(x, y);
}

bool CCodeEditWnd::HasFocus() { return ::GetFocus() == m_hWnd && m_hWnd; }

void CCodeEditWnd::NotifyParentOfChange()
{
    HWND parent = ::GetParent(m_hWnd);
    if (parent)
        ::SendMessageW(parent, EditChangeMessage(), 0, 0);
}

bool CCodeEditWnd::IsKeyDown(int virtualKey) { return (::GetKeyState(virtualKey) & 0x8000) != 0; }

bool CCodeEditWnd::PutClipboardBlocks(const std::vector<EditClipboardBlock>& blocks)
{
    if (!::OpenClipboard(m_hWnd))
        return false;
    if (!::EmptyClipboard()) {
        ::CloseClipboard();
        return false;
    }
    bool ok = true;
    for (const EditClipboardBlock& block : blocks) {
        // The clipboard owns the block once it is placed; the system frees it.
        HGLOBAL global = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, std::max<size_t>(block.bytes.size(), 1));
        void* data = global ? ::GlobalLock(global) : nullptr;
        if (!data) {
            if (global)
                ::GlobalFree(global);
            ok = false;
            break;
        }
        memcpy(data, block.bytes.data(), block.bytes.size());
        ::GlobalUnlock(global);
        if (!::SetClipboardData(block.format, global)) {
            WipeBytes(::GlobalLock(global), block.bytes.size());
            ::GlobalUnlock(global);
            ::GlobalFree(global);
            ok = false;
            break;
        }
    }
    if (!ok)
        ::EmptyClipboard();  // all or none
    ::CloseClipboard();
    return ok;
}

bool CCodeEditWnd::GetClipboardBlock(UINT format, WipedBytes& bytes)
{
    bytes.clear();
    if (!::IsClipboardFormatAvailable(format) || !::OpenClipboard(m_hWnd))
        return false;
    bool ok = false;
    if (HANDLE block = ::GetClipboardData(format)) {
        if (const uint8_t* data = (const uint8_t*)::GlobalLock(block)) {
            bytes.assign(data, data + ::GlobalSize(block));
            ::GlobalUnlock(block);
            ok = true;
        }
    }
    ::CloseClipboard();
    return ok;
}

void CCodeEditWnd::SetMouseCapture(bool capture)
{
    if (capture)
        ::SetCapture(m_hWnd);
    else if (::GetCapture() == m_hWnd)
        ::ReleaseCapture();
}

POINT CCodeEditWnd::ClientPoint(LPARAM lParam) { return POINT{(short)LOWORD(lParam), (short)HIWORD(lParam)}; }

void CCodeEditWnd::DragSelectionOut()
{
    CString selected = m_control.GetSelectedText();
    size_t bytes = sizeof(WCHAR) * ((size_t)selected.GetLength() + 1);
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, bytes);
    void* data = block ? ::GlobalLock(block) : nullptr;
    if (!data) {
        if (block)
            ::GlobalFree(block);
        selected.SecureEmpty();
        return;
    }
    memcpy(data, selected.GetString(), bytes);
    ::GlobalUnlock(block);
    selected.SecureEmpty();
    COleDataSource* source = new COleDataSource;
    source->CacheGlobalData(CF_UNICODETEXT, block);
    m_control.dragSource = 1;
    DROPEFFECT effect = source->DoDragDrop(DROPEFFECT_COPY | DROPEFFECT_MOVE, nullptr, nullptr, this);
    source->Release();
    POINT p = {};
    ::GetCursorPos(&p);
    ::ScreenToClient(m_hWnd, &p);
    m_control.FinishSelectionDrag(effect, p);
}

BOOL CCodeEditWnd::PreTranslateMessage(MSG* msg)
{
    if (m_control.swallowAltUp && msg->message == WM_SYSKEYUP && msg->wParam == VK_MENU) {
        m_control.swallowAltUp = 0;
        return TRUE;
    }
    RelayToTip(msg);
    return CWnd::PreTranslateMessage(msg);
}

void CCodeEditWnd::OpenWithShell(const CString& target)
{
    ::ShellExecuteW(m_hWnd, L"open", target, nullptr, nullptr, SW_SHOWNORMAL);
}

void CCodeEditWnd::ShowWaitCursor(bool show)
{
    ::SetCursor(::LoadCursorW(nullptr, (LPCWSTR)(show ? IDC_WAIT : IDC_ARROW)));
}

void CCodeEditWnd::ExecuteDisplayList(HDC dc, const CEditDisplayList& list)
{
    ExecuteDisplayList(dc, list, TextFont(), m_linkFont);
}

void CCodeEditWnd::ExecuteDisplayList(HDC dc, const CEditDisplayList& list, HFONT textFont, HFONT linkFont)
{
    int oldMode = ::SetBkMode(dc, TRANSPARENT);
    HGDIOBJ oldFont = ::SelectObject(dc, textFont);
    COLORREF oldText = ::GetTextColor(dc);
    // Selecting a font costs a round of the display driver's font set-up
    // (on X11 it rereads the resource defaults), so the font and the text
    // colour change only when a run needs another. RestoreDC brings back
    // what was selected when the clip began.
    HFONT font = textFont;
    COLORREF textColor = oldText;
    auto useFont = [&](HFONT wanted) {
        if (wanted != font)
            ::SelectObject(dc, wanted);
        font = wanted;
    };
    auto useTextColor = [&](COLORREF wanted) {
        if (wanted != textColor)
            ::SetTextColor(dc, wanted);
        textColor = wanted;
    };
    int saved = 0;
    HFONT fontAtSave = font;
    COLORREF colorAtSave = textColor;
    for (const EditDrawOp& op : list.Ops()) {
        switch (op.kind) {
        case EditDrawOp::FILL: {
            COLORREF old = ::SetBkColor(dc, op.color);
            ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &op.rect, nullptr, 0, nullptr);
            ::SetBkColor(dc, old);
            break;
        }
        case EditDrawOp::TEXT: {
            if (op.back != (COLORREF)-1) {
                COLORREF old = ::SetBkColor(dc, op.back);
                ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &op.rect, nullptr, 0, nullptr);
                ::SetBkColor(dc, old);
            }
            useFont(op.link && linkFont ? linkFont : textFont);
            useTextColor(op.color);
            if (op.tabWidth > 0) {
                int stop = op.tabWidth;
                ::TabbedTextOutW(dc, op.rect.left, op.textTop, op.text, op.text.GetLength(), 1, &stop, op.tabOrigin);
            } else {
                // What DrawText does for one unclipped line at the top left,
                // without its line layout and measuring.
                ::ExtTextOutW(dc, op.rect.left, op.textTop, 0, nullptr, op.text, op.text.GetLength(), nullptr);
            }
            break;
        }
        case EditDrawOp::LINE_NUMBER: {
            useFont(textFont);
            useTextColor(op.color);
            RECT r = op.rect;
            ::DrawTextW(dc, op.text, op.text.GetLength(), &r, DT_RIGHT | DT_SINGLELINE | DT_NOCLIP | DT_NOPREFIX);
            break;
        }
        case EditDrawOp::MARKER: {
            HBRUSH brush = ::CreateSolidBrush(op.color);
            HGDIOBJ oldBrush = ::SelectObject(dc, brush);
            ::RoundRect(dc, op.rect.left, op.rect.top, op.rect.right, op.rect.bottom, 5, 5);
            ::SelectObject(dc, oldBrush);
            ::DeleteObject(brush);
            break;
        }
        case EditDrawOp::LINE: {
            HPEN pen = ::CreatePen(PS_SOLID, 1, op.color);
            HGDIOBJ oldPen = ::SelectObject(dc, pen);
            ::MoveToEx(dc, op.rect.left, op.rect.top, nullptr);
            ::LineTo(dc, op.rect.right, op.rect.bottom);
            ::SelectObject(dc, oldPen);
            ::DeleteObject(pen);
            break;
        }
        case EditDrawOp::ELLIPSE: {
            HPEN pen = ::CreatePen(PS_SOLID, 1, op.color);
            HBRUSH brush = ::CreateSolidBrush(op.back);
            HGDIOBJ oldPen = ::SelectObject(dc, pen);
            HGDIOBJ oldBrush = ::SelectObject(dc, brush);
            ::Ellipse(dc, op.rect.left, op.rect.top, op.rect.right, op.rect.bottom);
            ::SelectObject(dc, oldBrush);
            ::SelectObject(dc, oldPen);
            ::DeleteObject(brush);
            ::DeleteObject(pen);
            break;
        }
        case EditDrawOp::BOX:
        case EditDrawOp::LABEL: {
            HPEN pen = ::CreatePen(PS_SOLID, 1, op.color);
            HBRUSH brush = op.back == (COLORREF)-1 ? (HBRUSH)::GetStockObject(NULL_BRUSH) : ::CreateSolidBrush(op.back);
            HGDIOBJ oldPen = ::SelectObject(dc, pen);
            HGDIOBJ oldBrush = ::SelectObject(dc, brush);
            ::Rectangle(dc, op.rect.left, op.rect.top, op.rect.right, op.rect.bottom);
            ::SelectObject(dc, oldBrush);
            ::SelectObject(dc, oldPen);
            if (op.back != (COLORREF)-1)
                ::DeleteObject(brush);
            ::DeleteObject(pen);
            if (op.kind == EditDrawOp::LABEL) {
                useFont(textFont);
                useTextColor(op.color);
                RECT inner = {op.rect.left + 1, op.rect.top, op.rect.right - 1, op.rect.bottom};
                ::DrawTextW(dc, op.text, op.text.GetLength(), &inner, DT_SINGLELINE | DT_NOCLIP | DT_NOPREFIX);
            }
            break;
        }
        case EditDrawOp::CLIP:
            saved = ::SaveDC(dc);
            fontAtSave = font;
            colorAtSave = textColor;
            ::IntersectClipRect(dc, op.rect.left, op.rect.top, op.rect.right, op.rect.bottom);
            break;
        case EditDrawOp::UNCLIP:
            if (saved) {
                ::RestoreDC(dc, saved);
                font = fontAtSave;
                textColor = colorAtSave;
            }
            saved = 0;
            break;
        }
    }
    ::SetTextColor(dc, oldText);
    ::SelectObject(dc, oldFont);
    ::SetBkMode(dc, oldMode);
}

void CCodeEditWnd::DrawBorder(HDC dc, const RECT& rect)
{
    // Top and left dark, bottom and right light: a sunken one-pixel frame.
    HPEN dark = ::CreatePen(PS_SOLID, 1, ::GetSysColor(COLOR_3DDKSHADOW));
    HPEN light = ::CreatePen(PS_SOLID, 1, ::GetSysColor(COLOR_BTNHIGHLIGHT));
    HGDIOBJ old = ::SelectObject(dc, dark);
    ::MoveToEx(dc, rect.left, rect.bottom - 1, nullptr);
    ::LineTo(dc, rect.left, rect.top);
    ::LineTo(dc, rect.right - 1, rect.top);
    ::SelectObject(dc, light);
    ::LineTo(dc, rect.right - 1, rect.bottom - 1);
    ::LineTo(dc, rect.left, rect.bottom - 1);
    ::SelectObject(dc, old);
    ::DeleteObject(dark);
    ::DeleteObject(light);
}

bool CCodeEditWnd::HandleFrameMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    switch (message) {
    case WM_STYLECHANGING: {
        if (wParam != (WPARAM)GWL_STYLE)
            return false;
        *result = CWnd::WindowProc(message, wParam, lParam);
        auto* change = reinterpret_cast<STYLESTRUCT*>(lParam);
        m_control.ownBorder = (change->styleNew & WS_BORDER) != 0;
        change->styleNew &= ~(DWORD)WS_BORDER;
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
        return true;
    }
    case WM_NCCALCSIZE: {
        *result = CWnd::WindowProc(message, wParam, lParam);
        if (m_control.ownBorder) {
            RECT* client = wParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0]
                                  : reinterpret_cast<RECT*>(lParam);
            ::InflateRect(client, -1, -1);
        }
        return true;
    }
    case WM_NCPAINT: {
        *result = CWnd::WindowProc(message, wParam, lParam);
        if (m_control.ownBorder) {
            RECT window = {};
            ::GetWindowRect(m_hWnd, &window);
            ::OffsetRect(&window, -window.left, -window.top);
            if (HDC dc = ::GetWindowDC(m_hWnd)) {
                DrawBorder(dc, window);
                ::ReleaseDC(m_hWnd, dc);
            }
        }
        return true;
    }
    default:
        return false;
    }
}

bool CCodeEditWnd::HandleOutlineMouse(UINT message, LPARAM lParam)
{
    if (message != WM_LBUTTONDOWN && message != WM_LBUTTONDBLCLK)
        return false;
    POINT p = {(short)LOWORD(lParam), (short)HIWORD(lParam)};
    if (m_control.ClickOutlineBar(p))
        return true;
    return message == WM_LBUTTONDBLCLK && m_control.SelectCollapsedLabelAt(p);
}

void CCodeEditWnd::PaintWindow()
{
    PAINTSTRUCT ps = {};
    HDC screen = ::BeginPaint(m_hWnd, &ps);
    RECT client = {};
    ::GetClientRect(m_hWnd, &client);
    CEditDisplayList list;
    m_control.PaintControl(list, &ps.rcPaint);
    if (HDC memory = BackBuffer(screen, SIZE{client.right, client.bottom})) {
        ExecuteDisplayList(memory, list);
        ::BitBlt(screen, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
                 ps.rcPaint.bottom - ps.rcPaint.top, memory, ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
    } else {
        ExecuteDisplayList(screen, list);
    }
    ::EndPaint(m_hWnd, &ps);
}

HDC CCodeEditWnd::BackBuffer(HDC screen, SIZE size)
{
    // Kept between paints: a typed key repaints one row, and a bitmap of the
    // whole client per paint would cost more than drawing the row.
    if (m_backDC && (m_backSize.cx != size.cx || m_backSize.cy != size.cy))
        ReleaseBackBuffer();
    if (m_backDC || size.cx <= 0 || size.cy <= 0)
        return m_backDC;
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = memory ? ::CreateCompatibleBitmap(screen, size.cx, size.cy) : nullptr;
    if (!bitmap) {
        if (memory)
            ::DeleteDC(memory);
        return nullptr;
    }
    m_backBitmapBefore = ::SelectObject(memory, bitmap);
    m_backDC = memory;
    m_backBitmap = bitmap;
    m_backSize = size;
    return m_backDC;
}

void CCodeEditWnd::ReleaseBackBuffer()
{
    if (!m_backDC)
        return;
    ::SelectObject(m_backDC, m_backBitmapBefore);
    ::DeleteObject(m_backBitmap);
    ::DeleteDC(m_backDC);
    m_backDC = nullptr;
    m_backBitmap = nullptr;
    m_backSize = SIZE{};
}

LRESULT CCodeEditWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (HandleOutlineMouse(message, lParam))
        return 0;
    LRESULT handled = 0;
    if (HandleFrameMessage(message, wParam, lParam, &handled) || m_tips.HandleMessage(message, wParam, lParam, &handled))
        return handled;
    switch (message) {
    case WM_CREATE: {
        LRESULT result = CWnd::WindowProc(message, wParam, lParam);
        if (result != -1)
            OnCreateWindow();
        return result;
    }
    case WM_DESTROY:
        m_tips.Destroy();
        if (m_dropRegistered)
            ::RevokeDragDrop(m_hWnd);
        m_dropRegistered = false;
        ReleaseBackBuffer();
        break;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        PaintWindow();
        return 0;
    case WM_PRINTCLIENT:
        if (lParam & PRF_CLIENT) {
            CEditDisplayList list;
            m_control.PaintControl(list, nullptr);
            ExecuteDisplayList((HDC)wParam, list);
        }
        return 0;
    case WM_SETFONT:
        ApplyFont((HFONT)wParam);
        if (m_control.UpdateLineNumberWidth()) {
            m_control.RecalcScrolling();
            ::InvalidateRect(m_hWnd, nullptr, TRUE);
        } else if (LOWORD(lParam)) {
            ::InvalidateRect(m_hWnd, nullptr, TRUE);
        }
        return 0;
    case WM_GETFONT:
        return (LRESULT)m_control.font;
    case WM_SYSCOLORCHANGE:
        m_control.SetDefaultColors();
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
        return 0;
    case WM_SIZE:
        PlaceScrollBars(LOWORD(lParam), HIWORD(lParam));
        m_control.RecalcScrolling();
        return 0;
    case WM_KEYDOWN:
        m_control.HandleKeyDown((UINT)wParam);
        return 0;
    case WM_CHAR:
        m_control.HandleChar((WCHAR)wParam);
        return 0;
    case WM_SETTEXT: {
        const WCHAR* text = (const WCHAR*)lParam;
        m_control.SetWindowTextFrom(text ? text : L"", text ? StringLength(text) : 0);
        return TRUE;
    }
    case WM_GETTEXT:
        return m_control.GetWindowTextInto((WCHAR*)lParam, (int)wParam);
    case WM_GETTEXTLENGTH:
        return m_control.GetLength();
    case WM_GETDLGCODE:
        if (m_control.dialogCode != -1)
            return m_control.dialogCode;
        break;
    case WM_LBUTTONDOWN:
        ::SetFocus(m_hWnd);
        if (m_control.HandleLButtonDown(ClientPoint(lParam)))
            DragSelectionOut();
        return 0;
    case WM_MOUSEMOVE:
        if (wParam & MK_LBUTTON)
            m_control.HandleMouseMove(ClientPoint(lParam));
        break;
    case WM_TIMER:
        if (wParam == CCodeEditCtrl::AUTO_SCROLL_TIMER) {
            // The drag goes on while the mouse stands outside the text.
            POINT p = {};
            ::GetCursorPos(&p);
            ::ScreenToClient(m_hWnd, &p);
            ::PostMessageW(m_hWnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(p.x, p.y));
            return 0;
        }
        break;
    case WM_LBUTTONUP:
        m_control.HandleLButtonUp(ClientPoint(lParam));
        return 0;
    case WM_LBUTTONDBLCLK:
        m_control.HandleLButtonDblClk(ClientPoint(lParam));
        return 0;
    case WM_RBUTTONDOWN:
        ::SetFocus(m_hWnd);
        m_control.HandleRButtonDown(ClientPoint(lParam));
        break;
    case WM_MOUSEWHEEL:
        return m_control.HandleMouseWheel((short)HIWORD(wParam));
    case WM_SETCURSOR:
        if ((HWND)wParam == m_hWnd && LOWORD(lParam) == HTCLIENT) {
            POINT p = {};
            ::GetCursorPos(&p);
            ::ScreenToClient(m_hWnd, &p);
            EditCursor cursor = m_control.CursorAtPoint(p, IsKeyDown(VK_CONTROL));
            if (cursor != EditCursor::ARROW) {
                ::SetCursor(::LoadCursorW(nullptr, (LPCWSTR)(cursor == EditCursor::HAND ? IDC_HAND : IDC_IBEAM)));
                return TRUE;
            }
        }
        break;
    case WM_SETFOCUS:
        m_control.HandleSetFocus();
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
        return 0;
    case WM_KILLFOCUS:
        m_control.HandleKillFocus();
        DestroySystemCaret();
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
        return 0;
    case WM_VSCROLL:
    case WM_HSCROLL: {
        int bar = message == WM_VSCROLL ? SB_VERT : SB_HORZ;
        int code = LOWORD(wParam);
        int position = HIWORD(wParam);
        if (code == SB_THUMBTRACK || code == SB_THUMBPOSITION)
            position = (bar == SB_VERT ? m_vertBar : m_horzBar).GetTrackPos();
        m_control.HandleScrollBar(bar, code, position);
        return 0;
    }
    default:
        break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

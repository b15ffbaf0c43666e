// CMultipleSelectorBrowser: painting. One paint draws the grid (cells by
// kind and state, labels, folder pictures and thumbnails), the scrollbar,
// the preview overlay or the search box, and the top and bottom edge lines,
// into an off-screen bitmap copied to the window in one step. It also keeps
// the scroll range, arms the spring-back and marks the thumbnails needed.
#include "app/MultipleSelectorBrowser.h"

#include "app/BrowserPictures.h"
#include "framework/windows/CDC.h"
#include "framework/windows/MemDC2.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

const COLORREF WHITE = RGB(255, 255, 255);
const COLORREF BLACK = RGB(0, 0, 0);
const COLORREF HOT_FILL = RGB(231, 243, 255);
const COLORREF HOT_FRAME = RGB(203, 203, 204);
const COLORREF ENCRYPTED_GRADIENT = RGB(248, 219, 221);
const COLORREF GIF_GRADIENT = RGB(212, 222, 243);
const COLORREF CURRENT_FILL = RGB(152, 198, 243);
const COLORREF CURRENT_FRAME = RGB(84, 154, 225);
const COLORREF CURRENT_INNER_FRAME = RGB(230, 238, 247);
const COLORREF CURRENT_ENCRYPTED_FILL = RGB(237, 154, 154);
const COLORREF HOT_ENCRYPTED_FILL = RGB(245, 198, 191);
const COLORREF ENCRYPTED_LABEL = RGB(221, 55, 89);
const COLORREF TRACK_SCROLLING = RGB(230, 237, 250);
const COLORREF TRACK_FITS = RGB(112, 117, 130);
const COLORREF THUMB_NORMAL = RGB(162, 167, 180);
const COLORREF THUMB_DRAGGED = RGB(42, 130, 216);
const COLORREF THUMB_HOVER = RGB(49, 152, 255);
const COLORREF OVERLAY_FILL = RGB(80, 85, 100);
const COLORREF OVERLAY_LINES = RGB(16, 16, 16);
const COLORREF OVERLAY_CAPTION = RGB(200, 202, 204);
const COLORREF SEARCH_BAR = RGB(80, 85, 100);
const COLORREF SEARCH_FIELD = RGB(212, 217, 230);
const COLORREF ESC_BUTTON = RGB(82, 87, 100);
const COLORREF SEARCH_LABEL = RGB(80, 80, 80);
const COLORREF EDGE_LINES = RGB(64, 64, 64);
const COLORREF NO_SLOT = RGB(0, 0, 0);
const COLORREF PLACEHOLDER = RGB(218, 230, 243);
const COLORREF PLACEHOLDER_ENCRYPTED = RGB(243, 224, 218);
const COLORREF GIF_BADGE = RGB(83, 151, 239);

const UINT LABEL_FORMAT = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS;
const UINT ESC_FORMAT = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
const UINT SEARCH_FORMAT = DT_VCENTER | DT_SINGLELINE;
const UINT MEASURE_FORMAT = DT_CALCRECT | DT_VCENTER | DT_SINGLELINE;
const UINT CAPTION_FORMAT = DT_SINGLELINE | DT_BOTTOM;

void Fill(HDC dc, const RECT& rect, COLORREF colour)
{
    ::SetBkColor(dc, colour);
    ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

void Frame(HDC dc, const RECT& rect, COLORREF colour)
{
    HBRUSH brush = ::CreateSolidBrush(colour);
    ::FrameRect(dc, &rect, brush);
    ::DeleteObject(brush);
}

void Text(HDC dc, const CString& text, RECT rect, UINT format, COLORREF colour)
{
    ::SetTextColor(dc, colour);
    ::DrawTextW(dc, text, text.GetLength(), &rect, format);
}

// The menu font of the system with another height.
HFONT MenuFont(int height)
{
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    metrics.lfMenuFont.lfHeight = height;
    return ::CreateFontIndirectW(&metrics.lfMenuFont);
}

bool EndsWithGif(const CString& path)
{
    if (path.GetLength() <= 4)
        return false;
    CString tail = path.Right(4);
    tail.MakeLower();
    return tail == L".gif";
}

// The label: the last path component; a folder's trailing "\" does not count.
CString LabelOf(CString text, bool folder)
{
    if (folder && !text.IsEmpty() && text[text.GetLength() - 1] == L'\\')
        text = text.Left(text.GetLength() - 1);
    return text.Mid(text.ReverseFind(L'\\') + 1);
}

// Darkens a pixel by factor/256.
void Darken(HDC dc, int x, int y, int factor)
{
    COLORREF colour = ::GetPixel(dc, x, y);
    if (colour == CLR_INVALID)
        return;
    ::SetPixel(dc, x, y,
               RGB((GetRValue(colour) * factor) >> 8, (GetGValue(colour) * factor) >> 8,
                   (GetBValue(colour) * factor) >> 8));
}

}  // namespace

void CMultipleSelectorBrowser::OnPaint()
{
    CPaintDC paint(m_hWnd);
    Paint(&paint);
}

void CMultipleSelectorBrowser::OnPrintClient(HDC target)
{
    CDC dc;
    dc.Attach(target);
    Paint(&dc);
    dc.Detach();
}

void CMultipleSelectorBrowser::Paint(CDC* target)
{
    CRect client;
    GetClientRect(&client);
    CMemDC2 memory(target, client);
    HDC dc = memory;
    Fill(dc, client, WHITE);
    const int W = client.Width(), H = client.Height();
    const int columns = std::max(m_nColumns, 1);
    const int w = (W - SCROLLBAR_WIDTH) / columns, h = (int)(w * 0.75);
    m_nCellHeight = h;
    if (w < 2 || h < 2)
        return;
    const int count = GetItemCount();
    const int rows = (count - 1) / columns + 1;
    m_nMinScroll = H - rows * h;
    if (!m_bMouseDown && IsScrollOutOfRange())
        SetTimer(TIMER_SPRING_BACK, 15);
    ClearVisibleFlags();

    HFONT gridFont = MenuFont(-10);
    HFONT searchFont = MenuFont(-12);
    HGDIOBJ oldFont = ::SelectObject(dc, gridFont);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, BLACK);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            int i = r * columns + c;
            CRect cell(c * w, r * h + m_nScroll, c * w + w + 1, r * h + m_nScroll + h + 1);
            if (cell.bottom <= 0 || cell.top >= H || i >= count)
                continue;
            if (i == m_nHot && !m_bScrollHover) {
                Fill(dc, cell, HOT_FILL);
                Frame(dc, cell, HOT_FRAME);
            }
            DrawItem(&memory, cell, i);
        }
    }
    PaintScrollbar(dc, W, H);
    if (m_Preview.IsValid())
        PaintPreview(&memory, W, H);
    else
        PaintSearchBox(dc, W, searchFont);
    Frame(dc, CRect(-1, 0, W + 1, H), EDGE_LINES);
    ::SelectObject(dc, oldFont);
    ::DeleteObject(gridFont);
    ::DeleteObject(searchFont);
}

int CMultipleSelectorBrowser::DrawItem(CDC* memory, const CRect& cell, int index)
{
    const BrowserItem* item = GetItem(index);
    if (!item || m_nThumbWidth <= 10)
        return 0;
    HDC dc = *memory;
    const bool folder = item->folder != 0;
    const bool encrypted = !item->shownPath.IsEmpty();
    const bool encryptedFile = encrypted && !folder;
    bool gif = false;
    if (!folder) {
        if (encrypted) {
            gif = EndsWithGif(item->shownPath);
            FillGradient(dc, &cell, WHITE, gif ? GIF_GRADIENT : ENCRYPTED_GRADIENT, FALSE);
        } else if (EndsWithGif(item->path)) {
            gif = true;
            FillGradient(dc, &cell, WHITE, GIF_GRADIENT, FALSE);
        }
    } else {
        Fill(dc, cell, WHITE);
    }
    if (index == m_nCurrent) {
        if (encryptedFile) {
            Fill(dc, cell, CURRENT_ENCRYPTED_FILL);
        } else {
            if (!folder) {
                Fill(dc, cell, CURRENT_FILL);
                Frame(dc, cell, CURRENT_FRAME);
            }
            CRect inner = cell;
            inner.DeflateRect(1, 1);
            Frame(dc, inner, CURRENT_INNER_FRAME);
        }
    } else if (index == m_nHot && encryptedFile) {
        Fill(dc, cell, HOT_ENCRYPTED_FILL);
    }

    CString text = LabelOf(encrypted ? item->shownPath : item->path, folder);
    CRect label(cell.left + 4, cell.bottom - 13, cell.right - 4, cell.bottom);
    if (text != L"..")
        Text(dc, encrypted ? text + L"*" : text, label, LABEL_FORMAT, encrypted ? ENCRYPTED_LABEL : BLACK);
    ::SetTextColor(dc, BLACK);

    if (folder) {
        CRect area = cell;
        area.bottom -= 10;
        const CPicImageEx& picture = text == L".." ? m_ParentPicture : m_FolderPicture;
        if (picture.IsValid()) {
            DrawPicture(dc, picture, area.left - (picture.GetWidth() - area.Width()) / 2,
                        area.top - (picture.GetHeight() - area.Height()) / 2 + 1);
        }
        return 1;
    }
    DrawThumbnail(memory, cell, item->path, encrypted, gif);
    return 0;
}

void CMultipleSelectorBrowser::DrawThumbnail(CDC* memory, const CRect& cell, const CString& path, BOOL encrypted,
                                             BOOL gif)
{
    HDC dc = *memory;
    CRect placeholder = cell;
    placeholder.DeflateRect(5, 5);
    placeholder.bottom -= 10;
    std::lock_guard<std::mutex> lock(m_cacheLock);
    ThumbnailSlot* slot = FindSlot(path);
    if (!slot) {
        HandOutSlot(path);
        Fill(dc, placeholder, NO_SLOT);
        return;
    }
    slot->visible = 1;
    if (!slot->loaded) {
        Fill(dc, placeholder, encrypted ? PLACEHOLDER_ENCRYPTED : PLACEHOLDER);
        if (m_BusyStrip.IsValid() && m_nBusyFrame >= 0) {
            int frameWidth = m_BusyStrip.GetWidth() / 12;
            DrawStripFrame(dc, m_BusyStrip, placeholder.left + placeholder.Width() / 2 - frameWidth / 2,
                           placeholder.top + placeholder.Height() / 2 - m_BusyStrip.GetHeight() / 2, m_nBusyFrame, 12);
            StepBusyAnimation();
        }
        return;
    }
    const CPicImageEx& picture = slot->picture;
    if (!picture.IsValid())
        return;
    const int iw = picture.GetWidth(), ih = std::max(picture.GetHeight(), 1);
    CRect area = cell;
    area.DeflateRect(4, 4);
    area.bottom -= 10;
    const double aspect = (double)iw / ih;
    int fw = area.Width(), fh = (int)(fw / aspect);
    if (area.Height() < fh) {
        fh = area.Height();
        fw = (int)(fh * aspect);
    }
    CPoint corner;
    if (iw > area.Width() || ih > area.Height()) {
        corner = CPoint(area.left - std::min((fw - area.Width()) / 2, 0), area.top - std::min((fh - area.Height()) / 2, 0) + 1);
        StretchPicture(dc, picture, CRect(corner.x, corner.y, corner.x + fw, corner.y + fh));
    } else {
        corner = CPoint(area.left - std::min((iw - area.Width()) / 2, 0), area.top - std::min((ih - area.Height()) / 2, 0) + 1);
        if (slot->ready == nullptr)
            slot->ready = MakeReadyBitmap(dc, picture);
        if (slot->ready != nullptr)
            DrawReadyBitmap(dc, slot->ready, corner.x, corner.y, iw, picture.GetHeight());
        else
            DrawPicture(dc, picture, corner.x, corner.y);
    }
    if (gif) {
        CRect badge(corner.x + 1, corner.y + 1, corner.x + 29, corner.y + 16);
        Fill(dc, badge, GIF_BADGE);
        Text(dc, L"GIF", badge, ESC_FORMAT, WHITE);
        ::SetTextColor(dc, BLACK);
    }
}

// All unfinished cells share one frame, which moves at most every 50 ms of repaints.
void CMultipleSelectorBrowser::StepBusyAnimation()
{
    DWORD now = ::GetTickCount();
    if (m_dwBusyTick == 0)
        m_dwBusyTick = now;
    if (now - m_dwBusyTick > 50) {
        m_nBusyFrame = (m_nBusyFrame + 1) % 12;
        m_dwBusyTick = now;
    }
}

void CMultipleSelectorBrowser::PaintScrollbar(HDC dc, int W, int H)
{
    m_rcThumb = CRect();
    m_rcTrack = CRect();
    CRect track(W - SCROLLBAR_WIDTH, 0, W, H);
    if (m_nMinScroll >= 0) {
        Fill(dc, track, TRACK_FITS);
    } else {
        Fill(dc, track, TRACK_SCROLLING);
        const int length = std::max(20, H + m_nMinScroll);
        const int position = (int)(((double)-m_nScroll / -m_nMinScroll) * (H - length));
        CRect thumb = track;
        thumb.top = std::max(position + 1, 0);
        thumb.bottom = std::min(H, position + length);
        thumb.DeflateRect(2, 1);
        COLORREF colour = m_bThumbDrag ? THUMB_DRAGGED : m_bScrollHover ? THUMB_HOVER : THUMB_NORMAL;
        // Round ends: discs as wide as the thumb at both ends of a shortened body.
        CRect shape = thumb;
        if (shape.Width() > 8)
            shape.DeflateRect(1, 0);
        int d = shape.Width();
        if (d > 3) {
            if (d % 2) {
                ++d;
                ++shape.right;
            }
            int oldTop = shape.top;
            shape.top += d;
            shape.bottom -= d;
            FillDisc(dc, d, shape.left + d / 2, oldTop + d - 1, colour);
            FillDisc(dc, d, shape.left + d / 2, shape.bottom + 1, colour);
        }
        Fill(dc, shape, colour);
        m_rcThumb = thumb;
        ::InflateRect(&m_rcThumb, 2, 1);
    }
    m_rcTrack = track;
}

void CMultipleSelectorBrowser::PaintPreview(CDC* memory, int W, int H)
{
    HDC dc = *memory;
    const int iw = m_Preview.GetWidth(), ih = m_Preview.GetHeight();
    const int x0 = (W - SCROLLBAR_WIDTH - iw) >> 1, y0 = (H - ih) >> 1;
    CRect picture(x0, y0, x0 + iw, y0 + ih);
    CRect frame = picture;
    ::InflateRect(&frame, 10, 10);
    frame.bottom += 8;
    DrawShadow(dc, frame, 10);
    Fill(dc, frame, OVERLAY_FILL);
    Frame(dc, frame, OVERLAY_LINES);
    DrawPicture(dc, m_Preview, x0, y0);
    Frame(dc, picture, OVERLAY_LINES);
    CRect caption = frame;
    caption.DeflateRect(6, 4);
    Text(dc, m_strPreviewCaption, caption, CAPTION_FORMAT, OVERLAY_CAPTION);
    ::SetTextColor(dc, BLACK);
}

void CMultipleSelectorBrowser::PaintSearchBox(HDC dc, int W, HFONT searchFont)
{
    m_rcEsc = CRect();
    if (m_strSearch.IsEmpty())
        return;
    Fill(dc, CRect(0, 1, W - SCROLLBAR_WIDTH, 18), SEARCH_BAR);
    Fill(dc, CRect(9, 1, 191, 17), SEARCH_FIELD);
    FillDisc(dc, 16, 9, 9, SEARCH_FIELD);
    FillDisc(dc, 16, 191, 9, SEARCH_FIELD);
    CRect esc(3, 2, 197, 16);
    esc.left = esc.right - 30;
    CRect body = esc;
    body.DeflateRect(8, 1);
    Fill(dc, body, ESC_BUTTON);
    FillDisc(dc, 12, body.left, body.top + 6, ESC_BUTTON);
    FillDisc(dc, 12, body.right, body.top + 6, ESC_BUTTON);
    m_rcEsc = esc;
    Text(dc, L"Esc", esc, ESC_FORMAT, WHITE);

    HGDIOBJ oldFont = ::SelectObject(dc, searchFont);
    ::SetBkMode(dc, TRANSPARENT);
    Text(dc, L"Search:  ", CRect(8, 1, 197, 17), SEARCH_FORMAT, SEARCH_LABEL);
    m_strSearch.MakeLower();
    CRect typed(56, 1, 197, 17);
    if (m_bSearchSelected) {
        CRect measured = typed;
        ::DrawTextW(dc, m_strSearch, m_strSearch.GetLength(), &measured, MEASURE_FORMAT);
        measured.top += 1;
        ::InflateRect(&measured, 2, 0);
        Fill(dc, measured, ESC_BUTTON);
        Text(dc, m_strSearch, typed, SEARCH_FORMAT, WHITE);
    } else {
        Text(dc, m_strSearch, typed, SEARCH_FORMAT, BLACK);
    }
    ::SelectObject(dc, oldFont);
}

void CMultipleSelectorBrowser::FillGradient(HDC dc, const RECT* rect, COLORREF colour1, COLORREF colour2,
                                            BOOL horizontal)
{
    if (!rect || ::IsRectEmpty(rect))
        return;
    if (colour1 == colour2) {
        Fill(dc, *rect, colour1);
        return;
    }
    const int wr = std::max(1, (int)(rect->right - rect->left)), hr = std::max(1, (int)(rect->bottom - rect->top));
    CRect area = *rect;
    CRect clip;
    if (::GetClipBox(dc, &clip) != NULLREGION && !clip.IsRectEmpty())
        ::IntersectRect(&area, rect, &clip);
    auto blend = [](int a, int b, float t) { return std::min((int)(a * t + b * (1 - t)), 255); };
    auto colourAt = [&](float t) {
        return RGB(blend(GetRValue(colour1), GetRValue(colour2), t), blend(GetGValue(colour1), GetGValue(colour2), t),
                   blend(GetBValue(colour1), GetBValue(colour2), t));
    };
    if (horizontal) {
        for (int x = area.left; x < area.right; ++x)
            Fill(dc, CRect(x, area.top, x + 1, area.bottom), colourAt(1 - (float)(x - rect->left) / wr));
    } else {
        for (int y = area.top; y < area.bottom; ++y)
            Fill(dc, CRect(area.left, y, area.right, y + 1), colourAt(1 - (float)(y - rect->top) / hr));
    }
}

void CMultipleSelectorBrowser::FillDisc(HDC dc, int n, int cx, int cy, COLORREF colour)
{
    if (n <= 0)
        return;
    // Quarter-pixel units: the outline row by row, then the inner square,
    // marked in a mask and drawn as one fill per run of a row: a scroll bar
    // paints two discs on every frame, and a call per pixel is slow.
    std::vector<uint8_t> mask((size_t)n * n, 0);
    auto mark = [&](int x, int y) { mask[(size_t)y * n + x] = 1; };
    const int c = 2 * n;
    int o = (n % 2) ? c : c - 2;
    int f = 0;
    for (int k = 0;; ++k) {
        const int u = 4 * k + 2;
        while ((c - u) * (c - u) + (c - o) * (c - o) <= c * c)
            o -= 4;
        const int g = (o >> 2) + 1;
        if (o < u) {
            f = k;
            break;
        }
        for (int j = g; j <= n - g - 1; ++j) {
            mark(j, k);
            mark(j, n - k - 1);
            mark(k, j);
            mark(n - k - 1, j);
        }
    }
    for (int i = f; i <= n - f - 1; ++i) {
        for (int j = f; j <= n - f - 1; ++j)
            mark(j, i);
    }
    const int x0 = cx - n / 2, y0 = cy - n / 2;
    const COLORREF background = ::GetBkColor(dc);
    for (int y = 0; y < n; ++y) {
        const uint8_t* row = &mask[(size_t)y * n];
        for (int x = 0; x < n;) {
            if (!row[x]) {
                ++x;
                continue;
            }
            int end = x;
            while (end < n && row[end])
                ++end;
            Fill(dc, CRect(x0 + x, y0 + y, x0 + end, y0 + y + 1), colour);
            x = end;
        }
    }
    ::SetBkColor(dc, background);
}

void CMultipleSelectorBrowser::DrawShadow(HDC dc, const RECT& rect, int n)
{
    if (n <= 0)
        return;
    const double a = 255.0 / n * 0.6;
    for (int x = rect.left + n; x < rect.right; ++x) {
        for (int j = 0; j < n; ++j)
            Darken(dc, x, rect.bottom + j, (int)(j * a) + 102);
    }
    for (int i = 0; i < n; ++i) {
        for (int y = rect.top + n; y < rect.bottom; ++y)
            Darken(dc, rect.right + i, y, (int)(i * a) + 102);
    }
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            int f = (int)(std::sqrt((double)(i * i + j * j)) * a) + 102;
            if (f >= 256)
                f = 255;
            Darken(dc, rect.right + i, rect.bottom + j, f);
            Darken(dc, rect.left + n - i - 1, rect.bottom + j, f);
            Darken(dc, rect.right + i, rect.top + n - j - 1, f);
        }
    }
}

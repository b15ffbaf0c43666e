#include "tests/QvTest.h"
#include "tests/app/shell/ShellTestSupport.h"
#include "tests/framework/windows/DialogDriver.h"

#include "app/ColorListBox.h"
#include "app/LogDlg.h"
#include "app/ProgressDlg.h"
#include "doc/JobProtocol.h"
#include "res/resource.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace {

// A window holding an owner-drawn log list as the dialogs make it.
class LogHost : public CWnd {
public:
    LogHost()
    {
        CreateEx(0, RegisterWndClass(0, nullptr, (HBRUSH)(COLOR_WINDOW + 1)), L"Log host", WS_POPUP, 0, 0, 400, 200,
                 nullptr, nullptr);
        HWND list = ::CreateWindowExW(0, L"LISTBOX", L"",
                                      WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | LBS_OWNERDRAWFIXED |
                                          LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT,
                                      0, 0, 400, 200, m_hWnd, (HMENU)IDC_LOG_LIST, nullptr, nullptr);
        m_list.SubclassWindow(list);
    }
    CColorListBox m_list;
};

// The pixels of a window as the screen shows them, copied with BitBlt from
// the window's device context into a 32-bit bitmap.
class ScreenPicture {
public:
    explicit ScreenPicture(HWND window)
    {
        RECT client = {};
        ::GetClientRect(window, &client);
        m_width = client.right;
        m_height = client.bottom;
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = m_width;
        info.bmiHeader.biHeight = -m_height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HDC screen = ::GetDC(window);
        HDC memory = ::CreateCompatibleDC(screen);
        HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = ::SelectObject(memory, bitmap);
        ::BitBlt(memory, 0, 0, m_width, m_height, screen, 0, 0, SRCCOPY);
        ::GdiFlush();
        const uint32_t* pixels = (const uint32_t*)bits;
        m_pixels.assign(pixels, pixels + m_width * m_height);
        ::SelectObject(memory, old);
        ::DeleteObject(bitmap);
        ::DeleteDC(memory);
        ::ReleaseDC(window, screen);
    }
    int Height() const { return m_height; }
    // The colours inside `area` and how many pixels have each.
    qvtest::ColourCounts CountColours(const RECT& area) const
    {
        qvtest::ColourCounts counts;
        for (int y = std::max(0, (int)area.top); y < std::min(m_height, (int)area.bottom); ++y)
            for (int x = std::max(0, (int)area.left); x < std::min(m_width, (int)area.right); ++x)
                ++counts[qvtest::PixelColour(m_pixels[y * m_width + x])];
        return counts;
    }

private:
    int m_width = 0;
    int m_height = 0;
    std::vector<uint32_t> m_pixels;
};

int TextIndexOf(const CString& encoded) { return qvtest::LogLineColours(encoded).first; }

int BackgroundIndexOf(const CString& encoded) { return qvtest::LogLineColours(encoded).second; }

}  // namespace

TEST(ColorListBox, EachLogKindIsDrawnOnScreenInItsColours)
{
    const COLORREF black = RGB(0, 0, 0), white = RGB(255, 255, 255), red = RGB(255, 0, 0), green = RGB(0, 128, 0),
                   grey = RGB(128, 128, 128), blue = RGB(0, 0, 255);
    struct Case {
        const char* name;
        int kind;
        COLORREF text;
        COLORREF background;
    };
    const Case cases[] = {
        {"plain", LOG_PLAIN, blue, white},
        {"information", LOG_INFO, black, white},
        {"error", LOG_ERROR, red, white},
        {"success", LOG_OK, green, white},
        {"warning", LOG_WARNING, grey, white},
        {"heading", LOG_HEADING, white, blue},
        {"heading of errors", LOG_HEADING_ERROR, white, red},
        {"heading of success", LOG_HEADING_OK, white, green},
        {"heading of warnings", LOG_HEADING_WARNING, white, grey},
        {"unknown kind", 77, blue, white},
    };
    LogHost host;
    CColorListBox& list = host.m_list;
    for (const Case& c : cases) {
        int text = -1, background = -1;
        CColorListBox::KindColors(c.kind, text, background);
        list.AddLine(text, background, L"#### WWW ####");
    }
    ::SetWindowPos(host.m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    ::UpdateWindow(host.m_hWnd);
    ::UpdateWindow(list.m_hWnd);
    ScreenPicture picture(list.m_hWnd);
    for (int i = 0; i < (int)(sizeof(cases) / sizeof(cases[0])); ++i) {
        const Case& c = cases[i];
        RECT item = {};
        ASSERT_NE(LB_ERR, list.SendMessage(LB_GETITEMRECT, i, (LPARAM)&item)) << c.name;
        ASSERT_LE(item.bottom, picture.Height()) << c.name << ": every line fits on the screen";
        qvtest::ColourCounts colours = picture.CountColours(item);
        auto most = std::max_element(colours.begin(), colours.end(),
                                     [](const auto& a, const auto& b) { return a.second < b.second; });
        ASSERT_NE(most, colours.end()) << c.name;
        EXPECT_EQ(c.background, most->first) << c.name << ": background";
        EXPECT_GT(qvtest::CountOf(colours, c.text), 10) << c.name << ": text";
    }
}

TEST(ColorListBox, LinesKeepTheirColoursAndStayOnOneLine)
{
    LogHost host;
    CColorListBox& list = host.m_list;
    struct Case {
        const char* name;
        int text;
        int background;
        const WCHAR* line;
        int storedText;
        int storedBackground;
        const WCHAR* storedLine;
    };
    const Case cases[] = {
        {"plain", 10, 1, L"failed", 10, 1, L"failed"},
        {"line breaks become spaces", 0, 1, L"two\r\nwords", 0, 1, L"two  words"},
        {"text colour past the table is black", 16, 1, L"a", 0, 1, L"a"},
        {"negative text colour is black", -3, 13, L"b", 0, 13, L"b"},
        {"background past the table is held at its end", 1, 40, L"c", 1, 15, L"c"},
        {"negative background is held at the start", 1, -2, L"d", 1, 0, L"d"},
        {"empty text", 3, 1, L"", 3, 1, L""},
    };
    for (const Case& c : cases) {
        list.ResetContent();
        list.AddLine(c.text, c.background, c.line);
        ASSERT_EQ(1, list.GetCount()) << c.name;
        CString stored = list.GetText(0);
        int text = -1, background = -1;
        CString line;
        EXPECT_TRUE(CColorListBox::DecodeLine(stored, text, background, line)) << c.name;
        EXPECT_EQ(c.storedText, text) << c.name;
        EXPECT_EQ(c.storedBackground, background) << c.name;
        EXPECT_EQ(CString(c.storedLine), line) << c.name;
    }
    // A stored line whose colour characters lie outside the table is drawn
    // with colours held in the table.
    int text = -1, background = -1;
    CString line;
    CColorListBox::DecodeLine(CString(L"\x40\x00x", 3), text, background, line);
    EXPECT_EQ(15, text);
    EXPECT_EQ(0, background);
}

TEST(ColorListBox, FiltersCopiesAndDrawsItsColours)
{
    LogHost host;
    CColorListBox& list = host.m_list;
    list.AddLine(13, 1, L"Start");
    list.AddLine(10, 1, L"error one");
    list.AddLine(1, 10, L"heading of errors");
    list.AddLine(3, 1, L"fine");
    list.AddLine(10, 1, L"error two");
    EXPECT_EQ(-1, list.GetCurSel()) << "no selection after a line";
    CStringArray lines;
    list.SaveLines(lines);
    ASSERT_EQ(5, lines.GetSize());

    struct Case {
        const char* name;
        int text;
        int background;
        int count;
    };
    const Case cases[] = {
        {"red text only: errors, not the white-on-red heading", 10, -1, 2},
        {"no filter", -1, -1, 5},
        {"red background", -1, 10, 1},
        {"both filters below 1 keep everything", 0, 0, 5},
    };
    for (const Case& c : cases) {
        list.ResetContent();
        list.FillFiltered(lines, c.text, c.background);
        EXPECT_EQ(c.count, list.GetCount()) << c.name;
    }

    LogHost other;
    other.m_list.CopyFrom(&list);
    EXPECT_EQ(list.GetCount(), other.m_list.GetCount());
    for (int i = 0; i < list.GetCount(); ++i)
        EXPECT_EQ(list.GetText(i), other.m_list.GetText(i));

    // What the lines look like: a red-background heading, green and red text.
    list.ResetContent();
    list.FillFiltered(lines, -1, -1);
    host.ShowWindow(SW_SHOWNOACTIVATE);
    qvtest::ColourCounts colours = qvtest::CountClientColours(list.m_hWnd);
    int itemHeight = (int)list.SendMessage(LB_GETITEMHEIGHT);
    EXPECT_GE(qvtest::CountOf(colours, RGB(255, 0, 0)), 380 * itemHeight / 2) << "the heading's background";
    EXPECT_GT(qvtest::CountOf(colours, RGB(0, 128, 0)), 5) << "green text";
    EXPECT_GT(qvtest::CountOf(colours, RGB(0, 0, 255)), 5) << "blue text";
    EXPECT_GT(list.m_nMaxExtent, 0) << "drawing measures the widest line";
}

TEST(ProgressDlg, ShowsThePercentageOfItsRange)
{
    struct Case {
        const char* name;
        int upper;
        int position;
        const WCHAR* shown;
    };
    const Case cases[] = {
        {"start", 3, 0, L"0%"},     {"a third", 3, 1, L"33%"},   {"two thirds", 3, 2, L"66%"},
        {"done", 3, 3, L"100%"},    {"past the end wraps", 100, 250, L"50%"},
        {"empty job: range 0..1", 0, 1, L"100%"}, {"below the range", 10, -5, L"0%"},
    };
    CWnd owner;
    ASSERT_TRUE(owner.CreateEx(0, CWnd::RegisterWndClass(0), L"Owner", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr));
    auto* dialog = new CProgressDlg(L"Encrypting");
    ASSERT_TRUE(dialog->Create(&owner));
    EXPECT_FALSE(owner.IsWindowEnabled()) << "the job window keeps its owner disabled";
    EXPECT_EQ(L"Encrypting", dialog->GetWindowText());
    ASSERT_EQ(1, dialog->m_list.GetCount());
    EXPECT_EQ(13, TextIndexOf(dialog->m_list.GetText(0))) << "the first line, \"Start\", is blue";
    for (const Case& c : cases) {
        dialog->SetRange(0, c.upper);
        dialog->SetPos(c.position);
        EXPECT_EQ(CString(c.shown), qvtest::Text(*dialog, IDC_PROGRESS_PERCENT)) << c.name;
    }
    dialog->SetRange(0, 0);
    int lower = -1, upper = -1;
    dialog->m_wndProgress.GetRange(lower, upper);
    EXPECT_EQ(1, upper) << "a range of 0 steps is 0..1";

    // A long operation: "Long Operation" and a bar that moves by 5 every 500 ms.
    dialog->SetLongOperation(TRUE);
    EXPECT_EQ(L"Long Operation", qvtest::Text(*dialog, IDC_PROGRESS_PERCENT));
    std::vector<int> positions;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 5000 && dialog->m_wndProgress.GetPos() < 10;) {
        qvtest::PumpFor(20);
        if (positions.empty() || positions.back() != dialog->m_wndProgress.GetPos())
            positions.push_back(dialog->m_wndProgress.GetPos());
    }
    EXPECT_EQ(std::vector<int>({0, 5, 10}), positions);
    dialog->SetLongOperation(FALSE);
    EXPECT_EQ(0, dialog->m_wndProgress.GetPos());
    dialog->SetRange(0, 4);
    dialog->SetPos(2);
    EXPECT_EQ(L"50%", qvtest::Text(*dialog, IDC_PROGRESS_PERCENT)) << "the next position shows the stored range";

    dialog->SetStatus(L"C:\\file.txt");
    EXPECT_EQ(L"C:\\file.txt", qvtest::Text(*dialog, IDC_PROGRESS_STATUS));
    EXPECT_FALSE(qvtest::Visible(*dialog, IDC_TERMINATE)) << "Terminate only after a second Cancel";
    dialog->Close();
    EXPECT_TRUE(owner.IsWindowEnabled()) << "closing the job window frees its owner";
    owner.DestroyWindow();
}

TEST(LogDlg, ShowsTheCopiedLinesAndCanKeepOnlyTheErrors)
{
    LogHost source;
    source.m_list.AddLine(13, 1, L"Start");
    source.m_list.AddLine(10, 1, L"Can't read input file");
    source.m_list.AddLine(1, 10, L"Errors: 1");
    source.m_list.AddLine(10, 1, L"Terminate button enabled.");
    source.m_list.AddLine(3, 1, L"OK");
    CLogDlg log;
    log.m_strText = L"Encrypt Folder";
    log.m_pSource = &source.m_list;
    std::vector<int> counts;
    qvtest::RunModal(log, [&] {
        counts.push_back(log.m_list.GetCount());
        EXPECT_EQ(L"Encrypt Folder", qvtest::Text(log, IDC_LOG_TEXT));
        EXPECT_EQ(-1, log.m_list.GetCurSel());
        qvtest::Click(log, IDC_LOG_ERRORS_ONLY);
        counts.push_back(log.m_list.GetCount());
        for (int i = 0; i < log.m_list.GetCount(); ++i)
            EXPECT_EQ(10, TextIndexOf(log.m_list.GetText(i)));
        qvtest::Click(log, IDC_LOG_ERRORS_ONLY);
        counts.push_back(log.m_list.GetCount());
        qvtest::Click(log, IDCANCEL);
    });
    EXPECT_EQ(std::vector<int>({5, 2, 5}), counts);
    EXPECT_EQ(1, BackgroundIndexOf(log.m_lines[1]));
}

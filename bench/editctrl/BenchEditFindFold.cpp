// The edit control's find, replace-all, folding and pagination on 10 MB
// texts, beside Wine's rich edit control where it has the operation (finding,
// at 1 MB: at 10 MB it takes minutes to load).
#include "bench/BenchSupport.h"

#include "editctrl/window/CodeEditPrinter.h"
#include "editctrl/window/CodeEditWnd.h"

#include <richedit.h>

#include <vector>

namespace {
// Lines of about 50 characters; every other line holds one "needle".
CString MakeNeedleText(int needles)
{
    CString s;
    for (int i = 0; i < needles; ++i) {
        s += L"    int value = compute(first, second); // plain\n";
        s += L"    total += needle * factor + offset - 1;   // x\n";
    }
    return s;
}

// About `chars` characters with one "needle" in every 10,000: the others become "noodle".
CString MakeSparseNeedleText(int chars)
{
    CString text = MakeNeedleText(chars / 100);
    WCHAR* buffer = text.GetBuffer(text.GetLength());
    for (int i = 0, n = 0; i + 6 <= text.GetLength(); ++i) {
        if (std::equal(buffer + i, buffer + i + 6, L"needle") && n++ % 100 != 0) {
            buffer[i + 1] = L'o';
            buffer[i + 2] = L'o';
        }
    }
    text.ReleaseBuffer(-1);
    return text;
}

// C++ functions of 7 lines each, with a brace block in every one.
CString MakeFoldText(int chars)
{
    CString s;
    while (s.GetLength() < chars)
        s += L"static int function_name(const char* text, int count)\n{\n    if (count > 0) {\n"
             L"        return count + 1;\n    }\n    return 0;\n}\n";
    return s;
}

struct Host {
    Host()
    {
        const WCHAR* cls = CWnd::RegisterWndClass(0);
        parent.CreateEx(0, cls, L"bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 820, 640, nullptr, nullptr);
        RECT r = {0, 0, 800, 600};
        window.CreateEditWindow(WS_CHILD | WS_VISIBLE, r, &parent, 1);
    }
    ~Host() { parent.DestroyWindow(); }
    CWnd parent;
    CCodeEditCtrl control;
    CCodeEditWnd window{control};
};

double Percentile95(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[(size_t)(v.size() * 95 / 100)];
}

double g_richEditFindP95 = 0;

// Replace-all of 100,000 matches in about 10 MB, and the undo steps it took.
void BM_ReplaceAll(benchmark::State& state)
{
    CString text = MakeNeedleText(100000);
    double seconds = 0;
    int count = 0, steps = 0;
    for (auto _ : state) {
        Host host;
        host.control.SetWindowTextFrom(text, text.GetLength());
        double t0 = benchsupport::Now();
        count = host.control.ReplaceEverywhere(L"needle", L"pin", TRUE, TRUE, FALSE);
        seconds = benchsupport::Now() - t0;
        for (steps = 0; host.control.CanUndo() && steps < 10; ++steps)
            host.control.StepUndo(TRUE, FALSE);
    }
    state.counters["chars"] = text.GetLength();
    state.counters["replaced"] = count;
    state.counters["replace_all_ms"] = seconds * 1000;
    state.counters["undo_steps"] = steps;
}

// Find-next through a 10 MB text holding 1,000 matches (10 KB apart), with
// one wrap-around, and a search for a text that is not there.
void BM_FindNext(benchmark::State& state)
{
    const int chars = (int)state.range(0);
    CString text = MakeSparseNeedleText(chars);
    double p95 = 0, locateP95 = 0, missing = 0;
    for (auto _ : state) {
        Host host;
        host.control.SetWindowTextFrom(text, text.GetLength());
        std::vector<double> finds, locates;
        for (int i = 0; i < 200; ++i) {
            int position = 0, length = 0;
            double t0 = benchsupport::Now();
            host.control.LocateText(position, length, L"NEEDLE", TRUE, FALSE, TRUE);
            locates.push_back(benchsupport::Now() - t0);
            t0 = benchsupport::Now();
            host.control.FindAndSelect(L"NEEDLE", TRUE, FALSE, TRUE);
            finds.push_back(benchsupport::Now() - t0);
        }
        p95 = Percentile95(finds);
        locateP95 = Percentile95(locates);
        double t0 = benchsupport::Now();
        host.control.FindAndSelect(L"haystack", TRUE, FALSE, FALSE);
        missing = benchsupport::Now() - t0;
    }
    // Finding and selecting with the repaint, and the search alone (what
    // EM_FINDTEXTEXW does) for the ratio with the rich edit control.
    state.counters["find_next_p95_ms"] = p95 * 1000;
    state.counters["locate_p95_ms"] = locateP95 * 1000;
    state.counters["find_missing_ms"] = missing * 1000;
    if (chars == (1 << 20) && g_richEditFindP95 > 0 && locateP95 > 0)
        state.counters["richedit_find_x"] = g_richEditFindP95 / locateP95;
}

// Wine's rich edit control: the same finds with EM_FINDTEXTEXW from the selection on.
void BM_RichEditFindNext(benchmark::State& state)
{
    const int chars = (int)state.range(0);
    CString text = MakeSparseNeedleText(chars);
    ::LoadLibraryW(L"riched20.dll");
    double p95 = 0;
    for (auto _ : state) {
        Host host;
        HWND edit = ::CreateWindowExW(0, L"RichEdit20W", L"", WS_CHILD | WS_VISIBLE | ES_MULTILINE, 0, 0, 800, 600,
                                      host.parent.m_hWnd, nullptr, ::GetModuleHandleW(nullptr), nullptr);
        ::SendMessageW(edit, EM_EXLIMITTEXT, 0, 0x7FFFFFFF);
        ::SendMessageW(edit, WM_SETTEXT, 0, (LPARAM)text.GetString());
        std::vector<double> finds;
        LONG from = 0;
        for (int i = 0; i < 200; ++i) {
            FINDTEXTEXW find = {};
            find.chrg.cpMin = from;
            find.chrg.cpMax = -1;
            find.lpstrText = L"NEEDLE";
            double t0 = benchsupport::Now();
            LRESULT at = ::SendMessageW(edit, EM_FINDTEXTEXW, FR_DOWN | FR_WHOLEWORD, (LPARAM)&find);
            if (at < 0) {
                find.chrg.cpMin = 0;
                at = ::SendMessageW(edit, EM_FINDTEXTEXW, FR_DOWN | FR_WHOLEWORD, (LPARAM)&find);
            }
            ::SendMessageW(edit, EM_EXSETSEL, 0, (LPARAM)&find.chrgText);
            finds.push_back(benchsupport::Now() - t0);
            from = find.chrgText.cpMax;
        }
        p95 = Percentile95(finds);
        ::DestroyWindow(edit);
    }
    g_richEditFindP95 = p95;
    state.counters["find_next_p95_ms"] = p95 * 1000;
}

// Parsing a 10 MB C++ text into blocks, then folding and unfolding every top-level block.
void BM_FoldAll(benchmark::State& state)
{
    CString text = MakeFoldText(10 << 20);
    double parse = 0, fold = 0, unfold = 0;
    size_t blocks = 0;
    for (auto _ : state) {
        Host host;
        CCodeEditCtrl& c = host.control;
        c.SetWindowTextFrom(text, text.GetLength());
        c.SetFoldingEnabled(TRUE);
        c.AllowOutlineUpdates(TRUE);
        c.SetAutoOutlining(TRUE);
        double t0 = benchsupport::Now();
        c.ReparseOutlineRange(-1, -1);
        parse = benchsupport::Now() - t0;
        blocks = c.outlineRoot.children.size();
        CODE_EDIT_OUTLINE_CHANGES none;
        t0 = benchsupport::Now();
        for (CCodeOutlineNode* node : c.outlineRoot.children)
            node->SetCollapsed(TRUE);
        c.RecountHiddenLines(none);
        c.RedrawAll();
        fold = benchsupport::Now() - t0;
        t0 = benchsupport::Now();
        for (CCodeOutlineNode* node : c.outlineRoot.children)
            node->SetCollapsed(FALSE);
        c.RecountHiddenLines(none);
        c.RedrawAll();
        unfold = benchsupport::Now() - t0;
    }
    state.counters["blocks"] = (double)blocks;
    state.counters["parse_ms"] = parse * 1000;
    state.counters["fold_all_ms"] = fold * 1000;
    state.counters["unfold_all_ms"] = unfold * 1000;
}

// Every page of a 10 MB text laid out and painted into a memory DC standing in for a printer.
void BM_Paginate(benchmark::State& state)
{
    CString text = MakeFoldText(10 << 20);
    double seconds = 0, layoutOnly = 0;
    int pages = 0;
    for (auto _ : state) {
        Host host;
        host.control.SetWindowTextFrom(text, text.GetLength());
        HDC screen = ::GetDC(nullptr);
        HDC dc = ::CreateCompatibleDC(screen);
        HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 800, 1100);
        ::ReleaseDC(nullptr, screen);
        HGDIOBJ old = ::SelectObject(dc, bitmap);
        CPrintInfo info;
        info.m_rectDraw = RECT{0, 0, 800, 1100};
        CCodeEditPrinter printer(host.window);
        double t0 = benchsupport::Now();
        printer.BeginPrintPages(dc, info);
        for (info.m_nCurPage = 1; info.m_bContinuePrinting; ++info.m_nCurPage)
            printer.PrintPage(dc, info);
        printer.EndPrintPages(dc, info);
        seconds = benchsupport::Now() - t0;
        pages = (int)info.GetMaxPage();
        // The same pages laid out into display lists only, without GDI drawing them.
        CPrintInfo layoutInfo;
        layoutInfo.m_rectDraw = info.m_rectDraw;
        printer.BeginPrintPages(dc, layoutInfo);
        t0 = benchsupport::Now();
        for (layoutInfo.m_nCurPage = 1; layoutInfo.m_bContinuePrinting; ++layoutInfo.m_nCurPage) {
            CEditDisplayList list;
            host.control.PrintPage(list, printer, layoutInfo);
        }
        layoutOnly = benchsupport::Now() - t0;
        printer.EndPrintPages(dc, layoutInfo);
        ::SelectObject(dc, old);
        ::DeleteObject(bitmap);
        ::DeleteDC(dc);
    }
    state.counters["pages"] = pages;
    state.counters["paginate_ms"] = seconds * 1000;
    state.counters["layout_only_ms"] = layoutOnly * 1000;
}
}  // namespace

BENCHMARK(BM_ReplaceAll)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RichEditFindNext)->Arg(1 << 20)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindNext)->Arg(1 << 20)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindNext)->Arg(10 << 20)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FoldAll)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Paginate)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();

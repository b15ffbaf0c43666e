// The control's file, find, link, outline, print and save operations with
// the real heap: while a text holding a marker is loaded, searched, replaced,
// folded, printed, saved and destroyed, no block the program frees holds the
// marker (as bytes or as UTF-16).
#include "tests/QvTest.h"

#include "framework/base/CMemFile.h"
#include "framework/base/CPrintInfo.h"
#include "framework/base/WipedMemory.h"
#include "tests/FreedBlockScanner.h"
#include "tests/editctrl/EditTestSupport.h"

#include <cstdio>
#include <functional>

namespace {
std::string MakeMarker() { return MakeFreedBlockMarker("QVFIND"); }

// A C-like text in wiped memory around the marker: a block whose header is
// the marker followed by a parameter list, a link ending in it, and the
// marker as a word of its own.
WipedBytes MakeFile(const std::string& marker)
{
    std::string before = "int x;\nvoid ", middle = "(int a)\n{\n    call(a);\n}\nsee http://host/",
                after = " now\n";
    WipedBytes file;
    for (const std::string* part : std::initializer_list<const std::string*>{&before, &marker, &middle, &marker, &after, &marker})
        file.insert(file.end(), part->begin(), part->end());
    for (int i = 0; i < 200; ++i) {
        const char* filler = "filler line { with a brace }\n";
        file.insert(file.end(), filler, filler + strlen(filler));
    }
    return file;
}

// The marker as a wide string in wiped memory.
std::vector<WCHAR, WipingAllocator<WCHAR>> Wide(const std::string& marker)
{
    std::vector<WCHAR, WipingAllocator<WCHAR>> wide(marker.begin(), marker.end());
    wide.push_back(0);
    return wide;
}
}  // namespace

TEST(CodeEditFreedMemory, NoBlockFreedByFilesFindLinksFoldingPrintingOrSavingHoldsTheText)
{
    struct Case {
        const char* fault;
        std::function<void(CCodeEditCtrl&, const WCHAR* marker)> act;
    } cases[] = {
        {"loading frees a plain buffer", [](CCodeEditCtrl&, const WCHAR*) {}},
        {"a search leaves a copy of the needle or the text",
         [](CCodeEditCtrl& e, const WCHAR* marker) {
             e.FindAndSelect(marker, TRUE, TRUE, FALSE);
             e.FindAndSelect(marker, FALSE, FALSE, TRUE);
             int position = 0, length = 0;
             e.LocateText(position, length, L"not there", TRUE, FALSE, FALSE);
         }},
        {"replacing frees the old or new text unwiped",
         [](CCodeEditCtrl& e, const WCHAR* marker) {
             e.FindAndSelect(marker, TRUE, TRUE, FALSE);
             e.ReplaceFound(marker, L"other", TRUE, TRUE, FALSE);
             e.ReplaceEverywhere(L"filler", marker, TRUE, FALSE, FALSE);
             e.StepUndo(TRUE, FALSE);
             e.StepUndo(TRUE, FALSE);
             e.StepRedo(TRUE, FALSE);
         }},
        {"links and tips copy the link unwiped",
         [](CCodeEditCtrl& e, const WCHAR*) {
             CEditDisplayList list;
             e.PaintControl(list, nullptr);
             CString url;
             int at = 0;
             e.LinkAtOffset(e.GetTextBuffer().Mid(0, e.GetLength()).Find(L"http://") + 3, url, at);
             e.SetTipsEnabled(TRUE);
             const WCHAR* tip = nullptr;
             e.OnTipNeedText(POINT{30, 4 * 17 + 5}, &tip);
             e.OnTipNeedText(POINT{100, 5 * 17 + 5}, &tip);
             e.HideTip();
         }},
        {"outline parsing copies header words unwiped",
         [](CCodeEditCtrl& e, const WCHAR*) {
             FoldWholeText(e);
             if (!e.outlineRoot.children.empty())
                 e.ToggleOutlineNode(e.outlineRoot.children[0]);
             CString tip;
             e.GetCollapsedTextAtPoint(60, 5, tip, TRUE);
             e.ReparseOutlineRange(-1, -1);
         }},
        {"printing leaves page text unwiped",
         [](CCodeEditCtrl& e, const WCHAR*) {
             FixedMeasurer printer(10, 20);
             CPrintInfo info;
             info.m_rectDraw = RECT{0, 0, 800, 1000};
             e.BeginPrintPages(info);
             for (info.m_nCurPage = 1; info.m_bContinuePrinting && info.m_nCurPage < 20; ++info.m_nCurPage) {
                 CEditDisplayList list;
                 e.PrintPage(list, printer, info);
             }
             e.EndPrintPages(info);
         }},
        {"saving frees the encoded text unwiped",
         [](CCodeEditCtrl& e, const WCHAR*) {
             for (int encoding : {EDIT_FILE_ANSI, EDIT_FILE_UTF8, EDIT_FILE_UTF8_BOM}) {
                 e.fileEncoding = encoding;
                 CMemFile out;
                 e.SaveTextToStream(out);
             }
             e.unicodeFile = 1;
             CMemFile out;
             e.SaveTextToStream(out);
         }},
    };
    for (const Case& c : cases) {
        const std::string marker = MakeMarker();
        WipedBytes file = MakeFile(marker);
        auto wide = Wide(marker);
        {
            CFreedBlockScanner scan(marker);
            {
                TestEdit t;
                CMemFile source(file.data(), file.size());
                ASSERT_TRUE(t.edit.LoadTextFromStream(source)) << c.fault;
                source.Close();
                c.act(t.edit, wide.data());
                t.edit.AttachTipWindow(nullptr);
            }
            scan.Stop();
            EXPECT_GT(scan.BlocksScanned(), 0u) << c.fault;
            EXPECT_EQ(scan.Hits(), 0u) << c.fault << ": " << scan.Report();
        }
    }
}

// The whole control with the real heap: while a text holding a marker is
// loaded, painted, edited, copied as text and rich text, indented, undone,
// redone, selected with the mouse, marked and destroyed, no block the
// program frees holds the marker.
#include "tests/QvTest.h"

#include "framework/base/WipedMemory.h"
#include "tests/FreedBlockScanner.h"
#include "tests/editctrl/EditTestSupport.h"

#include <cstdio>

namespace {
std::string MakeMarker() { return MakeFreedBlockMarker("QVCTRL"); }

void PaintAll(CCodeEditCtrl& e)
{
    CEditDisplayList list;
    e.PaintControl(list, nullptr);
}
}  // namespace

TEST(CodeEditFreedMemory, NoBlockFreedByTheControlHoldsItsText)
{
    const std::string marker = MakeMarker();
    // The text: lines of code around one line that holds the marker as a word,
    // as a keyword-coloured word and inside a link.
    const char* before = "int main() {\n    return 0; // note\n}\nint ";
    const char* after = " = 1;\nhttp://example.org/";
    std::string whole = std::string(before) + marker + after + marker + "\n";
    WipingAllocator<WCHAR> chars;
    WCHAR* text = chars.allocate(whole.size());
    for (size_t i = 0; i < whole.size(); ++i)
        text[i] = (WCHAR)whole[i];
    const int at = (int)strlen(before);
    const int n = (int)marker.size();
    {
        CFreedBlockScanner scan(marker);
        {
            TestEdit t(L"");
            t.edit.AddKeyword(CString(L"int"), 0xFF0000, (COLORREF)-1, TRUE);
            t.edit.AddKeyword(CString(L"return"), 0x0000FF, (COLORREF)-1, FALSE);
            t.edit.AddColorBlock(CString(L"//"), CString(L""), FALSE, 0x008000, (COLORREF)-1, TRUE, FALSE);
            t.edit.copyRichText = 1;
            t.edit.SetText(text, (int)whole.size());
            PaintAll(t.edit);
            // Edit inside the marker, and undo and redo it.
            t.edit.MoveCaretToOffset(at + n / 2, FALSE, FALSE);
            t.edit.HandleChar(L'Z');
            t.edit.HandleKeyDown(VK_BACK);
            t.edit.HandleKeyDown(VK_DELETE);
            PaintAll(t.edit);
            while (t.edit.CanUndo())
                t.edit.StepUndo(TRUE, TRUE);
            while (t.edit.CanRedo())
                t.edit.StepRedo(TRUE, TRUE);
            // Select the word with the mouse, copy it as text and rich text, cut and paste it.
            POINT p = {};
            t.edit.PointFromOffset(at + 2, p);
            t.edit.HandleLButtonDblClk(POINT{p.x + 2, p.y + 4});
            ASSERT_TRUE(t.edit.HasSelection());
            PaintAll(t.edit);
            ASSERT_TRUE(t.edit.CopySelected());
            ASSERT_TRUE(t.edit.CutSelected());
            ASSERT_TRUE(t.edit.PasteText(-1));
            ASSERT_TRUE(t.edit.PasteText(0));
            // Indent and unindent everything, with undo.
            t.edit.ExtendSelection(12);
            t.edit.HandleKeyDown(VK_TAB);
            t.host.shift = true;
            t.edit.HandleKeyDown(VK_TAB);
            t.host.shift = false;
            t.edit.StepUndo(TRUE, TRUE);
            t.edit.StepUndo(TRUE, TRUE);
            t.edit.StepRedo(TRUE, TRUE);
            // A column block of it, a bookmark, the word under the mouse.
            t.edit.FlipLineMarker(3, 1, 0, TRUE, 0);
            CString word;
            t.edit.GetWordAtPoint(POINT{p.x + 2, p.y + 4}, word);
            word.SecureEmpty();
            PaintAll(t.edit);
            // The test's fake clipboard goes before the control it served.
            t.host.clipboard.clear();
        }
        scan.Stop();
        EXPECT_GT(scan.BlocksScanned(), 0u);
        EXPECT_EQ(scan.Hits(), 0u) << scan.Report();
    }
    WipeBytes(text, whole.size() * sizeof(WCHAR));
    chars.deallocate(text, whole.size());
}

// The edit buffer with its real heap: while a text holding a marker is
// edited, spanned across the gap, grown, shrunk and dropped, no block the
// program frees holds the marker.
#include "tests/QvTest.h"

#include "editctrl/EditTextBuffer.h"
#include "framework/base/WipedMemory.h"
#include "tests/FreedBlockScanner.h"
#include "tests/editctrl/EditTestSupport.h"

#include <functional>

namespace {

std::string MakeMarker() { return MakeFreedBlockMarker("QVEDIT"); }

TEST(EditTextFreedMemory, NoBlockFreedWhileEditingHoldsTheText)
{
    struct Case {
        const char* fault;
        std::function<void(CEditTextBuffer&, int secretAt, int secretLength)> act;
    } cases[] = {
        {"a span across the gap frees its copy unwiped",
         [](CEditTextBuffer& b, int at, int n) {
             WCHAR ch = L'x';
             b.Insert(at + n / 2, &ch, 1);
             CEditTextSpan span = b.Span(at, n + 1);
             CEditTextSpan moved(std::move(span));
         }},
        {"growth frees the old block unwiped",
         [](CEditTextBuffer& b, int, int) {
             std::vector<WCHAR> big(200000, L'y');
             b.Insert(3, big.data(), (int)big.size());
         }},
        {"shrinking frees the old block unwiped",
         [](CEditTextBuffer& b, int at, int n) {
             b.Delete(at + n, b.GetLength() - at - n);
             b.Delete(0, at);
         }},
        {"Mid's string frees unwiped", [](CEditTextBuffer& b, int at, int n) { CString copy = b.Mid(at - 2, n + 4); }},
        {"setting a new text frees the old unwiped", [](CEditTextBuffer& b, int, int) { b.Set(L"new", 3); }},
        {"destruction frees unwiped", [](CEditTextBuffer&, int, int) {}},
    };
    for (const Case& c : cases) {
        const std::string marker = MakeMarker();
        // The text lives in wiped memory and on the stack only, never in a plain heap block.
        WipingAllocator<WCHAR> chars;
        const size_t filler = 5000, length = 2 * filler + marker.size();
        WCHAR* text = chars.allocate(length);
        for (size_t i = 0; i < length; ++i)
            text[i] = (WCHAR)(i >= filler && i < filler + marker.size() ? marker[i - filler] : (i % 50 ? L'a' : L'\n'));
        {
            CFreedBlockScanner scan(marker);
            {
                CEditTextBuffer buffer;
                buffer.Set(text, (int)length);
                c.act(buffer, (int)filler, (int)marker.size());
            }
            scan.Stop();
            EXPECT_GT(scan.BlocksScanned(), 0u) << c.fault;
            EXPECT_EQ(scan.Hits(), 0u) << c.fault << ": " << scan.Report();
        }
        WipeBytes(text, length * sizeof(WCHAR));
        chars.deallocate(text, length);
    }
}

}  // namespace

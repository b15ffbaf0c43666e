#include "tests/QvTest.h"

#include "editctrl/EditTextBuffer.h"

#include <random>
#include <vector>

namespace {
// The line starts of a text, found by the plain definition: 0 and after every line feed.
std::vector<int> ModelLineStarts(const std::u16string& s)
{
    std::vector<int> starts{0};
    for (size_t i = 0; i < s.size(); ++i)
        if (s[i] == u'\n')
            starts.push_back((int)i + 1);
    return starts;
}

void ExpectSame(const CEditTextBuffer& buffer, const std::u16string& model)
{
    ASSERT_EQ(buffer.GetLength(), (int)model.size());
    ASSERT_EQ(std::u16string((const char16_t*)buffer.Data(), (size_t)buffer.GetLength()), model);
    EXPECT_EQ(buffer.Data()[buffer.GetLength()], 0);
    std::vector<int> starts = ModelLineStarts(model);
    ASSERT_EQ(buffer.LineCount(), (int)starts.size());
    for (size_t line = 0; line < starts.size(); ++line)
        ASSERT_EQ(buffer.LineStart((int)line), starts[line]) << "line " << line;
    for (int offset = 0; offset <= (int)model.size(); ++offset) {
        int line = 0;
        for (int k = 0; k < offset; ++k)
            line += model[(size_t)k] == u'\n';
        ASSERT_EQ(buffer.LineOfOffset(offset), line) << "offset " << offset;
    }
}
}  // namespace

TEST(EditTextBufferTest, RandomEditsKeepTextAndLineIndexLikeThePlainModel)
{
    std::mt19937 random(7);
    CEditTextBuffer buffer;
    std::u16string model;
    const char16_t alphabet[] = u"ab \n\t;";
    for (int step = 0; step < 400; ++step) {
        int length = (int)model.size();
        if (random() % 3 != 0 || length == 0) {
            int offset = (int)(random() % (unsigned)(length + 1));
            std::u16string piece;
            for (unsigned n = random() % 7 + 1; n > 0; --n)
                piece += alphabet[random() % 6];
            buffer.Insert(offset, (const WCHAR*)piece.data(), (int)piece.size());
            model.insert((size_t)offset, piece);
        } else {
            int offset = (int)(random() % (unsigned)length);
            int count = (int)(random() % 5) + 1;
            buffer.Delete(offset, count);
            model.erase((size_t)offset, (size_t)count);
        }
        ExpectSame(buffer, model);
        if (HasFatalFailure())
            return;
    }
}

TEST(EditTextBufferTest, CountedSetKeepsNulCharacters)
{
    const WCHAR chars[] = {L'a', 0, L'b', L'\n', 0};
    CEditTextBuffer buffer;
    buffer.Set(chars, 5);
    EXPECT_EQ(buffer.GetLength(), 5);
    EXPECT_EQ(buffer.At(2), L'b');
    EXPECT_EQ(buffer.LineCount(), 2);
    EXPECT_EQ(buffer.LineStart(1), 4);
}

TEST(EditTextBufferTest, LineEndsAndBreakCounts)
{
    CEditTextBuffer buffer;
    buffer.Set(L"ab\n\ncd", 6);
    struct Case {
        int line, end;
    } ends[] = {{0, 2}, {1, 3}, {2, 6}};
    for (const Case& c : ends)
        EXPECT_EQ(buffer.LineEnd(c.line), c.end) << "line " << c.line;
    EXPECT_EQ(buffer.CountLineBreaks(0, 6), 2);
    EXPECT_EQ(buffer.CountLineBreaks(3, 6), 1);
    EXPECT_EQ(buffer.CountLineBreaks(2, 3), 1);
    EXPECT_EQ(buffer.CountLineBreaks(3, 3), 0);
}

TEST(EditTextBufferTest, ReplacingALineFeedUpdatesTheIndex)
{
    CEditTextBuffer buffer;
    buffer.Set(L"ab\ncd", 5);
    buffer.Replace(2, L'x');
    EXPECT_EQ(buffer.LineCount(), 1);
    buffer.Replace(0, L'\n');
    EXPECT_EQ(buffer.LineCount(), 2);
    EXPECT_EQ(buffer.LineStart(1), 1);
}

TEST(EditTextBufferTest, WipeMemoryZeroesEveryByte)
{
    unsigned char block[32];
    for (unsigned char& b : block)
        b = 0xAB;
    WipeMemory(block, sizeof block);
    for (unsigned char b : block)
        EXPECT_EQ(b, 0);
}

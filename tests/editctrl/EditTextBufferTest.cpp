#include "tests/QvTest.h"

#include "editctrl/EditTextBuffer.h"

#include <algorithm>
#include <map>
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

std::u16string ToModel(const CString& s) { return std::u16string((const char16_t*)s.GetString(), (size_t)s.GetLength()); }

void ExpectSame(const CEditTextBuffer& buffer, const std::u16string& model)
{
    ASSERT_EQ(buffer.GetLength(), (int)model.size());
    ASSERT_EQ(ToModel(buffer.Mid(0, buffer.GetLength())), model);
    for (int offset = -1; offset <= (int)model.size(); ++offset)
        ASSERT_EQ(buffer.At(offset), offset >= 0 && offset < (int)model.size() ? model[(size_t)offset] : 0)
            << "offset " << offset;
    std::vector<int> starts = ModelLineStarts(model);
    ASSERT_EQ(buffer.LineCount(), (int)starts.size());
    for (size_t line = 0; line < starts.size(); ++line)
        ASSERT_EQ(buffer.LineStart((int)line), starts[line]) << "line " << line;
    for (int offset = 0; offset <= (int)model.size(); ++offset) {
        int line = (int)(std::upper_bound(starts.begin(), starts.end(), offset) - starts.begin()) - 1;
        ASSERT_EQ(buffer.LineOfOffset(offset), line) << "offset " << offset;
    }
}

// Every span and copy of a few ranges, some across the gap, matches the model.
void ExpectRangesSame(const CEditTextBuffer& buffer, const std::u16string& model, std::mt19937& random)
{
    const int length = (int)model.size();
    for (int k = 0; k < 4; ++k) {
        int first = (int)(random() % (unsigned)(length + 1));
        int count = (int)(random() % (unsigned)(length - first + 1));
        std::u16string expected = model.substr((size_t)first, (size_t)count);
        CEditTextSpan span = buffer.Span(first, count);
        ASSERT_EQ(span.Count(), count);
        ASSERT_EQ(std::u16string((const char16_t*)span.Chars(), (size_t)count), expected) << first << "+" << count;
        std::vector<WCHAR> out((size_t)count + 1, 0);
        ASSERT_EQ(buffer.CopyTo(first, count, out.data()), count);
        ASSERT_EQ(std::u16string((const char16_t*)out.data(), (size_t)count), expected);
    }
}

// Hands out blocks and checks that each comes back wiped; lets a test look
// into the live block for characters that should no longer be there.
class CWatchingAllocator : public CEditBlockAllocator {
public:
    ~CWatchingAllocator() override { EXPECT_TRUE(m_live.empty()) << "a block was never released"; }
    WCHAR* Allocate(size_t chars) override
    {
        WCHAR* block = new WCHAR[chars];
        // Whatever the heap left there stands for another owner's text.
        std::fill(block, block + chars, WCHAR(L'#'));
        m_live[block] = chars;
        ++allocations;
        return block;
    }
    void Release(WCHAR* block, size_t chars) override
    {
        ASSERT_EQ(m_live.count(block), 1u);
        EXPECT_EQ(m_live[block], chars);
        EXPECT_TRUE(std::all_of(block, block + chars, [](WCHAR c) { return c == 0; })) << "released unwiped";
        m_live.erase(block);
        ++releases;
        delete[] block;
    }
    // Occurrences of `word` anywhere in the live blocks, gap included.
    int CountInLiveBlocks(const std::u16string& word) const
    {
        int n = 0;
        for (const auto& [block, chars] : m_live) {
            std::u16string all((const char16_t*)block, chars);
            for (size_t at = all.find(word); at != std::u16string::npos; at = all.find(word, at + 1))
                ++n;
        }
        return n;
    }
    size_t LiveChars() const
    {
        size_t n = 0;
        for (const auto& entry : m_live)
            n += entry.second;
        return n;
    }
    int allocations = 0, releases = 0;

private:
    std::map<WCHAR*, size_t> m_live;
};

std::u16string Repeat(const std::u16string& s, int times)
{
    std::u16string all;
    while (times-- > 0)
        all += s;
    return all;
}
}  // namespace

TEST(EditTextBufferTest, RandomEditsKeepTextAndLineIndexLikeThePlainModel)
{
    const char16_t alphabet[] = u"ab \n\t;";
    // Small pieces keep edits inside the gap; large ones force new blocks;
    // long deletes make the block shrink.
    struct Mix {
        const char* what;
        unsigned maxInsert, maxDelete;
        int steps;
    } mixes[] = {{"typing", 7, 5, 400}, {"pastes and cuts", 3000, 2500, 150}};
    for (const Mix& mix : mixes) {
        SCOPED_TRACE(mix.what);
        std::mt19937 random(7);
        CWatchingAllocator blocks;
        {
            CEditTextBuffer buffer(&blocks);
            std::u16string model;
            for (int step = 0; step < mix.steps; ++step) {
                int length = (int)model.size();
                unsigned action = random() % 7;
                if (action < 4 || length == 0) {
                    int offset = (int)(random() % (unsigned)(length + 1));
                    std::u16string piece;
                    for (unsigned n = random() % mix.maxInsert + 1; n > 0; --n)
                        piece += alphabet[random() % 6];
                    buffer.Insert(offset, (const WCHAR*)piece.data(), (int)piece.size());
                    model.insert((size_t)offset, piece);
                } else if (action < 6) {
                    int offset = (int)(random() % (unsigned)length);
                    int count = (int)(random() % mix.maxDelete) + 1;
                    buffer.Delete(offset, count);
                    model.erase((size_t)offset, (size_t)count);
                } else {
                    int offset = (int)(random() % (unsigned)length);
                    char16_t ch = alphabet[random() % 6];
                    buffer.Replace(offset, ch);
                    model[(size_t)offset] = ch;
                }
                ExpectSame(buffer, model);
                ExpectRangesSame(buffer, model, random);
                if (HasFatalFailure())
                    return;
            }
        }
        EXPECT_EQ(blocks.allocations, blocks.releases);
    }
}

TEST(EditTextBufferTest, CountedSetKeepsNulCharacters)
{
    const WCHAR chars[] = {L'a', 0, L'b', L'\n', 0};
    CEditTextBuffer buffer;
    buffer.Set(chars, 5);
    EXPECT_EQ(buffer.GetLength(), 5);
    EXPECT_EQ(buffer.At(1), 0);
    EXPECT_EQ(buffer.At(2), L'b');
    EXPECT_EQ(buffer.LineCount(), 2);
    EXPECT_EQ(buffer.LineStart(1), 4);
    EXPECT_EQ(buffer.Mid(0, 5).GetLength(), 5);
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

// Typing one character at a time must not take a new block per key.
TEST(EditTextBufferTest, StorageGrowsGeometrically)
{
    CWatchingAllocator blocks;
    {
        CEditTextBuffer buffer(&blocks);
        const int keys = 100000;
        for (int i = 0; i < keys; ++i) {
            WCHAR ch = L'a';
            buffer.Insert(buffer.GetLength() / 2, &ch, 1);
        }
        EXPECT_EQ(buffer.GetLength(), keys);
        // 64 growing by half each time passes 100000 on the 20th block (141718).
        EXPECT_LE(blocks.allocations, 20);
        EXPECT_LE(buffer.Capacity(), keys * 3 / 2 + 64);
    }
}

// Plaintext leaves no copy behind: not in the gap after edits and gap moves,
// not in a block given back on growth, shrinking or clearing.
TEST(EditTextBufferTest, NoCopyOfPlaintextOutlivesItsPlace)
{
    const std::u16string secret = u"SECRET";
    const std::u16string filler = Repeat(u"text\n", 2000);
    struct Case {
        const char* what;
        void (*act)(CEditTextBuffer& buffer, int secretAt);
        int copiesLeft;  // of the secret in the live block
    } cases[] = {
        {"deleted text is wiped from the gap", [](CEditTextBuffer& b, int at) { b.Delete(at, 6); }, 0},
        {"a gap moved left over the text leaves one copy",
         [](CEditTextBuffer& b, int) {
             WCHAR ch = L'x';
             b.Insert(0, &ch, 1);
         },
         1},
        {"a gap moved right over the text leaves one copy",
         [](CEditTextBuffer& b, int) {
             WCHAR ch = L'x';
             b.Insert(0, &ch, 1);
             b.Insert(b.GetLength(), &ch, 1);
         },
         1},
        {"overwritten characters are gone", [](CEditTextBuffer& b, int at) { b.Replace(at, L's'); }, 0},
        {"growth gives back a wiped block",
         [](CEditTextBuffer& b, int) {
             std::u16string big(100000, u'y');
             b.Insert(3, (const WCHAR*)big.data(), (int)big.size());
         },
         1},
        {"deleting most of the text shrinks into a fresh block",
         [](CEditTextBuffer& b, int at) {
             b.Delete(at + 6, b.GetLength() - at - 6);
             b.Delete(0, at);
         },
         1},
        {"clearing frees everything", [](CEditTextBuffer& b, int) { b.Clear(); }, 0},
        {"setting a new text frees the old", [](CEditTextBuffer& b, int) { b.Set(L"new", 3); }, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CWatchingAllocator blocks;
        {
            CEditTextBuffer buffer(&blocks);
            std::u16string text = filler + secret + filler;
            buffer.Set((const WCHAR*)text.data(), (int)text.size());
            const int at = (int)filler.size();
            ASSERT_EQ(blocks.CountInLiveBlocks(secret), 1);
            c.act(buffer, at);
            EXPECT_EQ(blocks.CountInLiveBlocks(secret), c.copiesLeft);
            // No heap filler survives in the block: its gap is wiped, not left as it came.
            EXPECT_EQ(blocks.CountInLiveBlocks(u"#"), 0);
            if (c.copiesLeft == 1 && buffer.GetLength() == 6) {
                EXPECT_LT(blocks.LiveChars(), text.size() / 2) << "the block did not shrink";
            }
        }
        EXPECT_EQ(blocks.allocations, blocks.releases);
    }
}

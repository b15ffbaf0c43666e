// No plaintext stays in freed memory: the freed-block scanner watches every
// block the program frees while a string or a wiping buffer holds a marker
// and then lets it go. The scanner is first shown to find a marker freed
// unwiped (so a quiet scan means something), and to see frees made inside
// the static libraries.
#include "tests/QvTest.h"

#include "framework/base/CString.h"
#include "framework/base/WipedMemory.h"
#include "tests/FreedBlockScanner.h"

#include <algorithm>
#include <cstdlib>
#include <functional>

namespace {

std::string MakeMarker() { return MakeFreedBlockMarker("QVFREE"); }

// The marker as UTF-16 in a stack buffer (nothing of it on the heap).
struct WideMarker {
    explicit WideMarker(const std::string& marker)
    {
        for (size_t i = 0; i < marker.size(); ++i)
            chars[i] = (WCHAR)(unsigned char)marker[i];
        chars[marker.size()] = 0;
    }
    ~WideMarker() { WipeBytes(chars, sizeof chars); }
    WCHAR chars[64] = {};
};

// Frees kept out of the optimiser's sight, so a new/delete or malloc/free
// pair is really made.
__attribute__((noinline)) void* Opaque(void* block)
{
    __asm__ __volatile__("" : "+r"(block) : : "memory");
    return block;
}

void FreeUnwiped(const std::string& marker)
{
    auto* block = static_cast<char*>(Opaque(malloc(100)));
    memcpy(block + 20, marker.data(), marker.size());
    free(Opaque(block));
}

void DeleteUnwiped(const std::string& marker)
{
    auto* block = static_cast<char*>(Opaque(::operator new[](70)));
    memcpy(block, marker.data(), marker.size());
    ::operator delete[](Opaque(block));
}

void DeleteWideUnwiped(const std::string& marker)
{
    WideMarker wide(marker);
    auto* block = static_cast<WCHAR*>(Opaque(::operator new(200)));
    memcpy(block + 3, wide.chars, 2 * marker.size());
    ::operator delete(Opaque(block), 200);
}

// The block realloc moves away from still holds the text.
void ReallocMovesUnwiped(const std::string& marker)
{
    auto* block = static_cast<char*>(Opaque(malloc(40)));
    memcpy(block, marker.data(), marker.size());
    block = static_cast<char*>(Opaque(realloc(block, 1 << 20)));
    WipeBytes(block, marker.size());
    free(Opaque(block));
}

const std::string* g_threadMarker = nullptr;
DWORD WINAPI FreeUnwipedOnAThread(void*)
{
    FreeUnwiped(*g_threadMarker);
    return 0;
}

void FreeUnwipedOnAnotherThread(const std::string& marker)
{
    g_threadMarker = &marker;
    HANDLE thread = ::CreateThread(nullptr, 0, FreeUnwipedOnAThread, nullptr, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(::WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    ::CloseHandle(thread);
}

TEST(FreedBlockScanner, FindsAMarkerFreedUnwiped)
{
    struct Case {
        const char* fault;  // what the scanner would miss without its row
        void (*leak)(const std::string&);
    } cases[] = {
        {"free is not hooked", FreeUnwiped},
        {"operator delete[] is not hooked", DeleteUnwiped},
        {"sized operator delete or UTF-16 text is missed", DeleteWideUnwiped},
        {"the block realloc leaves behind is missed", ReallocMovesUnwiped},
        {"frees on other threads are missed", FreeUnwipedOnAnotherThread},
    };
    for (const Case& c : cases) {
        const std::string marker = MakeMarker();
        CFreedBlockScanner scan(marker);
        c.leak(marker);
        scan.Stop();
        EXPECT_GE(scan.Hits(), 1u) << c.fault;
        EXPECT_NE(scan.Report().find("freed by"), std::string::npos) << c.fault << ": " << scan.Report();
    }
}

TEST(FreedBlockScanner, SeesFreesMadeInsideTheStaticLibraries)
{
    WideMarker text(MakeMarker());
    CString grown(text.chars);
    CFreedBlockScanner scan(MakeMarker());
    // Growing moves the text to a new buffer and gives the old one back, in framework_base.
    grown.Preallocate(grown.GetLength() * 8);
    scan.Stop();
    EXPECT_GE(scan.BlocksScanned(), 1u);
}

// Every way a string lets go of its buffer, with the marker in it.
TEST(FreedMemory, StringsWipeEveryBufferTheyGiveBack)
{
    struct Case {
        const char* fault;
        std::function<void(const WCHAR*)> use;
    } cases[] = {
        {"destruction frees unwiped", [](const WCHAR* m) { CString s(m); }},
        {"growth leaves the old buffer unwiped",
         [](const WCHAR* m) {
             CString s(m);
             for (int i = 0; i < 200; ++i)
                 s += L"grow";
         }},
        {"copy assignment over a shorter buffer frees it unwiped",
         [](const WCHAR* m) {
             CString s(m);
             CString longer(L'x', 500);
             s = longer;
         }},
        {"move assignment frees the old buffer unwiped",
         [](const WCHAR* m) {
             CString s(m);
             s = CString(L"other");
         }},
        {"temporaries of concatenation and extraction",
         [](const WCHAR* m) {
             CString s = CString(L"name: ") + m + L".txt";
             CString mid = s.Mid(2);
             CString left = s.Left(30);
             s.Replace(L"name", L"plain name");
             s.MakeUpper();
         }},
        {"formatting copies",
         [](const WCHAR* m) {
             CString s;
             s.Format(L"%s and %s", m, m);
             s.AppendFormat(L" %s", m);
         }},
        {"GetBuffer growth",
         [](const WCHAR* m) {
             CString s(m);
             s.GetBuffer(5000);
             s.ReleaseBuffer();
         }},
    };
    for (const Case& c : cases) {
        const std::string marker = MakeMarker();
        WideMarker wide(marker);
        CFreedBlockScanner scan(marker);
        c.use(wide.chars);
        scan.Stop();
        EXPECT_GT(scan.BlocksScanned(), 0u) << c.fault;
        EXPECT_EQ(scan.Hits(), 0u) << c.fault << ": " << scan.Report();
    }
}

TEST(FreedMemory, EmptyWipesTheTextFromTheBufferItKeeps)
{
    WideMarker wide(MakeMarker());
    CString s(wide.chars);
    const int length = s.GetLength();
    s.Empty();
    const WCHAR* kept = s.GetBuffer(length);
    EXPECT_TRUE(std::all_of(kept, kept + length, [](WCHAR c) { return c == 0; }));
    s.ReleaseBuffer(0);
}

// Every way of holding plaintext in the framework's wiping home.
TEST(FreedMemory, TheWipingHomeGivesBackNothingPlain)
{
    struct Case {
        const char* fault;
        std::function<void(const std::string&)> use;
    } cases[] = {
        {"WipedFree frees unwiped",
         [](const std::string& m) {
             void* block = WipedAlloc(m.size() + 7);
             memcpy(block, m.data(), m.size());
             WipedFree(block, m.size() + 7);
         }},
        {"WipedFreeSized frees unwiped",
         [](const std::string& m) {
             void* block = WipedAllocSized(m.size() + 100);
             memcpy(static_cast<char*>(block) + 100, m.data(), m.size());
             WipedFreeSized(block);
         }},
        {"a growing WipedBytes leaves its old storage unwiped",
         [](const std::string& m) {
             WipedBytes bytes(m.begin(), m.end());
             for (int i = 0; i < 5000; ++i)
                 bytes.push_back((uint8_t)i);
         }},
        {"CWipedBuffer's Reset or destruction frees unwiped",
         [](const std::string& m) {
             CWipedBuffer buffer;
             ASSERT_TRUE(buffer.Reset(m.size()));
             memcpy(buffer.Data(), m.data(), m.size());
             ASSERT_TRUE(buffer.Reset(10));
             memcpy(buffer.Data(), m.data(), 10);
             CWipedBuffer second;
             ASSERT_TRUE(second.Reset(m.size()));
             memcpy(second.Data(), m.data(), m.size());
         }},
    };
    for (const Case& c : cases) {
        const std::string marker = MakeMarker();
        CFreedBlockScanner scan(marker);
        WipedMemoryTotals before = WipedMemoryCounts();
        c.use(marker);
        WipedMemoryTotals after = WipedMemoryCounts();
        scan.Stop();
        EXPECT_EQ(scan.Hits(), 0u) << c.fault << ": " << scan.Report();
        EXPECT_EQ(after.wiped - before.wiped, after.allocated - before.allocated) << c.fault;
    }
}

TEST(FreedMemory, SizedBlocksKeepTheHeapsAlignment)
{
    for (size_t size : {1, 15, 16, 4097}) {
        void* block = WipedAllocSized(size);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ((uintptr_t)block % 16, 0u) << size;
        WipedFreeSized(block);
    }
    WipedFreeSized(nullptr);
    WipedFree(nullptr, 10);
}

}  // namespace

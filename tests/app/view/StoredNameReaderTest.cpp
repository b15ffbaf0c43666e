#include "tests/app/view/ViewTestSupport.h"

#include "app/StoredNameReader.h"
#include "crypt/EncryptedFileHeader.h"

#include <atomic>
#include <utility>
#include <vector>

using viewtest::HandMadeFile;

namespace {

const WCHAR kPassword[] = L"reader password";

typedef std::vector<std::pair<LPARAM, CString>> Names;

// Waits up to 10 s for a condition.
bool WaitUntil(const std::function<bool()>& done)
{
    ULONGLONG deadline = ::GetTickCount64() + 10000;
    while (!done()) {
        if (::GetTickCount64() > deadline)
            return false;
        ::Sleep(1);
    }
    return true;
}

// TakeAll on a thread of its own, with a sink that signals `handingOut` and
// then takes 100 ms over the first name.
struct TakeAllCall {
    CStoredNameReader* reader;
    HANDLE handingOut;
    Names names;
};

DWORD WINAPI TakeAllSlowly(void* param)
{
    TakeAllCall* call = static_cast<TakeAllCall*>(param);
    call->reader->TakeAll([call](LPARAM tag, const CString& name) {
        call->names.emplace_back(tag, name);
        if (tag == 0)
            ::SetEvent(call->handingOut);
        ULONGLONG settled = ::GetTickCount64() + 100;
        while (tag == 0 && ::GetTickCount64() < settled)
            ::Sleep(1);
    });
    return 0;
}

class StoredNameReaderTest : public testing::Test {
protected:
    void SetUp() override { COrvantisDoc::SetPasswordKey(kPassword); }
    void TearDown() override { COrvantisDoc::SetPasswordKey(CString()); }

    static CString Encrypt(const qvtest::TempFolder& into, const CString& plainName)
    {
        return viewtest::EncryptInto(into, plainName, "content of " + plainName.ToUtf8());
    }
    static CStoredNameReader::NameSink Into(Names& names)
    {
        return [&names](LPARAM tag, const CString& name) { names.emplace_back(tag, name); };
    }

    qvtest::TempFolder m_folder;
};

}  // namespace

TEST_F(StoredNameReaderTest, NamesComeBackInTheOrderHandedOverWithDamagedFilesGivingNone)
{
    struct Case {
        const char* what;
        CString path;
        CString expected;
    };
    std::vector<Case> cases = {
        {"a whole file", Encrypt(m_folder, L"report.pdf"), L"report.pdf"},
        {"no extension", Encrypt(m_folder, L"README"), L"README"},
        {"another script", Encrypt(m_folder, CString::FromUtf8("\xd0\xbe\xd1\x82\xd1\x87\xd1\x91\xd1\x82.txt")),
         CString::FromUtf8("\xd0\xbe\xd1\x82\xd1\x87\xd1\x91\xd1\x82.txt")},
        {"the header alone, data cut off", m_folder.WriteFile(L"a1.hdr", HandMadeFile(5000, 9, std::string("hand.txt", 9))),
         L"hand.txt"},
        {"117 name bytes, no terminator", m_folder.WriteFile(L"a2.hdr", HandMadeFile(3, 117, std::string(117, 'q'))),
         CString(L'q', 117)},
        {"an empty file", m_folder.WriteFile(L"b1.bad", ""), L""},
        {"the IV alone", m_folder.WriteFile(L"b2.bad", HandMadeFile(3, 9, "hand.txt", 128)), L""},
        {"block 1 cut short", m_folder.WriteFile(L"b3.bad", HandMadeFile(3, 9, "hand.txt", 200)), L""},
        {"a name length above 117", m_folder.WriteFile(L"b4.bad", HandMadeFile(3, 118, "hand.txt")), L""},
        {"a plain size above the limit", m_folder.WriteFile(L"b5.bad", HandMadeFile(0x10000000Bull, 9, "hand.txt")),
         L""},
        {"a name cut inside a character", m_folder.WriteFile(L"b6.bad", HandMadeFile(3, 2, "a\xe2")), L""},
        {"a missing file", m_folder / L"missing.enc", L""},
        {"a folder", m_folder / L"sub", L""},
    };
    ASSERT_TRUE(::CreateDirectoryW(m_folder / L"sub", nullptr));
    for (int helpers : {1, 3, 8}) {
        CStoredNameReader reader(helpers);
        for (int round = 0; round < 2; ++round) {
            reader.Begin();
            Names names;
            for (size_t i = 0; i < cases.size(); ++i) {
                reader.Add(cases[i].path, (LPARAM)i);
                reader.TakeReady(Into(names));
            }
            reader.TakeAll(Into(names));
            ASSERT_EQ(cases.size(), names.size()) << helpers;
            for (size_t i = 0; i < cases.size(); ++i) {
                EXPECT_EQ((LPARAM)i, names[i].first) << helpers << " helpers, " << cases[i].what;
                EXPECT_EQ(cases[i].expected, names[i].second) << helpers << " helpers, " << cases[i].what;
            }
        }
    }
    // Without a key no name is read.
    COrvantisDoc::SetPasswordKey(CString());
    CStoredNameReader reader(2);
    reader.Begin();
    Names names;
    reader.Add(cases[0].path, 0);
    reader.TakeAll(Into(names));
    ASSERT_EQ(1u, names.size());
    EXPECT_EQ(CString(), names[0].second);
}

TEST_F(StoredNameReaderTest, ANameWaitsForTheOnesHandedOverBeforeIt)
{
    std::vector<CString> paths;
    for (const WCHAR* name : {L"first.txt", L"second.txt", L"third.txt", L"fourth.txt"})
        paths.push_back(Encrypt(m_folder, name));
    HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> read{0};
    CStoredNameReader reader(3);
    reader.SetReadHook([&](const CString& path) {
        if (path == paths[0])
            ::WaitForSingleObject(release, 10000);
        ++read;
    });
    reader.Begin();
    for (size_t i = 0; i < paths.size(); ++i)
        reader.Add(paths[i], (LPARAM)i);
    ASSERT_TRUE(WaitUntil([&] { return read.load() >= 3; })) << "the later files are read meanwhile";
    Names names;
    reader.TakeReady(Into(names));
    EXPECT_TRUE(names.empty()) << "nothing passes the first file still being read";
    ::SetEvent(release);
    reader.TakeAll(Into(names));
    ASSERT_EQ(4u, names.size());
    const WCHAR* expected[] = {L"first.txt", L"second.txt", L"third.txt", L"fourth.txt"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ((LPARAM)i, names[i].first);
        EXPECT_EQ(CString(expected[i]), names[i].second);
    }
    ::CloseHandle(release);
}

TEST_F(StoredNameReaderTest, TakeAllEndsWhenTheLastNameIsStoredWhileNamesAreHandedOut)
{
    const CString first = Encrypt(m_folder, L"first.txt"), last = Encrypt(m_folder, L"last.txt");
    std::atomic<bool> lastStarted{false};
    HANDLE handingOut = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    CStoredNameReader reader(1);
    reader.SetReadHook([&](const CString& path) {
        if (path != last)
            return;
        lastStarted = true;
        ::WaitForSingleObject(handingOut, 10000);
    });
    reader.Begin();
    reader.Add(first, 0);
    reader.Add(last, 1);
    // The one helper has stored the first name and is reading the last.
    ASSERT_TRUE(WaitUntil([&] { return lastStarted.load(); }));

    // While the first name is handed out the helper stores the last one, so
    // its wake-up finds nobody waiting yet.
    TakeAllCall call{&reader, handingOut, {}};
    HANDLE taker = ::CreateThread(nullptr, 0, TakeAllSlowly, &call, 0, nullptr);
    ASSERT_EQ((DWORD)WAIT_OBJECT_0, ::WaitForSingleObject(taker, 10000)) << "TakeAll waits for a name already stored";
    ::CloseHandle(taker);
    ::CloseHandle(handingOut);
    ASSERT_EQ(2u, call.names.size());
    EXPECT_EQ(CString(L"last.txt"), call.names[1].second);
}

TEST_F(StoredNameReaderTest, ANewBatchStopsTheReadsOfTheOldFolderAndNeverGetsItsNames)
{
    qvtest::TempFolder oldFolder, newFolder;
    std::vector<CString> oldPaths, newPaths;
    for (int i = 0; i < 40; ++i)
        oldPaths.push_back(Encrypt(oldFolder, L"old.txt"));
    for (int i = 0; i < 5; ++i)
        newPaths.push_back(Encrypt(newFolder, L"new.txt"));

    const int helpers = 3;
    HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> oldReads{0}, newReads{0};
    CStoredNameReader reader(helpers);
    reader.SetReadHook([&](const CString& path) {
        if (path.Find(oldFolder.Path()) == 0) {
            ++oldReads;
            ::WaitForSingleObject(release, 10000);
        } else {
            ++newReads;
        }
    });
    reader.Begin();
    Names names;
    for (size_t i = 0; i < oldPaths.size(); ++i)
        reader.Add(oldPaths[i], (LPARAM)i);
    // Every helper is inside a read of the old folder when the list moves on.
    ASSERT_TRUE(WaitUntil([&] { return oldReads.load() == helpers; }));
    reader.Begin();
    for (size_t i = 0; i < newPaths.size(); ++i)
        reader.Add(newPaths[i], (LPARAM)(100 + i));
    ::SetEvent(release);
    reader.TakeAll(Into(names));

    ASSERT_EQ(newPaths.size(), names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ((LPARAM)(100 + i), names[i].first) << "only the new folder's items";
        EXPECT_EQ(CString(L"new.txt"), names[i].second);
    }
    EXPECT_EQ(helpers, oldReads.load()) << "no read of the old folder begins after it was left";
    EXPECT_EQ((int)newPaths.size(), newReads.load());
    names.clear();
    reader.TakeReady(Into(names));
    EXPECT_TRUE(names.empty()) << "the old names never come later either";
    ::CloseHandle(release);
}

// The document's threads: the password and the key state change on the
// user-interface thread only, and closing the document while its job runs
// ends within a bounded time.
#include "tests/doc/JobTestSupport.h"
#include "tests/framework/windows/DialogDriver.h"

#include "crypt/FileCipher.h"
#include "crypt/KeyState.h"
#include "doc/UiThreadCall.h"
#include "framework/base/Thread.h"
#include "res/resource.h"

#include <atomic>
#include <cstring>
#include <map>
#include <vector>

using namespace jobtest;

namespace {

// The key state as bytes: the name key's digest and the file key.
std::vector<uint8_t> KeyBytes()
{
    std::vector<uint8_t> bytes(32 + FILE_KEY_SIZE);
    memcpy(bytes.data(), g_NameKey, 32);
    memcpy(bytes.data() + 32, g_FileKey, FILE_KEY_SIZE);
    return bytes;
}

// Records, from the user-interface thread, which key state each password was
// seen with: a password seen with two different key states means the two
// were changed apart, where this thread could see it.
class PasswordAndKeySamples {
public:
    void Take(const COrvantisDoc& doc)
    {
        auto seen = m_keyOf.emplace(doc.m_strPassword.ToUtf8(), KeyBytes());
        if (!seen.second && seen.first->second != KeyBytes())
            ++m_mismatches;
    }
    int Mismatches() const { return m_mismatches; }
    size_t Passwords() const { return m_keyOf.size(); }
    bool Saw(const std::string& password) const { return m_keyOf.count(password) != 0; }
    std::vector<uint8_t> KeyOf(const std::string& password) const { return m_keyOf.at(password); }

private:
    std::map<std::string, std::vector<uint8_t>> m_keyOf;
    int m_mismatches = 0;
};

// A thread body given as a function.
class FunctionThread : public CThread {
public:
    explicit FunctionThread(std::function<void()> body) : m_body(std::move(body)) {}
    ~FunctionThread() override { Stop(); }
    void Run() override { m_body(); }

private:
    std::function<void()> m_body;
};

class DocumentThreadsTest : public JobTest {
protected:
    // Pumps until the worker ended, sampling after every round.
    void WaitSampling(PasswordAndKeySamples& samples)
    {
        DWORD start = GetTickCount();
        while (m_doc->IsRunning() && GetTickCount() - start < 60000) {
            m_doc->WaitForExit(2);
            samples.Take(*m_doc);
        }
        ASSERT_FALSE(m_doc->IsRunning()) << "the job did not end";
    }
};

}  // namespace

TEST(UiThreadCall, WorkAskedForOnAWorkerRunsOnTheOwningThreadBeforeRunReturns)
{
    CUiThreadCall ui;
    const DWORD self = GetCurrentThreadId();
    DWORD ranOn = 0;
    std::atomic<bool> returned{false};
    bool doneBeforeReturn = false;
    FunctionThread worker([&] {
        ui.Run([&] { ranOn = GetCurrentThreadId(); });
        doneBeforeReturn = ranOn != 0;
        returned = true;
    });
    ASSERT_TRUE(worker.Start());
    ASSERT_TRUE(qvtest::PumpUntil([&] { return returned.load(); }, 30000));
    EXPECT_EQ(ranOn, self);
    EXPECT_TRUE(doneBeforeReturn);
    // On the owning thread the work runs at once.
    DWORD direct = 0;
    ui.Run([&] { direct = GetCurrentThreadId(); });
    EXPECT_EQ(direct, self);
}

TEST_F(DocumentThreadsTest, AnIntegrityTestsPasswordAndKeyChangeTogetherOnTheUserInterfaceThread)
{
    WriteFile(L"a.bin", qvtest::PatternBytes(300000, 7));
    WriteFile(L"b.txt", "second file");
    SetPassword(L"users own password");
    PasswordAndKeySamples samples;
    samples.Take(*m_doc);
    bool finishSawNoPassword = false;
    m_window.onReport = [&](const Report& report) {
        samples.Take(*m_doc);
        if (report.code == PROGRESS_FINISH)
            finishSawNoPassword = m_doc->m_strPassword.IsEmpty() && !HasKey();
    };
    // Every block the worker encrypts or decrypts is under the key this
    // thread saw once the test started.
    static uint8_t s_keyAtStart[FILE_KEY_SIZE];
    static std::atomic<int> s_blocks{0}, s_blocksUnderAnotherKey{0};
    s_blocks = 0;
    s_blocksUnderAnotherKey = 0;
    CFileCipher::SetBlockHook([](uint64_t) {
        ++s_blocks;
        if (memcmp(g_FileKey, s_keyAtStart, FILE_KEY_SIZE) != 0)
            ++s_blocksUnderAnotherKey;
    });
    bool started = false;
    WithDialog([&] { started = m_doc->StartIntegrityTest(m_folder.Path()); },
               [](CWnd& dlg) {
                   qvtest::SetText(dlg, IDC_PASSWORD, L"typed test password");
                   qvtest::Click(dlg, IDOK);
               });
    ASSERT_TRUE(started);
    samples.Take(*m_doc);
    memcpy(s_keyAtStart, g_FileKey, FILE_KEY_SIZE);
    WaitSampling(samples);
    CFileCipher::SetBlockHook(nullptr);
    samples.Take(*m_doc);

    EXPECT_TRUE(m_window.HasLog(LOG_HEADING_OK, "Integrity Test Finished with Zero Compare Errors."));
    EXPECT_EQ(samples.Mismatches(), 0);
    EXPECT_TRUE(samples.Saw("typed test password"));
    ASSERT_TRUE(samples.Saw(""));
    EXPECT_EQ(samples.KeyOf(""), std::vector<uint8_t>(32 + FILE_KEY_SIZE, 0)) << "no password, no key";
    EXPECT_TRUE(finishSawNoPassword) << "forgotten before the job's finish, as before";
    EXPECT_GT(s_blocks.load(), 0) << "the cipher ran";
    EXPECT_EQ(s_blocksUnderAnotherKey.load(), 0);
}

TEST_F(DocumentThreadsTest, AJobThatKeepsNoPasswordForgetsItOnTheUserInterfaceThread)
{
    WriteFile(L"a.txt", "to be encrypted");
    SetPassword(L"not to be kept");
    m_doc->m_Options.m_bKeepPassword = 0;
    m_doc->m_strCurrentFolder = m_folder.Path();
    PasswordAndKeySamples samples;
    bool finishSawNoPassword = false;
    m_window.onReport = [&](const Report& report) {
        samples.Take(*m_doc);
        if (report.code == PROGRESS_FINISH)
            finishSawNoPassword = m_doc->m_strPassword.IsEmpty() && !HasKey();
    };
    ASSERT_TRUE(m_doc->StartJob(JOB_ENCRYPT_FOLDER));
    WaitSampling(samples);
    EXPECT_EQ(samples.Mismatches(), 0);
    EXPECT_TRUE(samples.Saw("not to be kept"));
    EXPECT_TRUE(samples.Saw(""));
    EXPECT_TRUE(finishSawNoPassword) << "forgotten before the job's finish, as before";
    EXPECT_FALSE(HasKey());
}

TEST_F(DocumentThreadsTest, ClosingWhileTheJobCannotStopEndsItByForceWithinABoundedTime)
{
    WriteFile(L"a.txt", "first");
    WriteFile(L"b.txt", "second");
    const std::vector<std::string> before = TreeListing(m_folder.Path());
    m_doc->m_strPassword = L"test password";
    m_doc->m_strCurrentFolder = m_folder.Path();
    // The document is closed inside the job's first file report: the worker
    // waits for this thread and cannot see the stop request.
    bool closed = false;
    DWORD closeTook = 0;
    bool keyAfterClose = true;
    m_window.onReport = [&](const Report& report) {
        if (closed || report.code != PROGRESS_STATUS)
            return;
        closed = true;
        DWORD start = GetTickCount();
        m_doc.reset();
        closeTook = GetTickCount() - start;
        keyAfterClose = HasKey();
    };
    ASSERT_TRUE(m_doc->StartJob(JOB_INTEGRITY_TEST));
    ASSERT_TRUE(qvtest::PumpUntil([&] { return closed; }, 60000)) << "the job reported its first file";
    EXPECT_LT(closeTook, 15000u) << "a stop request, StopWorker's 3 s, then the end by force";
    EXPECT_FALSE(keyAfterClose) << "the integrity test's password is forgotten";
    EXPECT_EQ(TreeListing(m_folder.Path()), before);
    // The fixture checks that the job's temporary files were wiped.
}

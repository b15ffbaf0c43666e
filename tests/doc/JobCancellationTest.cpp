// A job and a decryption of someone else's (a preview, a viewer, the player's
// copy) run side by side; stopping either one never stops the other.
#include "tests/doc/JobTestSupport.h"

#include "crypt/EncryptedFileName.h"
#include "crypt/FileCipher.h"
#include "framework/base/MessagePump.h"
#include "framework/base/Thread.h"

#include <atomic>
#include <string>
#include <vector>

using namespace jobtest;

namespace {

// Both decryptions meet here at the same block and wait until the test has
// asked for its stop, so each stop falls in the middle of both.
const uint64_t kMeetingBlock = 10;
std::atomic<int> s_arrived{0};
HANDLE s_go = nullptr;

void MeetAtBlock(uint64_t index)
{
    if (index != kMeetingBlock)
        return;
    ++s_arrived;
    WaitForSingleObject(s_go, 30000);
}

// A viewer's decryption into memory on a thread of its own, watching its own flag.
class ViewerDecryption : public CThread {
public:
    explicit ViewerDecryption(const CString& path) : m_path(path), m_cipher(&abortFlag) {}
    ~ViewerDecryption() override { Stop(); }
    void Run() override
    {
        CString name;
        result = m_cipher.DecryptFileToMemory(m_path, name);
        if (result == CRYPT_OK)
            content.assign((const char*)m_cipher.GetMemoryData(), m_cipher.GetMemorySize());
    }

    AbortFlag abortFlag{0};
    std::atomic<int> result{1};
    std::string content;

private:
    CString m_path;
    CFileCipher m_cipher;
};

class JobCancellationTest : public JobTest {
protected:
    JobCancellationTest()
    {
        SetPassword(L"one password for both");
        s_go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    ~JobCancellationTest() override
    {
        CFileCipher::SetBlockHook(nullptr);
        SetEvent(s_go);
        CloseHandle(s_go);
        s_go = nullptr;
    }

    CString Encrypted(const CString& folder, const CString& plainName, const std::string& content)
    {
        CString plain = folder + L"\\" + plainName;
        qvtest::WriteFileBytes(plain, content);
        CString encrypted = folder + L"\\" + MakeStaticEncryptedFileName(plainName);
        CFileCipher cipher;
        CString name;
        EXPECT_EQ(cipher.CryptFile(plain, encrypted, CRYPT_MODE_ENCRYPT, name, nullptr, TRUE), CRYPT_OK);
        DeleteFileW(plain);
        return encrypted;
    }

    // Pumps (the job reports to this thread) until both decryptions wait at the meeting block.
    bool WaitUntilBothMeet()
    {
        DWORD start = GetTickCount();
        while (s_arrived.load() < 2 && GetTickCount() - start < 30000) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
            PumpPendingMessages();
        }
        return s_arrived.load() == 2;
    }
};

}  // namespace

TEST_F(JobCancellationTest, EachStopReachesOnlyItsOwnDecryption)
{
    const struct {
        const char* stop;
        bool stopJob;
    } cases[] = {{"the job's Cancel", true}, {"the viewer's stop", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stop);
        CString jobFolder = MakeFolder(c.stopJob ? L"job1" : L"job2");
        CString viewerFolder = MakeFolder(c.stopJob ? L"viewer1" : L"viewer2");
        const std::string jobContent = qvtest::PatternBytes(40 * 128 + 5, 1);
        const std::string viewerContent = qvtest::PatternBytes(30 * 128 + 7, 2);
        CString jobFile = Encrypted(jobFolder, L"job.bin", jobContent);
        ViewerDecryption viewer(Encrypted(viewerFolder, L"picture.png", viewerContent));

        s_arrived = 0;
        ResetEvent(s_go);
        CFileCipher::SetBlockHook(MeetAtBlock);
        ASSERT_TRUE(viewer.Start());
        m_window.reports.clear();
        m_doc->m_strCurrentFolder = jobFolder;
        ASSERT_TRUE(m_doc->StartJob(JOB_DECRYPT_FOLDER));
        ASSERT_TRUE(WaitUntilBothMeet());
        if (c.stopJob) {
            // What the progress window's Cancel does.
            g_StopRequested = 1;
            g_AbortRequested = 1;
        } else {
            viewer.abortFlag = 1;
        }
        SetEvent(s_go);
        WaitForJob();
        EXPECT_FALSE(viewer.WaitForExit(30000));
        CFileCipher::SetBlockHook(nullptr);

        if (c.stopJob) {
            EXPECT_EQ(viewer.result.load(), CRYPT_OK);
            EXPECT_TRUE(viewer.content == viewerContent);
            EXPECT_EQ(TreeListing(jobFolder, false), (std::vector<std::string>{U8(PathFilePartOf(jobFile))}))
                << "the job stopped within its file";
        } else {
            EXPECT_EQ(viewer.result.load(), CRYPT_ABORTED);
            EXPECT_EQ(TreeListing(jobFolder), (std::vector<std::string>{"job.bin=" + jobContent}))
                << "the job decrypted its file to the end";
            EXPECT_TRUE(m_window.HasLog(LOG_HEADING_OK, "Finished with No Errors"));
        }
    }
}

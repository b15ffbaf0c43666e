// Opening single files: temporary copies made at once or by the
// temporary-decryption job, the preview pane's hand-off and the commands'
// clearing of the pane, with a main window that records the pane's calls.
#include "tests/doc/JobTestSupport.h"
#include "tests/framework/windows/DialogDriver.h"

#include "crypt/EncryptedFileName.h"
#include "crypt/FileCipher.h"
#include "doc/FileKinds.h"
#include "doc/ImageViewerHost.h"
#include "doc/PreviewHost.h"
#include "res/resource.h"

#include <string>
#include <vector>

using namespace jobtest;
using qvtest::MessageBoxCapture;

namespace {

const char kCannotUnlock[] =
    "The current active password cannot unlock this file. Click on 'Enter Password' to enter the correct password";
const char kCrcFailed[] =
    "CRC failed, the file may be damaged. If the file has a recovery record, you may try to repair it... (Menu Tools)";

// The main window of these tests: records the job reports and every call the
// document makes on the preview pane, as "stop", "show:<path>" or
// "showAs:<path>|<name>", and the image viewers it asks for as "viewer:<path>|owned".
class PreviewRecordingWindow : public RecordingWindow, public CPreviewHost, public CImageViewerHost {
public:
    CFullImgView* OpenImageViewer(COrvantisDoc* owner, const CString& path, HWND& window) override
    {
        calls.push_back("viewer:" + path.ToUtf8() + (owner ? "|owned" : ""));
        window = nullptr;
        return viewerToGive;
    }
    CFullImgView* viewerToGive = nullptr;
    void ShowImagePreview(const CString& path) override { calls.push_back("show:" + path.ToUtf8()); }
    void ShowImagePreviewAs(const CString& path, const CString& shownName) override
    {
        calls.push_back("showAs:" + path.ToUtf8() + "|" + shownName.ToUtf8());
    }
    void StopImagePreview() override { calls.push_back("stop"); }

    std::vector<std::string> calls;
};

const std::vector<std::string> kCleared = {"stop", "show:"};

class TempDecryptTest : public JobTest {
protected:
    TempDecryptTest() { m_app->m_pMainWnd = &m_frame; }
    ~TempDecryptTest() override
    {
        for (const CString& path : m_made)
            DeleteFileW(path);
        m_app->m_pMainWnd = &m_window;
    }

    // An encrypted file under a random encrypted name whose stored plain name is `plainName`.
    CString Encrypt(const CString& plainName, const std::string& content)
    {
        CString plain = MakeFolder(L"plain") + L"\\" + plainName;
        qvtest::WriteFileBytes(plain, content);
        CString encrypted = Path(MakeRandomEncryptedFileName());
        CString stored;
        EXPECT_EQ(CFileCipher().CryptFile(plain, encrypted, CRYPT_MODE_ENCRYPT, stored, nullptr, TRUE), CRYPT_OK);
        DeleteFileW(plain);
        return encrypted;
    }

    // Opens through the document and keeps the copy and its placeholder for removal.
    CString Open(const CString& path, TempOpenInfo& info, bool videoAllowed)
    {
        CString result = m_doc->OpenTempDecrypted(path, info, videoAllowed);
        if (info.isTempCopy)
            Forget(result);
        return result;
    }

    // The copy and the "ENC....tmp" placeholder whose name it extends.
    void Forget(const CString& copy)
    {
        m_made.push_back(copy);
        int tmp = copy.Find(L".tmp");
        if (tmp > 0)
            m_made.push_back(copy.Left(tmp + 4));
    }

    std::vector<Report> ReportsWithCode(int code) const
    {
        std::vector<Report> out;
        for (const Report& r : m_frame.reports)
            if (r.code == code)
                out.push_back(r);
        return out;
    }

    PreviewRecordingWindow m_frame;
    std::vector<CString> m_made;
};

Report TempDecrypted(int result) { return {PROGRESS_TEMP_DECRYPTED, result, ""}; }

}  // namespace

TEST(FileKinds, MediaAndPictureEndingsAreTheLastFourCharactersInAnyCase)
{
    struct Case {
        const WCHAR* name;
        bool media;
        bool picture;
    };
    const Case cases[] = {
        {L"x.flac", true, false},  {L"x.webm", true, false},    {L"x.mpeg", true, false},
        {L"x.MP4", true, false},   {L"C:\\v\\clip.wmv", true, false}, {L"x.mp2", false, false},
        {L"mp4", false, false},    {L"x.JPEG", false, true},    {L"photo.jpg", false, true},
        {L"scan.TIFF", false, true}, {L"x.webp", false, false}, {L"", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsMediaFile(c.name), c.media) << CString(c.name).ToUtf8();
        EXPECT_EQ(IsPreviewImageName(c.name), c.picture) << CString(c.name).ToUtf8();
    }
}

TEST_F(TempDecryptTest, PlainFileComesBackAsItselfAndIsNoCopy)
{
    SetPassword(L"secret");
    CString movie = WriteFile(L"movie.mp4", "plain movie");
    CString notes = WriteFile(L"notes.txt", "plain notes");
    for (bool videoAllowed : {false, true}) {
        TempOpenInfo info;
        info.isTempCopy = true;
        EXPECT_EQ(Open(movie, info, videoAllowed), movie);
        EXPECT_FALSE(info.isTempCopy) << "the user's own file is never wiped";
        EXPECT_EQ(info.videoKind, TempOpenInfo::VIDEO_MEDIA) << "even when the player is not allowed";
        EXPECT_EQ(info.asynchronous + info.passwordAsked + info.showProgress, 0);
    }
    TempOpenInfo info;
    EXPECT_EQ(Open(notes, info, true), notes);
    EXPECT_EQ(info.videoKind, TempOpenInfo::VIDEO_NONE);
    EXPECT_FALSE(info.isTempCopy);
    EXPECT_EQ(qvtest::ReadFileBytes(movie), "plain movie");
    EXPECT_EQ(qvtest::ReadFileBytes(notes), "plain notes");
    EXPECT_EQ(TempFiles(), m_tempBefore) << "no placeholder for a plain file";
    EXPECT_EQ(m_frame.calls.size(), 6u) << "the pane is cleared at every open";
}

TEST_F(TempDecryptTest, SmallEncryptedFileIsDecryptedAtOnceIntoACopyWithThePlainExtension)
{
    SetPassword(L"secret");
    std::string content = qvtest::PatternBytes(300000, 7);
    CString encrypted = Encrypt(L"Report.Final.TXT", content);
    TempOpenInfo info;
    CString copy = Open(encrypted, info, true);
    ASSERT_FALSE(copy.IsEmpty());
    EXPECT_TRUE(info.isTempCopy);
    EXPECT_EQ(info.asynchronous, 0);
    EXPECT_EQ(info.videoKind, TempOpenInfo::VIDEO_NONE);
    EXPECT_EQ(copy.Right(8), CString(L".tmp.txt")) << "the placeholder's name plus the lower-cased extension";
    EXPECT_EQ(qvtest::ReadFileBytes(copy), content);
    EXPECT_EQ(qvtest::ReadFileBytes(copy.Left(copy.GetLength() - 4)), "") << "the empty placeholder stays";
    EXPECT_EQ(m_frame.calls, kCleared);
    EXPECT_TRUE(m_frame.reports.empty()) << "no job ran";
}

TEST_F(TempDecryptTest, MediaTakesNoExtensionWhenThePlayerMayPlayIt)
{
    SetPassword(L"secret");
    CString encrypted = Encrypt(L"movie.WMV", "not really a movie");
    struct Case {
        bool videoAllowed;
        int videoKind;
        int mediaFile;
        const WCHAR* ending;
    };
    const Case cases[] = {{true, TempOpenInfo::VIDEO_WMV, 1, L".tmp"}, {false, TempOpenInfo::VIDEO_NONE, 0, L".wmv"}};
    for (const Case& c : cases) {
        TempOpenInfo info;
        CString copy = Open(encrypted, info, c.videoAllowed);
        EXPECT_EQ(info.videoKind, c.videoKind) << c.videoAllowed;
        EXPECT_EQ(m_doc->m_bMediaFile, c.mediaFile) << c.videoAllowed;
        EXPECT_EQ(copy.Right(4), CString(c.ending)) << c.videoAllowed;
        EXPECT_EQ(qvtest::ReadFileBytes(copy), "not really a movie");
    }
}

TEST_F(TempDecryptTest, FailedDecryptionShowsItsMessageAndLeavesNoPlainData)
{
    SetPassword(L"secret");
    std::string content = qvtest::PatternBytes(50000, 3);
    CString damaged = Encrypt(L"damaged.txt", content);
    // One byte of the data changed: the whole file decrypts, its CRC does not match.
    std::string bytes = qvtest::ReadFileBytes(damaged);
    bytes[128 * 3 + 1000] ^= 0x20;
    qvtest::WriteFileBytes(damaged, bytes);
    CString other = Encrypt(L"other.txt", content);
    SetPassword(L"wrong");

    struct Case {
        CString path;
        const WCHAR* password;
        std::string message;
    };
    for (const Case& c : {Case{damaged, L"secret", kCrcFailed}, Case{other, L"wrong", kCannotUnlock}}) {
        SetPassword(c.password);
        std::set<std::string> before = TempFiles();
        MessageBoxCapture boxes;
        TempOpenInfo info;
        EXPECT_EQ(m_doc->OpenTempDecrypted(c.path, info, false), CString());
        EXPECT_FALSE(info.isTempCopy);
        ASSERT_EQ(boxes.texts.size(), 1u);
        EXPECT_EQ(boxes.texts[0].ToUtf8(), c.message);
        // Neither the copy nor its placeholder stays behind.
        EXPECT_EQ(TempFiles(), before);
    }
}

TEST_F(TempDecryptTest, WithoutAPasswordTheDocumentAsksAndCancelOpensNothing)
{
    CString encrypted = Path(L"3a{0F12A9BC44-7E01}.dat");
    qvtest::WriteFileBytes(encrypted, std::string(512, 'x'));
    TempOpenInfo info;
    CString result = L"unset";
    WithDialog([&] { result = m_doc->OpenTempDecrypted(encrypted, info, true); },
               [](CWnd& dialog) { qvtest::Click(dialog, IDCANCEL); });
    EXPECT_EQ(result, CString());
    EXPECT_EQ(info.passwordAsked, 1);
    EXPECT_FALSE(info.isTempCopy);
    EXPECT_EQ(TempFiles(), m_tempBefore);
}

TEST_F(TempDecryptTest, LargeFileIsDecryptedByTheJobWhichEndsWithItsResultAndNoJobEnd)
{
    SetPassword(L"secret");
    // 9,999,616 plain bytes make an encrypted file of exactly 10,000,000 bytes.
    std::string content = qvtest::PatternBytes(9999616, 11);
    CString atLimit = Encrypt(L"clip.mp4", content);
    ASSERT_EQ(qvtest::ReadFileBytes(atLimit).size(), 10000000u);
    TempOpenInfo info;
    CString copy = Open(atLimit, info, true);
    EXPECT_EQ(info.asynchronous, 0) << "10,000,000 bytes are decrypted at once";
    EXPECT_EQ(qvtest::ReadFileBytes(copy), content);

    // One byte more (behind the data, where a recovery section would stand) starts the job.
    HANDLE file = CreateFileW(atLimit, FILE_APPEND_DATA, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD wrote = 0;
    ::WriteFile(file, "!", 1, &wrote, nullptr);
    CloseHandle(file);
    m_app->WriteProfileInt(L"Settings", L"AsyncVideo", 1);
    info = TempOpenInfo();
    m_frame.reports.clear();
    CString growing;
    m_frame.onReport = [&](const Report& r) {
        if (r.code == PROGRESS_TEMP_DECRYPTED)
            growing = qvtest::ReadFileBytes(copy).size() == content.size() ? L"complete" : L"partial";
    };
    copy = Open(atLimit, info, true);
    EXPECT_EQ(info.asynchronous, 1);
    EXPECT_EQ(info.showProgress, 0);
    EXPECT_TRUE(info.isTempCopy);
    EXPECT_EQ(info.videoKind, TempOpenInfo::VIDEO_MEDIA);
    EXPECT_EQ(copy.Right(4), CString(L".tmp")) << "the player takes the copy without an extension";
    WaitForJob();
    EXPECT_EQ(qvtest::ReadFileBytes(copy), content);
    EXPECT_EQ(growing, CString(L"complete")) << "the views are told once the copy is complete";
    std::vector<Report> expected = {
        Begin("DeCrypting Temporary"),
        Log(LOG_PLAIN, "File " + U8(atLimit) + " >>>> " + U8(PathFilePartOf(copy))),
        Log(LOG_PLAIN, "ASYNC Decrypting Large file - you can cancel any time"),
        Log(LOG_INFO, "Decrypting..."),
        Log(LOG_INFO, "Requesting FAST Asynchronous Playback"),
        Log(LOG_OK, "Finished decrypting with No Errors"),
        Finish(false, "Temporary Decrypt: "),
        TempDecrypted(CRYPT_OK),
    };
    EXPECT_EQ(m_frame.reports, expected);
    EXPECT_TRUE(m_doc->m_strSourcePath.IsEmpty());
    EXPECT_TRUE(m_doc->m_strDestPath.IsEmpty());
}

TEST_F(TempDecryptTest, FailedJobTellsTheViewsItsResultBeforeWipingTheCopy)
{
    SetPassword(L"secret");
    // Over 20,000,000 bytes of something that is no encrypted file, kept sparse.
    CString fake = Path(L"7c{1234567890-ABCD}.dat");
    MakeSparseFile(fake, 20000001);
    TempOpenInfo info;
    CString copy = Open(fake, info, false);
    EXPECT_EQ(info.asynchronous, 1);
    EXPECT_EQ(info.showProgress, 1);
    WaitForJob();
    EXPECT_FALSE(qvtest::FileExists(copy));
    ASSERT_EQ(ReportsWithCode(PROGRESS_TEMP_DECRYPTED), std::vector<Report>{TempDecrypted(CRYPT_BAD_KEY)});
    EXPECT_TRUE(m_frame.HasLog(LOG_ERROR, kCannotUnlock));
    EXPECT_EQ(m_frame.reports.back(), Finish(true, "Temporary Decrypt: ")) << "the log is shown after a failure";
    EXPECT_TRUE(ReportsWithCode(PROGRESS_JOB_ENDED).empty());
}

TEST_F(TempDecryptTest, StopDuringTheJobWipesThePartialCopyAfterTheViewsLetGo)
{
    SetPassword(L"secret");
    std::string content = qvtest::PatternBytes(12000000, 5);
    CString encrypted = Encrypt(L"talk.txt", content);
    for (int videoViewOpen : {0, 1}) {
        m_frame.reports.clear();
        static std::atomic<bool> stopAsked;
        stopAsked = false;
        CFileCipher::SetBlockHook([](uint64_t block) {
            if (block == 60000 && !stopAsked.exchange(true)) {
                g_StopRequested = 1;
                g_AbortRequested = 1;
            }
        });
        TempOpenInfo info;
        CString copy = Open(encrypted, info, false);
        m_doc->m_bVideoViewOpen = videoViewOpen;
        std::string copyWhenTold;
        m_frame.onReport = [&](const Report& r) {
            if (r.code == PROGRESS_TEMP_DECRYPTED)
                copyWhenTold = qvtest::ReadFileBytes(copy);
        };
        WaitForJob();
        CFileCipher::SetBlockHook(nullptr);
        EXPECT_FALSE(copyWhenTold.empty()) << "the views are told while the partial copy still stands";
        EXPECT_EQ(copyWhenTold, content.substr(0, copyWhenTold.size()));
        EXPECT_FALSE(qvtest::FileExists(copy)) << "the partial copy is wiped";
        EXPECT_EQ(ReportsWithCode(PROGRESS_TEMP_DECRYPTED), std::vector<Report>{TempDecrypted(CRYPT_ABORTED)});
        EXPECT_TRUE(m_frame.HasLog(LOG_ERROR, "Stop received .... cleaning traces"));
        EXPECT_TRUE(m_frame.HasLog(LOG_ERROR, "Aborted during decrypting."));
        if (videoViewOpen) {
            EXPECT_EQ(m_frame.reports.back(), (Report{PROGRESS_CLOSE, 0, ""})) << "the video window's job just closes";
            EXPECT_EQ(m_doc->m_bVideoViewOpen.load(), 0);
        } else {
            EXPECT_EQ(m_frame.reports.back(), Finish(true, "Temporary Decrypt: "));
        }
    }
}

TEST_F(TempDecryptTest, PreviewShowsPicturesOnceAndClearsForAnythingElse)
{
    SetPassword(L"secret");
    CString photo = WriteFile(L"photo.JPG", "jpeg");
    CString notes = WriteFile(L"notes.txt", "text");
    CString secretPng = Encrypt(L"pic.png", "png");
    CString secretText = Encrypt(L"diary.txt", "text");
    struct Step {
        CString path;
        const WCHAR* shownName;
        std::vector<std::string> calls;
    };
    const Step steps[] = {
        {photo, L"", {"show:" + U8(photo)}},
        {photo, L"", {}},  // the same selection again does not reload the pane
        {notes, L"", {"show:"}},
        {photo, L"", {"show:" + U8(photo)}},  // after a clear the same picture shows again
        {secretPng, L"photo.jpg*", {"showAs:" + U8(secretPng) + "|photo.jpg"}},
        {secretText, L"", {"show:"}},
        {secretPng, L"", {"showAs:" + U8(secretPng) + "|pic.png"}},  // the name read from the file
        {secretText, L"diary.txt*", {"show:"}},
    };
    for (const Step& step : steps) {
        m_frame.calls.clear();
        m_doc->OpenImagePreview(step.path, step.shownName);
        EXPECT_EQ(m_frame.calls, step.calls) << U8(step.path) << " as " << CString(step.shownName).ToUtf8();
    }
    // Without a key an encrypted name tells nothing: ".dat" is no picture.
    SetPassword(CString());
    m_frame.calls.clear();
    m_doc->OpenImagePreview(secretPng, L"");
    EXPECT_EQ(m_frame.calls, std::vector<std::string>{"show:"});
    EXPECT_TRUE(m_doc->m_strLastPreview.IsEmpty());
}

TEST_F(TempDecryptTest, PreviewNeedsAMainWindowThatHoldsThePane)
{
    CString photo = WriteFile(L"photo.png", "png");
    m_app->m_pMainWnd = &m_window;  // records reports but holds no pane
    m_doc->OpenImagePreview(photo, L"");
    EXPECT_TRUE(m_doc->m_strLastPreview.IsEmpty());
    m_app->m_pMainWnd = &m_frame;
    m_doc->OpenImagePreview(photo, L"");
    EXPECT_EQ(m_frame.calls, std::vector<std::string>{"show:" + U8(photo)});
}

TEST_F(TempDecryptTest, CommandsClearThePaneFirstButTheIntegrityTestDoesNot)
{
    auto cancel = [](CWnd& dialog) { qvtest::Click(dialog, IDCANCEL); };
    struct Command {
        const char* name;
        std::function<void()> run;
        std::vector<std::string> calls;
    };
    const Command commands[] = {
        {"EnterPassword", [&] { m_doc->EnterPassword(); }, kCleared},
        {"DecryptSelectedInPlace", [&] { m_doc->DecryptSelectedInPlace(); }, kCleared},
        {"EncryptSelectedTo", [&] { m_doc->EncryptSelectedTo(Path(L"out"), m_folder.Path()); }, kCleared},
        {"StartIntegrityTest", [&] { m_doc->StartIntegrityTest(m_folder.Path()); }, {}},
    };
    for (const Command& command : commands) {
        m_doc->m_strLastPreview = L"C:\\shown.jpg";
        m_frame.calls.clear();
        WithDialog(command.run, cancel);
        EXPECT_EQ(m_frame.calls, command.calls) << command.name;
        EXPECT_EQ(m_doc->m_strLastPreview.IsEmpty(), !command.calls.empty()) << command.name;
    }
}

TEST_F(TempDecryptTest, ImageViewerIsOpenedByTheMainWindowAndKept)
{
    // Any address stands for the window the main window made; the document only keeps it.
    CFullImgView* made = reinterpret_cast<CFullImgView*>(&m_frame);
    m_frame.viewerToGive = made;
    m_doc->OpenSecureViewer(L"C:\\pictures\\{a1b2c3d4e5}", VIEWER_IMAGE);
    EXPECT_EQ(m_frame.calls, std::vector<std::string>{"viewer:C:\\pictures\\{a1b2c3d4e5}|owned"});
    EXPECT_EQ(m_doc->m_pImageViewer, made);

    m_app->m_pMainWnd = &m_window;  // no viewer offered: nothing opens, the pointer stays
    m_frame.calls.clear();
    m_doc->OpenSecureViewer(L"C:\\pictures\\b.png", VIEWER_IMAGE);
    EXPECT_TRUE(m_frame.calls.empty());
    EXPECT_EQ(m_doc->m_pImageViewer, made);
    m_doc->m_pImageViewer = nullptr;
}

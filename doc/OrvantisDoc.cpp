// COrvantisDoc: options, password, commands and the worker's life.
#include "doc/OrvantisDoc.h"

#include "crypt/FileCipher.h"
#include "crypt/FileOps.h"
#include "crypt/KeyState.h"
#include "framework/windows/AfxMessageBox.h"
#include "framework/windows/CWinApp.h"
#include "zip/PkException.h"
#include "zip/ZipFileSystem.h"

#include <objbase.h>

namespace {

CString WithBackslash(const CString& path)
{
    CString copy = path;
    CFileOps::AddBackslash(copy);
    return copy;
}

// 32 lower-case hexadecimal digits of a new GUID.
CString RandomTestPassword()
{
    GUID guid = {};
    CoCreateGuid(&guid);
    CString text;
    text.Format(L"%08lx%04x%04x%02x%02x%02x%02x%02x%02x%02x%02x", (uint32_t)guid.Data1, guid.Data2, guid.Data3,
                guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                guid.Data4[6], guid.Data4[7]);
    SecureZeroMemory(&guid, sizeof guid);
    return text;
}

}  // namespace

COrvantisDoc::COrvantisDoc()
{
    m_Options.LoadKept();
    // Like the kept options, the journal lives in the program's profile.
    m_tempCopyJournal.Begin(CTempCopyJournal::ProgramKey());
}

COrvantisDoc::~COrvantisDoc()
{
    CloseViewers();
    SaveSettings();
    if (IsRunning()) {
        // The job's own stop request first, so that it may still end by itself
        // within StopWorker's wait.
        g_StopRequested = 1;
        g_AbortRequested = 1;
        EndJobByForce();
    }
    m_strPassword.SecureEmpty();
}

BOOL COrvantisDoc::OnNewDocument() { return CDocument::OnNewDocument(); }

void COrvantisDoc::SaveSettings() { m_Options.SaveKept(); }

void COrvantisDoc::SetPasswordKey(const CString& password)
{
    SetNameKey(password);
    if (password.IsEmpty())
        ClearKey();
    else
        SetKeyFromDigest(g_NameKey);
}

void COrvantisDoc::ForgetPassword()
{
    m_strPassword.SecureEmpty();
    SetPasswordKey(m_strPassword);
}

bool COrvantisDoc::StartJob(int jobCode)
{
    // The request must not change under a worker that still runs.
    if (IsRunning())
        StopWorker();
    m_job = JobRequest();
    m_job.code = jobCode;
    m_job.folder = m_strCurrentFolder;
    m_job.selection = m_Selection;
    m_job.source = m_strSourcePath;
    m_job.destination = m_strDestPath;
    m_job.options = m_Options;
    m_job.mediaCopy = m_bMediaFile != 0;
    ClearCopyFolders();
    return Start();
}

bool COrvantisDoc::IsDecryptingInto(const CString& copy) const
{
    return IsRunning() && m_job.code == JOB_TEMP_DECRYPT && !copy.IsEmpty() &&
           m_job.destination.CompareNoCase(copy) == 0;
}

// The prompt of an encryption (password twice and ten options) or a
// decryption (password and its options); on OK the password and the options
// are taken over. `passFolderNames` false opens "Encrypt Folder Names" cleared.
bool COrvantisDoc::AskPasswordAndOptions(bool encrypt, bool passFolderNames)
{
    CString password = m_strPassword;
    JobOptions options = m_Options;
    if (encrypt && !passFolderNames)
        options.m_bEncryptFolderNames = 0;
    bool confirmed = m_pPrompts && (encrypt ? m_pPrompts->AskEncryptPassword(password, options)
                                            : m_pPrompts->AskDecryptPassword(password, options));
    if (confirmed) {
        m_strPassword = password;
        m_Options = options;
    }
    password.SecureEmpty();
    return confirmed;
}

// The source and destination folders of a "To" command, each ending in "\".
// False, after the message, when they are the same folder in any case of
// letters: the copies would land on the originals.
bool COrvantisDoc::SetCopyFolders(const CString& destination, const CString& source, const WCHAR* sameFolderMessage)
{
    m_strDestPath = WithBackslash(destination);
    m_strSourcePath = WithBackslash(source);
    if (m_strDestPath.CompareNoCase(m_strSourcePath) != 0)
        return true;
    ClearCopyFolders();
    AfxMessageBox(sameFolderMessage, MB_OK);
    return false;
}

void COrvantisDoc::ClearCopyFolders()
{
    m_strDestPath.Empty();
    m_strSourcePath.Empty();
}

// Asks for the password and options of an encryption or decryption and,
// after OK, installs the key and starts the job, unless the password is empty.
void COrvantisDoc::RunFileCommand(int jobCode, bool encrypt, bool passFolderNames, const CString& currentFolder)
{
    bool confirmed = AskPasswordAndOptions(encrypt, passFolderNames);
    if (!confirmed) {
        ClearCopyFolders();
        return;
    }
    m_strCurrentFolder = currentFolder;
    SetPasswordKey(m_strPassword);
    if (!m_strPassword.IsEmpty())
        StartJob(jobCode);
}

void COrvantisDoc::EncryptCurrentFolder(const CString& folder)
{
    if (!CheckFolderPolicy(folder))
        return;
    ClearCopyFolders();
    ClearImagePreview();
    RunFileCommand(JOB_ENCRYPT_FOLDER, true, true, folder);
}

void COrvantisDoc::EncryptSelectedTo(const CString& destination, const CString& source)
{
    ClearImagePreview();
    // "Souce": the misspelling is intended.
    if (SetCopyFolders(destination, source,
                       L"Souce and Destination folders are same, use Encrypt Folder or Encrypt Selected if you want to "
                       L"encrypt in place"))
        RunFileCommand(JOB_ENCRYPT_SELECTED, true, false, CString());
}

void COrvantisDoc::EncryptSelectedInPlace()
{
    ClearImagePreview();
    ClearCopyFolders();
    RunFileCommand(JOB_ENCRYPT_SELECTED, true, false, CString());
}

void COrvantisDoc::DecryptCurrentFolder(const CString& folder)
{
    ClearCopyFolders();
    ClearImagePreview();
    RunFileCommand(JOB_DECRYPT_FOLDER, false, false, folder);
}

void COrvantisDoc::DecryptSelectedTo(const CString& destination, const CString& source)
{
    ClearImagePreview();
    // "Souce": the misspelling is intended.
    if (SetCopyFolders(destination, source,
                       L"Souce and Destination folders are same, use Decrypt Folder or Decrypt Selected if you want to "
                       L"decrypt in place"))
        RunFileCommand(JOB_DECRYPT_SELECTED, false, false, CString());
}

void COrvantisDoc::DecryptSelectedInPlace()
{
    ClearImagePreview();
    ClearCopyFolders();
    RunFileCommand(JOB_DECRYPT_SELECTED, false, false, CString());
}

void COrvantisDoc::StartRecoveryJob(const CString& folder, bool repair)
{
    ClearCopyFolders();
    ClearImagePreview();
    m_strCurrentFolder = folder;
    StartJob(repair ? JOB_REPAIR_RECOVERY : JOB_VERIFY_RECOVERY);
}

bool COrvantisDoc::StartIntegrityTest(const CString& folder)
{
    CString password = RandomTestPassword();
    bool confirmed = m_pPrompts && m_pPrompts->AskTestPassword(password);
    if (!confirmed) {
        password.SecureEmpty();
        return false;
    }
    m_strPassword = password;
    password.SecureEmpty();
    m_strCurrentFolder = folder;
    if (m_strPassword.IsEmpty())
        return false;
    // The test key, from the start: the password and the key always agree on this thread.
    SetPasswordKey(m_strPassword);
    StartJob(JOB_INTEGRITY_TEST);
    return true;
}

bool COrvantisDoc::EnterPassword()
{
    ClearImagePreview();
    CString password = m_strPassword;
    bool confirmed = m_pPrompts && m_pPrompts->AskPassword(password);
    if (confirmed) {
        m_strPassword = password;
        SetPasswordKey(m_strPassword);
    }
    password.SecureEmpty();
    return confirmed;
}

void COrvantisDoc::OnAllowRootFolder()
{
    m_bAllowRootFolder = !m_bAllowRootFolder;
    if (m_bAllowRootFolder)
        AfxMessageBox(L"Encrypting a whole disk from the Root Folder is normally not a good idea, unless you are "
                      L"certain you want all the data encrypted on entire disk.",
                      MB_OK);
}

int COrvantisDoc::StopWorker()
{
    if (IsRunning()) {
        Stop();
        while (IsRunning())
            WaitForExit(100);
    }
    return 0;
}

void COrvantisDoc::EndJobByForce()
{
    StopWorker();
    if (m_job.code == JOB_INTEGRITY_TEST || !m_job.options.m_bKeepPassword)
        ForgetPassword();
    WipeTempFilesOfJob();
}

bool COrvantisDoc::RemoveTempFile(const CString& path, bool report)
{
    if (path.IsEmpty())
        return false;
    try {
        ZipFileSystem::RemoveFile(path, 0, true);
        return true;
    } catch (CPkException* e) {
        e->Delete();
        if (report)
            AfxMessageBox(L"Error - temp file not removed", MB_OK | MB_ICONERROR);
        return false;
    }
}

// The end of an encryption or decryption job: the password goes unless it is
// kept, the log is shown after errors or skips when the user asked for it,
// and the folders of a "To" command are forgotten.
void COrvantisDoc::FinishFileJob(int errors, int skipped, const WCHAR* caption)
{
    if (!m_job.options.m_bKeepPassword)
        OnUiThread([this] { ForgetPassword(); });
    bool keepLog = (errors > 0 && m_job.options.m_bKeepLogOnErrors) || (skipped > 0 && m_job.options.m_bKeepLogOnSkips);
    ProgressFinish(keepLog, caption);
}

// Small steps shared by the job bodies of the document.
#pragma once

#include "framework/base/CString.h"

#include "crypt/AddInfo.h"

#include <windows.h>

#include <cstdint>

class CFileCipher;
struct FileTimes;

// What happened to one file of a job's list.
enum FileOutcome { FILE_DONE, FILE_FAILED, FILE_STOPPED };

// The per-file work of a job that goes through an item list (encryption,
// decryption), run by RunFileList on the worker thread.
class CJobFileStep {
public:
    int errors = 0, skipped = 0;

    // True, after its warning line, for a file the job leaves alone by its name.
    virtual bool LeavesAlone(const CString& name) = 0;
    virtual FileOutcome Process(const CString& path) = 0;
    // True when a file left alone moves the bar as a done one does.
    virtual bool SkippedFileMovesBar() const = 0;

protected:
    ~CJobFileStep() = default;
};

// Runs the step on every file of the list in order, counting its failures
// and the files left alone (links, names of devices, names the step refuses);
// folders only move the bar. False when the user stopped the job.
bool RunFileList(const CAddInfoList& list, CJobFileStep& step);

// "CRC: " and the four stored CRC bytes in hex, then " (OK)" or " (Failed)".
CString CrcLine(const uint8_t crc[4], bool ok);
bool HasCrcBytes(const uint8_t crc[4]);
// True when the file exists and can be opened for reading.
bool CanOpenForReading(const CString& path);
// Wipes a temporary file that may hold plain data; nothing when it is gone.
void WipeTemporary(const CString& path);
// Moves a finished temporary file to its target without replacing anything
// there; a copy is made when the two lie on different volumes.
bool MoveToNewName(const CString& from, const CString& to);
// True for the system errors of a move whose target name is taken.
bool IsNameTaken(DWORD error);
// The log lines of a failed engine call on one file, as the jobs word them:
// `badKeyLine` for a wrong key (no line when null), `tooBigLine` for a file
// over the size limit (a %d in it shows the code), the read and write
// failures with their codes, and the two lines of a CRC mismatch.
void LogCryptFailure(int result, const uint8_t crc[4], const WCHAR* badKeyLine, const WCHAR* tooBigLine);
// The times of the input of the engine's last CryptFile (not valid when it
// did not open its input).
FileTimes InputTimesOf(const CFileCipher& cipher);
// True, after a warning line, for an item a job leaves alone: a link, never
// followed, renamed, wiped or deleted through, or a file or folder with the
// name of a device (IsDeviceName), never opened.
bool SkipLinkOrDevice(const CString& path);
// Text of an integer, for lines that join numbers and names without formatting them together.
CString NumberText(int64_t value);

// CFileCipher: encrypts plain files into the encrypted-file format
// (EncryptedFileHeader.h) and decrypts them back into files or memory, and
// reads the original name stored in an encrypted file. Every operation uses
// the process-wide g_FileKey (KeyState.h) and fails with CRYPT_BAD_KEY
// without one. Results are CRYPT_* codes; the engine shows no messages.
//
// One object is used by one thread at a time; several objects on different
// threads may work at once. Outputs left by a failed operation stay as far as
// they were written: removing them is the caller's business.
#pragma once

#include "framework/base/CString.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class CWorkerThread;
class Crc32;
struct EncryptedFileHeader;

enum CryptResult {
    CRYPT_OK = 0,
    CRYPT_BAD_KEY = -1,            // no key, wrong key, truncated or damaged header/data
    CRYPT_OPEN_INPUT_FAILED = -2,  // the input cannot be opened (also a missing input)
    CRYPT_WRITE_FAILED = -3,       // the output cannot be created or a write fell short
    CRYPT_READ_FAILED = -4,        // the input could not be read in full, or changed size while read
    CRYPT_TOO_BIG = -5,            // the input, or the encrypted file it would give, is above the size limit
    CRYPT_CRC_MISMATCH = -6,       // the decrypted output does not match the stored CRC-32
    CRYPT_NO_MEMORY = -7,          // the memory buffer cannot be allocated
    CRYPT_ABORTED = -8,            // the engine's abort flag was seen
};

// The code's name ("CRYPT_OK", ...), or "CRYPT_UNKNOWN".
const WCHAR* CryptResultName(int result);

enum CryptMode {
    CRYPT_MODE_ENCRYPT = 0,
    CRYPT_MODE_DECRYPT = 1,
};

// Asks an engine to abandon the file it is working on: tested before every
// full 128-byte data block. Each piece of work owns its flag (a job, a
// preview, a viewer, the player's copy); any thread may set it, and only its
// owner clears it, so stopping one piece of work never stops another.
typedef std::atomic<unsigned char> AbortFlag;

class CFileCipher {
public:
    // Files of more bytes than this are refused, encrypted or plain.
    static const uint64_t SIZE_LIMIT = 0x100000000ull;
    // Largest content DecryptFileToMemory accepts.
    static const uint64_t MEMORY_LIMIT = 104857600;

    // Bytes a caller will append behind the encrypted data of a file (a
    // recovery section), given the encrypted file's size; counted in the size limit.
    typedef uint64_t (*TrailerSizeFunction)(uint64_t encryptedSize);

    // `abortFlag` (may be null: nothing can abandon the work) is watched by
    // every operation of this engine and must outlive it.
    explicit CFileCipher(const AbortFlag* abortFlag = nullptr);
    ~CFileCipher();
    CFileCipher(const CFileCipher&) = delete;
    CFileCipher& operator=(const CFileCipher&) = delete;

    // Mode CRYPT_MODE_ENCRYPT: input -> encrypted output; originalName receives
    // the input's name and extension; with checkCrc the content's CRC-32 is
    // stored; crcBytes is not touched.
    // Mode CRYPT_MODE_DECRYPT: encrypted input -> plain output; originalName
    // receives the stored name; with checkCrc and a stored CRC the output is
    // checked against it (CRYPT_CRC_MISMATCH) and crcBytes (4 bytes, may be
    // null) receive the stored bytes, else zeros.
    int CryptFile(const CString& input, const CString& output, int mode, CString& originalName, uint8_t* crcBytes,
                  BOOL checkCrc);
    // Decryption into an output that other programs may read, but not write,
    // while it grows (a player reading along). No CRC check.
    int DecryptFileShared(const CString& input, const CString& output, CString& originalName);
    // Decryption into the object's memory buffer (content up to MEMORY_LIMIT).
    // After CRYPT_OK the buffer holds exactly the plain content; it stays the
    // object's until the next call, ReleaseMemory or destruction.
    int DecryptFileToMemory(const CString& path, CString& originalName);
    const uint8_t* GetMemoryData() const { return m_memory; }
    uint32_t GetMemorySize() const { return m_memorySize; }
    // Wipes and frees the memory buffer.
    void ReleaseMemory();

    // Verifies a new encrypted file without writing its plain content
    // anywhere: decrypts `encrypted` block by block in memory and compares
    // the result with the file `plain`. The result is the code that
    // CryptFile(encrypted, ..., CRYPT_MODE_DECRYPT, ..., checkCrc TRUE) would
    // return, CRYPT_CRC_MISMATCH included, and crcBytes (4 bytes, may be
    // null) receive what it would give them. sameContent is true only when the
    // result is CRYPT_OK and `plain`, which no one may be writing to (it is
    // opened with sharing for readers only), holds exactly the decrypted bytes.
    int VerifyEncryptedFile(const CString& encrypted, const CString& plain, uint8_t* crcBytes, bool& sameContent);

    // Keeping the output: with `keep` on, an encryption by CryptFile that
    // succeeds on a file small enough for the calling thread alone leaves
    // its output open in the object (shared as while it was written) until
    // CloseKeptOutput or the next CryptFile, so that the caller's next steps
    // need no new opening of it: VerifyEncryptedFile of that output reads
    // through it (and leaves it kept).
    void SetKeepOutput(bool keep) { m_keepOutput = keep; }
    // True while an output is kept.
    bool HasKeptOutput() const;
    void CloseKeptOutput();

    // The creation, last-access and last-write times the input of the last
    // CryptFile had when it was opened, before anything was read; false when
    // that call did not open its input or could not read them.
    bool GetInputTimes(FILETIME& created, FILETIME& accessed, FILETIME& written) const;

    // The original name stored in an encrypted file, or "" on any failure.
    CString ReadOriginalName(const CString& path);

    // Encrypted file names (EncryptedFileName.h); they use no state of the object.
    CString MakeStaticEncryptedName(const CString& plainName);
    CString MakeRandomEncryptedName();

    // Counts bytes appended behind new encrypted files in the size limit (null: none).
    void SetTrailerSize(TrailerSizeFunction function) { m_trailerSize = function; }
    // True when a plain file of this size can be encrypted within the size limit.
    bool CanEncryptSize(uint64_t plainSize) const;

    // Test hook: called before the abort test of every full data block, with the
    // block's index from 0 (null: none). Process-wide.
    static void SetBlockHook(void (*hook)(uint64_t blockIndex));
    // Test hook: large files are read and transformed by at most this many
    // helper threads (0: by the calling thread alone; -1: one per processor).
    // Applies to engines that have not started their helpers yet. Process-wide.
    static void SetHelperThreadLimit(int count);

private:
    struct ChunkJob;
    struct KeptOutput;
    struct Stream;
    // Where decrypted data goes.
    enum class Sink { File, Memory, Compare };

    int DecryptToFile(const CString& input, const CString& output, CString& originalName, uint8_t* crcBytes,
                      bool checkCrc);
    int Decrypt(const CString& input, const CString* output, DWORD outputShare, EncryptedFileHeader& header,
                CString& originalName, Crc32* crc);
    bool OpenInput(Stream& stream, const CString& input, int64_t& size);
    // Keeps the output of a successful encryption when asked.
    void KeepOutput(Stream& stream, const CString& output);
    int StartFromKeptOutput(Stream& stream);
    int StartStream(Stream& stream, bool inputOpen, bool tooBig, const CString* output, DWORD outputShare);
    int StartDecryption(Stream& stream, const CString& input, const CString* output, DWORD outputShare);
    int EncryptStream(Stream& stream, int64_t size, const CString& name, bool storeCrc);
    int EncryptDataBlocks(Stream& stream, uint64_t plainSize, Crc32* crc);
    int ReadHeaders(Stream& stream, Sink sink, EncryptedFileHeader& header);
    int DecryptDataBlocks(Stream& stream, uint64_t plainSize, Sink sink, Crc32* crc);
    int Deliver(Stream& stream, Sink sink, const ChunkJob& job);
    // The helper threads for this much data: none for small files; for large
    // ones started by the first that needs them and kept for later files.
    const std::vector<std::unique_ptr<CWorkerThread>>* WorkersFor(uint64_t dataBytes);

    // Full data blocks, from firstIndex on, that may be processed before an abort is seen.
    size_t BlocksBeforeAbort(uint64_t firstIndex, size_t count) const;
    bool AbortRequested() const { return m_abortFlag && m_abortFlag->load(std::memory_order_relaxed); }

    const AbortFlag* const m_abortFlag;
    TrailerSizeFunction m_trailerSize = nullptr;
    std::vector<std::unique_ptr<CWorkerThread>> m_workers;
    bool m_workersStarted = false;
    bool m_keepOutput = false;
    std::unique_ptr<KeptOutput> m_kept;  // null: none kept
    FILETIME m_inputTimes[3] = {};
    bool m_inputTimesValid = false;
    uint8_t* m_memory = nullptr;
    uint32_t m_memorySize = 0;
    uint32_t m_memoryFill = 0;
};

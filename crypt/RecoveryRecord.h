// Recovery sections: a CRC-32 for every block of the bytes before the section
// and one parity block (the xor of all those blocks), appended at the end of
// an encrypted file, where the file format ignores it. Damage confined to one
// block is found by the CRCs and repaired in place from the parity.
//
// Layout, with S the section's offset and numbers little-endian u32:
//   S            head magic 2B 16 80 08
//   S + 4        block size BS, 1 to 102,400
//   S + 8        block count N = ceil(S / BS)
//   S + 12       N CRC-32s, each four bytes most significant first; the last
//                block's CRC is taken over the block padded with zeros to BS
//   S + 12 + 4N  the parity block: xor of all N blocks, the last one padded
//   F - 8        section length L = 12 + 4N + BS (without its last 8 bytes)
//   F - 4        end magic FF E6 56 07
// Readers find the section from its end and refuse one whose fields do not
// agree with each other or with the file before they trust any of them.
#pragma once

#include "framework/base/CString.h"

#include <cstdint>

enum RecoveryResult {
    RECOVERY_OK = 0,               // Verify: every block matches; Repair: the bad block was rebuilt and written
    RECOVERY_NO_SECTION = 2,       // file under 512 bytes, end magic, length or head magic missing
    RECOVERY_DAMAGED_SECTION = 3,  // fields that do not agree, a short read, or (Repair) a rebuilt block that does not match
    RECOVERY_UNRECOVERABLE = 4,    // more than one bad block
    RECOVERY_ONE_BAD_BLOCK = 5,    // Verify: exactly one bad block, which Repair can rebuild
    RECOVERY_CANNOT_OPEN = -1,
    RECOVERY_CANNOT_WRITE = -2,
    RECOVERY_NO_MEMORY = -4,
};

class CRecoveryRecord {
public:
    static constexpr uint32_t MAX_BLOCK_SIZE = 102400;
    // Smaller files never carry a section (the writer's files are always larger).
    static constexpr int64_t MIN_FILE_SIZE = 512;

    CRecoveryRecord() = default;

    // Checks every protected block against its stored CRC. badIndex receives the
    // index of the last bad block (-1 for none), badCount the number of bad blocks.
    int Verify(const CString& path, int64_t& badIndex, int64_t& badCount);
    // Rebuilds a single bad block from the parity and writes it back when the
    // rebuilt block matches its stored CRC. The file is changed only then, and
    // keeps its times.
    int Repair(const CString& path);

    // Of the last operation: the blocks examined and the block size read.
    int64_t GetBlockCount() const { return m_nBlockCount; }
    uint32_t GetBlockSize() const { return m_nBlockSize; }

    // The writer. Block size for a protected region of this many bytes: about
    // twice its square root (which keeps CRCs plus parity smallest), in whole
    // 128-byte cipher blocks, from 1024 to MAX_BLOCK_SIZE.
    static uint32_t ChooseBlockSize(uint64_t protectedSize);
    // Bytes the section adds behind a protected region of this size.
    static uint64_t SectionSize(uint64_t protectedSize);
    // Appends a section protecting the whole file as it is (RECOVERY_OK,
    // RECOVERY_CANNOT_OPEN, RECOVERY_CANNOT_WRITE or RECOVERY_NO_MEMORY). A
    // failed append leaves the file as it was.
    static int Append(const CString& path);

private:
    struct Section;
    struct BadBlocks;
    class Reader;

    int OpenSection(Reader& reader, Section& section);

    int64_t m_nBlockCount = 0;
    uint32_t m_nBlockSize = 1024;
};

#include "zip/PkEntryInflater.h"

#include "zip/PkException.h"

#include <winternl.h>
#include <zlib.h>

#include <algorithm>

namespace {
int CauseOfInflate(int code)
{
    switch (code) {
    case Z_NEED_DICT: return ZipCauseNeedDict;
    case Z_ERRNO: return ZipCauseErrNo;
    case Z_STREAM_ERROR: return ZipCauseStreamError;
    case Z_DATA_ERROR: return ZipCauseDataError;
    case Z_MEM_ERROR: return ZipCauseMemError;
    case Z_BUF_ERROR: return ZipCauseBufError;
    case Z_VERSION_ERROR: return ZipCauseVersionError;
    default: return ZipCauseGeneric;
    }
}
}  // namespace

CPkEntryInflater::CPkEntryInflater(HANDLE archive, uint64_t dataOffset, const ZipEntryFacts& facts, bool extract,
                                   const CString& outputFolder, const CString& freeTarget, uint32_t bufferSize)
    : m_archive(archive), m_dataOffset(dataOffset), m_facts(facts), m_extract(extract), m_outputFolder(outputFolder),
      m_freeTarget(freeTarget), m_bufferSize(std::max<uint32_t>(bufferSize, 262144))
{
}

CPkEntryInflater::~CPkEntryInflater()
{
    if (m_error)
        m_error->Delete();
}

void CPkEntryInflater::Run(const std::atomic<bool>& cancelled, CPkShelf<CPkInflateScratch>& scratch)
{
    if (cancelled.load()) {
        m_cause = ZipCauseAbortedAction;
        return;
    }
    try {
        if (m_extract && !m_freeTarget.IsEmpty()) {
            if (!m_output.CreateAtTarget(m_freeTarget)) {
                m_targetTaken = true;
                return;
            }
        } else if (m_extract) {
            m_output.Create(m_outputFolder);
        }
        CPkShelf<CPkInflateScratch>::Loan buffers(scratch);
        if (m_facts.method == 8)
            Inflate(cancelled, *buffers);
        else
            Copy(cancelled, *buffers);
        // Fewer bytes than the header promised, or a CRC that differs.
        if (m_cause == 0 && m_produced != m_facts.uncomprSize)
            m_cause = ZipCauseBadZipFile;
        if (m_cause == 0 && m_crc != m_facts.crc)
            m_cause = ZipCauseBadCrc;
        // A file at its target that will not be kept goes before it could turn read-only.
        if (m_cause == 0 && m_extract && !m_freeTarget.IsEmpty() && cancelled.load())
            m_cause = ZipCauseAbortedAction;
        if (m_cause == 0 && m_extract)
            m_timesSet = m_output.SetTimesAndAttributes(m_facts.modification, m_facts.creation, m_facts.access,
                                                        m_facts.attributes);
        if (m_cause == 0 && m_extract && !m_freeTarget.IsEmpty()) {
            m_output.KeepAtTarget();
            m_placed = true;
        }
    } catch (CException* e) {
        m_error = e;
    }
}

// Reads at an offset without an OVERLAPPED: ReadFile with one names it as the
// completion value, and Wine then asks its server to post a completion for
// every read, which all workers would queue for.
bool CPkEntryInflater::ReadAt(uint64_t offset, char* into, uint32_t count)
{
    while (count > 0) {
        IO_STATUS_BLOCK io = {};
        LARGE_INTEGER at;
        at.QuadPart = (LONGLONG)offset;
        NTSTATUS status = NtReadFile(m_archive, nullptr, nullptr, nullptr, &io, into, count, &at, nullptr);
        DWORD got = (DWORD)io.Information;
        if (status != 0 || got == 0)
            return false;
        into += got;
        offset += got;
        count -= got;
    }
    return true;
}

void CPkEntryInflater::Produce(const char* bytes, uint32_t count)
{
    m_crc = (uint32_t)crc32(m_crc, (const Bytef*)bytes, count);
    m_produced += count;
    if (m_extract)
        m_output.Write(bytes, count);
}

void CPkEntryInflater::Copy(const std::atomic<bool>& cancelled, CPkInflateScratch& scratch)
{
    CPkBytes& buffer = scratch.input;
    buffer.Resize(m_bufferSize);
    uint64_t offset = m_dataOffset;
    uint32_t left = m_facts.comprSize;
    while (left > 0) {
        if (cancelled.load()) {
            m_cause = ZipCauseAbortedAction;
            return;
        }
        uint32_t n = std::min<uint32_t>(left, m_bufferSize);
        if (!ReadAt(offset, buffer.Data(), n)) {
            m_cause = ZipCauseBadZipFile;
            return;
        }
        Produce(buffer.Data(), n);
        offset += n;
        left -= n;
    }
}

void CPkEntryInflater::Inflate(const std::atomic<bool>& cancelled, CPkInflateScratch& scratch)
{
    CPkBytes &input = scratch.input, &output = scratch.output;
    input.Resize(m_bufferSize);
    output.Resize(m_bufferSize);
    if (!scratch.stream.StartInflate()) {
        m_cause = ZipCauseMemError;
        return;
    }
    z_stream& stream = scratch.stream.Stream();
    uint64_t offset = m_dataOffset;
    uint32_t left = m_facts.comprSize;
    int result = Z_OK;
    while (result != Z_STREAM_END) {
        if (cancelled.load()) {
            m_cause = ZipCauseAbortedAction;
            break;
        }
        if (stream.avail_in == 0 && left > 0) {
            uint32_t n = std::min<uint32_t>(left, m_bufferSize);
            if (!ReadAt(offset, input.Data(), n)) {
                m_cause = ZipCauseBadZipFile;
                break;
            }
            offset += n;
            left -= n;
            stream.next_in = (Bytef*)input.Data();
            stream.avail_in = n;
        }
        stream.next_out = (Bytef*)output.Data();
        stream.avail_out = m_bufferSize;
        result = inflate(&stream, Z_NO_FLUSH);
        uint32_t got = m_bufferSize - stream.avail_out;
        if (m_produced + got > m_facts.uncomprSize) {
            // More data than the header says: not the entry it claims to be.
            m_cause = ZipCauseBadZipFile;
            break;
        }
        if (got)
            Produce(output.Data(), got);
        if (result != Z_OK && result != Z_STREAM_END) {
            m_cause = CauseOfInflate(result);
            break;
        }
    }
    // Whole reads of compressed data the stream did not reach, as the
    // entry reader judges them.
    if (m_cause == 0 && left > 0)
        m_cause = ZipCauseBadZipFile;
}

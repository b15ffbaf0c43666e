#include "ReaderTestSupport.h"

#include <atomic>

#include "../../QvTest.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicSources.h"

namespace readertest {

CString FixturePath(const char* name) {
    CString path = L"Z:" + CString(QV_READER_FIXTURES) + L"/" + CString(name);
    path.Replace(L'/', L'\\');
    return path;
}

std::string FixtureBytes(const char* name) {
    return qvtest::ReadFileBytes(FixturePath(name));
}

Source::Source(Kind kind, const std::string& bytes, const wchar_t* fileName) : m_bytes(bytes) {
    if (kind == kMemory) {
        m_source = pic_OpenMemorySource(m_bytes.data(), (uint32_t)m_bytes.size());
        return;
    }
    static std::atomic<int> counter{0};
    WCHAR folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    WCHAR unique[32];
    wsprintfW(unique, L"qvreader-%u-%d-", GetCurrentProcessId(), counter++);
    m_path = CString(folder);
    m_path += unique;
    m_path += fileName;
    qvtest::WriteFileBytes(m_path, m_bytes);
    m_source = pic_OpenFileSourceW(m_path);
}

Source::~Source() {
    if (m_source != nullptr) pic_CloseSource(m_source);
    if (!m_path.IsEmpty()) DeleteFileW(m_path);
}

std::string Hex(const uint8_t* bytes, size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < n; ++i) {
        if (i % 4 == 0 && i != 0) text += ' ';
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

int32_t CallDepth() { return GetThreadState()->callDepth; }

void Put16(std::string& out, uint32_t value) {
    out.push_back((char)(value & 0xFF));
    out.push_back((char)((value >> 8) & 0xFF));
}

void Put32(std::string& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

void MutateOnce(std::string& bytes, size_t at, std::mt19937& random) {
    switch (random() % 6) {
    case 0: bytes[at] = (char)(bytes[at] ^ (1 << (random() % 8))); break;
    case 1: bytes[at] = (char)0xFF; break;
    case 2: bytes[at] = 0; break;
    case 3: bytes.resize(at); break;
    case 4: bytes.insert(at, 1 + random() % 8, (char)random()); break;
    default: bytes.erase(at, 1 + random() % 8); break;
    }
}

std::string EnhancedMetafileBytes(HENHMETAFILE emf) {
    UINT size = GetEnhMetaFileBits(emf, 0, nullptr);
    std::string bytes(size, '\0');
    GetEnhMetaFileBits(emf, size, (BYTE*)bytes.data());
    DeleteEnhMetaFile(emf);
    return bytes;
}

}  // namespace readertest

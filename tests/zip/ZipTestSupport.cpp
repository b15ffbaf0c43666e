#include "tests/zip/ZipTestSupport.h"

#include <zlib.h>

namespace ziptest {

uint16_t GetU16(const std::string& s, size_t at) { return (uint16_t)((uint8_t)s[at] | ((uint8_t)s[at + 1] << 8)); }
uint32_t GetU32(const std::string& s, size_t at) { return GetU16(s, at) | ((uint32_t)GetU16(s, at + 2) << 16); }
void PutU16(std::string& s, size_t at, uint16_t v)
{
    s[at] = (char)(v & 0xFF);
    s[at + 1] = (char)(v >> 8);
}
void PutU32(std::string& s, size_t at, uint32_t v)
{
    PutU16(s, at, (uint16_t)v);
    PutU16(s, at + 2, (uint16_t)(v >> 16));
}

namespace {
void Append16(std::string& s, uint16_t v)
{
    s += (char)(v & 0xFF);
    s += (char)(v >> 8);
}
void Append32(std::string& s, uint32_t v)
{
    Append16(s, (uint16_t)v);
    Append16(s, (uint16_t)(v >> 16));
}
}  // namespace

uint32_t Crc(const std::string& data) { return (uint32_t)crc32(0, (const Bytef*)data.data(), (uInt)data.size()); }

std::string Deflate(const std::string& data)
{
    z_stream z = {};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, data.size()), '\0');
    z.next_in = (Bytef*)data.data();
    z.avail_in = (uInt)data.size();
    z.next_out = (Bytef*)&out[0];
    z.avail_out = (uInt)out.size();
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

std::string BuildArchive(const std::vector<RawEntry>& entries, const std::string& comment)
{
    std::string out, central;
    for (const RawEntry& e : entries) {
        uint32_t offset = (uint32_t)out.size();
        uint32_t crc = e.crc ? e.crc : Crc(e.data);
        uint32_t compr = e.comprSize >= 0 ? (uint32_t)e.comprSize : (uint32_t)e.data.size();
        uint32_t uncompr = e.uncomprSize >= 0 ? (uint32_t)e.uncomprSize : (uint32_t)e.data.size();
        out += "PK\x03\x04";
        Append16(out, 20);
        Append16(out, e.flags);
        Append16(out, e.method);
        Append16(out, 0);
        Append16(out, 0x21);
        Append32(out, crc);
        Append32(out, compr);
        Append32(out, uncompr);
        Append16(out, (uint16_t)e.name.size());
        Append16(out, 0);
        out += e.name;
        out += e.data;
        central += "PK\x01\x02";
        central += (char)20;
        central += (char)e.host;
        Append16(central, 20);
        Append16(central, e.flags);
        Append16(central, e.method);
        Append16(central, 0);
        Append16(central, 0x21);
        Append32(central, crc);
        Append32(central, compr);
        Append32(central, uncompr);
        Append16(central, (uint16_t)e.name.size());
        Append16(central, 0);
        Append16(central, 0);
        Append16(central, 0);
        Append16(central, 0);
        Append32(central, e.external);
        Append32(central, e.centralOffset >= 0 ? (uint32_t)e.centralOffset : offset);
        central += e.name;
    }
    uint32_t directoryOffset = (uint32_t)out.size();
    out += central;
    out += "PK\x05\x06";
    Append16(out, 0);
    Append16(out, 0);
    Append16(out, (uint16_t)entries.size());
    Append16(out, (uint16_t)entries.size());
    Append32(out, (uint32_t)central.size());
    Append32(out, directoryOffset);
    Append16(out, (uint16_t)comment.size());
    out += comment;
    return out;
}

int CauseOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (CPkException* e) {
        int cause = e->m_iCause;
        e->Delete();
        return cause;
    } catch (CException* e) {
        e->Delete();
        return -1;
    }
    return 0;
}

std::string PackInMemory(const std::vector<std::pair<CString, std::string>>& files, const WCHAR* password, int level)
{
    qvtest::TempFolder dir;
    CPkMemFile memory;
    CPkArchive archive;
    archive.OpenArchive(memory, CPkStorage::omCreate);
    archive.SetPassword(password);
    for (const auto& file : files) {
        CString path = dir.WriteFile(L"f.bin", file.second);
        ZipAddRequest request(path, false);
        request.m_szFileNameInZip = file.first;
        request.m_iComprLevel = level;
        request.m_iSmartLevel = 0;
        archive.AddFile(request);
    }
    archive.CloseArchive();
    return std::string(memory.GetData(), (size_t)memory.GetLength());
}

int TestAllInMemory(const std::string& bytes, const WCHAR* password)
{
    CPkMemFile memory;
    memory.Write(bytes.data(), (UINT)bytes.size());
    CPkArchive archive;
    int cause = CauseOf([&] {
        archive.OpenArchive(memory, CPkStorage::omOpen);
        archive.SetPassword(password);
        for (uint16_t i = 0; i < archive.GetEntryCount(); ++i)
            if (!archive.TestEntry(i, 65536))
                ThrowZipException(ZipCauseGeneric);
    });
    archive.CloseArchive(CPkArchive::cmAfterException);
    return cause;
}

}  // namespace ziptest

// The directory is read through the handle's own byte source (the client
// data), never through a mapping: every handle of ours is opened unmapped.
// The byte order comes from TIFFIsByteSwapped and TIFFIsBigEndian, and small
// values are taken from the entry's value field by their bytes in file order.
#include "imaging/readers/PicTiffSubDirectory.h"

#include <cstring>
#include <vector>

#include "framework/base/WipedMemory.h"
#include "imaging/readers/PicIO.h"
#include "imaging/readers/PicTiffPage.h"

namespace {

constexpr uint32_t kEntryBytes = 12;

struct DirEntry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    uint32_t value;     // host order
    uint8_t raw[4];     // the value field as stored
};

const char* ModuleOf(TIFF* tiff) { return TIFFFileName(tiff); }

const char* NameForTag(TIFF* tiff, uint32_t tag) {
    const TIFFField* field = TIFFFieldWithTag(tiff, tag);
    const char* name = field != nullptr ? TIFFFieldName(field) : nullptr;
    return name != nullptr ? name : "Tag not found";
}

uint64_t SourceSize(CPicIO& source) {
    uint64_t size = 0;
    return source.GetSize(&size) ? size : 0;
}

bool ReadAt(CPicIO& source, uint64_t offset, void* buffer, uint64_t n) {
    if (n > 0xFFFFFFFFu || offset > (uint64_t)INT64_MAX || !source.Seek((int64_t)offset, 0)) return false;
    uint64_t position = 0;
    return source.Tell(&position) && position == offset && source.ReadExact(buffer, (uint32_t)n);
}

// Converts `count` values of `width` bytes from the file's byte order.
void SwabValues(TIFF* tiff, uint8_t* values, uint64_t count, int width, int type) {
    if (!TIFFIsByteSwapped(tiff)) return;
    if (type == TIFF_RATIONAL || type == TIFF_SRATIONAL) count *= 2, width = 4;
    switch (width) {
    case 2: TIFFSwabArrayOfShort(reinterpret_cast<uint16_t*>(values), (tmsize_t)count); break;
    case 4: TIFFSwabArrayOfLong(reinterpret_cast<uint32_t*>(values), (tmsize_t)count); break;
    case 8: TIFFSwabArrayOfDouble(reinterpret_cast<double*>(values), (tmsize_t)count); break;
    default: break;
    }
}

class CPrivateDirectoryReader {
public:
    CPrivateDirectoryReader(TIFF* tiff, const TIFFFieldInfo* table, size_t rows, TiffPrivateSetField callback,
                            void* user)
        : m_tiff(tiff), m_source(*TiffSourceOf(tiff)), m_table(table), m_rows(rows), m_callback(callback),
          m_user(user), m_fileSize(SourceSize(m_source)) {}

    int Read(uint64_t offset);

private:
    bool ReadEntries(uint64_t offset, std::vector<DirEntry>& entries);
    bool FetchValue(const DirEntry& entry, const TIFFFieldInfo& row);
    bool FetchData(const DirEntry& entry, uint8_t* destination);
    bool CheckCount(const DirEntry& entry, uint64_t expected);
    int Call(const TIFFFieldInfo& row, uint32_t tag, uint32_t count, const void* values);

    TIFF* m_tiff;
    CPicIO& m_source;
    const TIFFFieldInfo* m_table;
    size_t m_rows;
    TiffPrivateSetField m_callback;
    void* m_user;
    uint64_t m_fileSize;
};

bool CPrivateDirectoryReader::ReadEntries(uint64_t offset, std::vector<DirEntry>& entries) {
    if (TIFFIsBigTIFF(m_tiff)) {
        TIFFErrorExt(m_tiff, ModuleOf(m_tiff), "Can not read TIFF private subdirectory count");
        return false;
    }
    uint64_t position = 0;
    if (offset > (uint64_t)INT64_MAX || !m_source.Seek((int64_t)offset, 0) || !m_source.Tell(&position) ||
        position != offset) {
        TIFFErrorExt(m_tiff, ModuleOf(m_tiff), "Seek error accessing TIFF private subdirectory");
        return false;
    }
    uint16_t count = 0;
    if (!m_source.ReadExact(&count, 2)) {
        TIFFErrorExt(m_tiff, ModuleOf(m_tiff), "Can not read TIFF private subdirectory count");
        return false;
    }
    if (TIFFIsByteSwapped(m_tiff)) TIFFSwabShort(&count);
    uint64_t bytes = (uint64_t)count * kEntryBytes;
    // Only what the source still holds is allocated.
    if (offset + 2 + bytes > m_fileSize) {
        TIFFErrorExt(m_tiff, ModuleOf(m_tiff), "Can not read TIFF private subdirectory");
        return false;
    }
    std::vector<uint8_t> raw(bytes);
    if (bytes != 0 && !m_source.ReadExact(raw.data(), (uint32_t)bytes)) {
        TIFFErrorExt(m_tiff, ModuleOf(m_tiff), "Can not read TIFF private subdirectory");
        return false;
    }
    uint32_t next = 0;
    m_source.ReadExact(&next, 4);  // the next directory is not followed
    entries.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* p = raw.data() + (uint64_t)i * kEntryBytes;
        DirEntry& e = entries[i];
        memcpy(&e.tag, p, 2);
        memcpy(&e.type, p + 2, 2);
        memcpy(&e.count, p + 4, 4);
        memcpy(&e.value, p + 8, 4);
        memcpy(e.raw, p + 8, 4);
        if (TIFFIsByteSwapped(m_tiff)) {
            TIFFSwabShort(&e.tag);
            TIFFSwabShort(&e.type);
            TIFFSwabLong(&e.count);
            TIFFSwabLong(&e.value);
        }
    }
    return true;
}

int CPrivateDirectoryReader::Read(uint64_t offset) {
    std::vector<DirEntry> entries;
    if (!ReadEntries(offset, entries)) return 0;
    if (m_rows == 0) return 1;
    size_t cursor = 0;
    bool warnedOrder = false;
    for (const DirEntry& entry : entries) {
        if (entry.tag < m_table[cursor].field_tag) {
            if (!warnedOrder)
                TIFFWarningExt(m_tiff, ModuleOf(m_tiff),
                               "invalid TIFF private subdirectory; tags are not sorted in ascending order");
            warnedOrder = true;
            cursor = 0;
        }
        while (cursor + 1 < m_rows && m_table[cursor].field_tag < entry.tag) ++cursor;
        if (m_table[cursor].field_tag != entry.tag) {
            TIFFWarningExt(m_tiff, ModuleOf(m_tiff), "unknown field with tag %d (0x%x) in private subdirectory ignored",
                           entry.tag, entry.tag);
            cursor = 0;
            continue;
        }
        size_t match = cursor;
        const TIFFFieldInfo* row = nullptr;
        for (; match < m_rows && m_table[match].field_tag == entry.tag; ++match)
            if (m_table[match].field_type == entry.type || m_table[match].field_type == 0) {
                row = &m_table[match];
                break;
            }
        if (row == nullptr) {
            size_t last = match - 1;
            TIFFWarningExt(m_tiff, ModuleOf(m_tiff), "wrong data type %d for \"%s\"; tag ignored", entry.type,
                           m_table[last].field_name);
            continue;
        }
        if (row->field_readcount != TIFF_VARIABLE && row->field_readcount != TIFF_VARIABLE2) {
            uint64_t expected = (uint64_t)(int64_t)row->field_readcount;
            if (row->field_readcount == TIFF_SPP) {
                uint16_t samples = 1;
                TIFFGetFieldDefaulted(m_tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
                expected = samples;
            }
            if (entry.count != expected) {
                TIFFWarningExt(m_tiff, ModuleOf(m_tiff), "incorrect count for field \"%s\" (%lu, expecting %lu); tag ignored",
                               NameForTag(m_tiff, entry.tag), (unsigned long)entry.count, (unsigned long)expected);
                continue;
            }
        }
        if (!FetchValue(entry, *row)) return 0;
    }
    return 1;
}

bool CPrivateDirectoryReader::FetchData(const DirEntry& entry, uint8_t* destination) {
    int width = TIFFDataWidth((TIFFDataType)entry.type);
    uint64_t size = (uint64_t)entry.count * (uint64_t)width;
    if (entry.value + size > m_fileSize || !ReadAt(m_source, entry.value, destination, size)) {
        TIFFErrorExt(m_tiff, ModuleOf(m_tiff), "Error fetching data for field \"%s\"", NameForTag(m_tiff, entry.tag));
        return false;
    }
    SwabValues(m_tiff, destination, entry.count, width, entry.type);
    return true;
}

bool CPrivateDirectoryReader::CheckCount(const DirEntry& entry, uint64_t expected) {
    if (entry.count == expected) return true;
    TIFFWarningExt(m_tiff, ModuleOf(m_tiff), "incorrect count for field \"%s\" (%lu, expecting %lu); tag ignored",
                   NameForTag(m_tiff, entry.tag), (unsigned long)entry.count, (unsigned long)expected);
    return false;
}

int CPrivateDirectoryReader::Call(const TIFFFieldInfo& row, uint32_t tag, uint32_t count, const void* values) {
    if (row.field_passcount) return m_callback(m_tiff, m_user, tag, count, values);
    if (count > 1) return m_callback(m_tiff, m_user, tag, values);
    const uint8_t* v = static_cast<const uint8_t*>(values);
    uint32_t a, b;
    switch (row.field_type != 0 ? (int)row.field_type : TIFF_LONG) {
    case TIFF_RATIONAL:
    case TIFF_SRATIONAL:
        memcpy(&a, v, 4), memcpy(&b, v + 4, 4);
        return m_callback(m_tiff, m_user, tag, a, b);
    case TIFF_FLOAT: {
        float f;
        memcpy(&f, v, 4);
        return m_callback(m_tiff, m_user, tag, (double)f);
    }
    case TIFF_DOUBLE: {
        double d;
        memcpy(&d, v, 8);
        return m_callback(m_tiff, m_user, tag, d);
    }
    case TIFF_LONG:
    case TIFF_SLONG:
        memcpy(&a, v, 4);
        return m_callback(m_tiff, m_user, tag, (int)a);
    case TIFF_SHORT:
    case TIFF_SSHORT: {
        uint16_t s;
        memcpy(&s, v, 2);
        return m_callback(m_tiff, m_user, tag, (int)s);
    }
    default: return m_callback(m_tiff, m_user, tag, (int)v[0]);
    }
}

bool CPrivateDirectoryReader::FetchValue(const DirEntry& entry, const TIFFFieldInfo& row) {
    if (entry.type < TIFF_BYTE || entry.type > TIFF_DOUBLE) return false;
    int width = TIFFDataWidth((TIFFDataType)entry.type);
    bool text = entry.type == TIFF_ASCII || entry.type == TIFF_UNDEFINED;
    if (entry.count > 1) {
        uint64_t dataBytes = (uint64_t)entry.count * (uint64_t)width;
        bool inField = dataBytes <= 4;
        // A count the file cannot hold is refused before anything is allocated.
        if (!inField && (uint64_t)entry.value + dataBytes > m_fileSize) {
            TIFFErrorExt(m_tiff, ModuleOf(m_tiff), "Error fetching data for field \"%s\"",
                         NameForTag(m_tiff, entry.tag));
            return false;
        }
        uint64_t arrayBytes = text ? (uint64_t)entry.count + 1
                              : (entry.type == TIFF_BYTE || entry.type == TIFF_SBYTE) ? 2ull * entry.count
                                                                                      : dataBytes;
        WipedBytes values;
        try {
            values.assign(arrayBytes, 0);
        } catch (...) {
            TIFFErrorExt(m_tiff, ModuleOf(m_tiff), "No space %s", "to fetch tag value");
            return false;
        }
        if (inField) {
            memcpy(values.data(), entry.raw, dataBytes);
            SwabValues(m_tiff, values.data(), entry.count, width, entry.type);
        } else if (!FetchData(entry, values.data())) {
            return false;
        }
        return Call(row, entry.tag, entry.count, values.data()) != 0;
    }
    if (!CheckCount(entry, 1)) return false;
    uint8_t value[8] = {};
    switch (entry.type) {
    case TIFF_BYTE:
    case TIFF_SBYTE:
    case TIFF_SHORT:
    case TIFF_SSHORT: {
        uint32_t v = width == 1 ? entry.raw[0] : 0;
        if (width == 2) {
            uint16_t s;
            memcpy(&s, entry.raw, 2);
            if (TIFFIsByteSwapped(m_tiff)) TIFFSwabShort(&s);
            v = s;
        }
        if (row.field_type == TIFF_LONG || row.field_type == TIFF_SLONG || row.field_type == 0) {
            memcpy(value, &v, 4);
        } else {
            uint16_t s = (uint16_t)v;
            memcpy(value, &s, 2);
        }
        break;
    }
    case TIFF_LONG:
    case TIFF_SLONG:
    case TIFF_FLOAT:
    case TIFF_IFD: memcpy(value, &entry.value, 4); break;
    case TIFF_ASCII:
    case TIFF_UNDEFINED: value[0] = entry.raw[0]; break;
    case TIFF_RATIONAL:
    case TIFF_SRATIONAL:
    case TIFF_DOUBLE:
        if (!FetchData(entry, value)) return false;
        break;
    default: return false;
    }
    return Call(row, entry.tag, 1, value) != 0;
}

}  // namespace

int ReadPrivateSubdirectory(TIFF* tiff, uint64_t offset, const TIFFFieldInfo* table, size_t rows,
                            TiffPrivateSetField callback, void* user) {
    if (tiff == nullptr || callback == nullptr || (table == nullptr && rows != 0)) return 0;
    return CPrivateDirectoryReader(tiff, table, rows, callback, user).Read(offset);
}

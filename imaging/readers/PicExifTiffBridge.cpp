// The TIFF side of the EXIF reader: a page's IFD0 and EXIF directory read
// through the TIFF reader's private sub-directory reader into tag records.
// Built when the TIFF reader is part of the library; otherwise TIFF sources
// give no EXIF records.
#include "imaging/readers/PicExifTiff.h"

#if __has_include("imaging/readers/PicTiffSubDirectory.h")

#include <tiffio.h>

#include <cstdarg>

#include "imaging/readers/PicTiffPage.h"
#include "imaging/readers/PicTiffSubDirectory.h"

namespace {

// Read count = write count; field bit, change flag and pass count all 1.
#define FIELD(tag, type, count, name) {tag, count, count, type, 1, 1, 1, const_cast<char*>(name)}
// Names as camera software writes them, misspellings included ("GPS Sattelites", "StripByteConunts").
const TIFFFieldInfo kExifFieldTable[] = {
    FIELD(0x0001, TIFF_LONG, 1, "InteroperabilityIndex"),
    FIELD(0x0002, TIFF_LONG, 1, "InteroperabilityVersion"),
    FIELD(0x0004, TIFF_LONG, 1, "GPS Latitude"),
    FIELD(0x0006, TIFF_LONG, 1, "GPS Altitude"),
    FIELD(0x0008, TIFF_LONG, 1, "GPS Sattelites"),
    FIELD(0x0009, TIFF_LONG, 1, "GPS Status"),
    FIELD(0x00FE, TIFF_LONG, 1, "NewSubfileType"),
    FIELD(0x00FF, TIFF_LONG, 1, "SubfileType"),
    FIELD(0x0100, TIFF_LONG, 1, "ImageWidth"),
    FIELD(0x0100, TIFF_SHORT, 1, "ImageWidth"),
    FIELD(0x0101, TIFF_LONG, 1, "ImageLength"),
    FIELD(0x0101, TIFF_SHORT, 1, "ImageLength"),
    FIELD(0x0102, TIFF_SHORT, 3, "BitsPerSample"),
    FIELD(0x0103, TIFF_SHORT, 1, "Compression"),
    FIELD(0x0106, TIFF_LONG, 1, "PhotometricInterpretation"),
    FIELD(0x010E, TIFF_ASCII, -1, "ImageDescription"),
    FIELD(0x010F, TIFF_ASCII, -1, "Make"),
    FIELD(0x0110, TIFF_ASCII, -1, "Model"),
    FIELD(0x0111, TIFF_LONG, 1, "StripOffsets"),
    FIELD(0x0111, TIFF_SHORT, 1, "StripOffsets"),
    FIELD(0x0112, TIFF_SHORT, 1, "Orientation"),
    FIELD(0x0115, TIFF_SHORT, 1, "SamplesPerPixel"),
    FIELD(0x0116, TIFF_LONG, 1, "RowsPerStrip"),
    FIELD(0x0116, TIFF_SHORT, 1, "RowsPerStrip"),
    FIELD(0x0117, TIFF_LONG, 1, "StripByteConunts"),
    FIELD(0x0117, TIFF_SHORT, 1, "StripByteConunts"),
    FIELD(0x011A, TIFF_RATIONAL, 1, "XResolution"),
    FIELD(0x011B, TIFF_RATIONAL, 1, "YResolution"),
    FIELD(0x011C, TIFF_SHORT, 1, "PlanarConfiguration"),
    FIELD(0x0128, TIFF_SHORT, 1, "ResolutionUnit"),
    FIELD(0x012D, TIFF_SHORT, 768, "XferFn"),
    FIELD(0x0131, TIFF_ASCII, -1, "Software"),
    FIELD(0x0132, TIFF_ASCII, 20, "DateTime"),
    FIELD(0x013B, TIFF_ASCII, -1, "Artist"),
    FIELD(0x013D, TIFF_LONG, 1, "Predictor"),
    FIELD(0x013E, TIFF_RATIONAL, 2, "WhitePoint"),
    FIELD(0x013F, TIFF_RATIONAL, 6, "PrimaryChromaticities"),
    FIELD(0x0142, TIFF_LONG, 1, "TileWidth"),
    FIELD(0x0143, TIFF_LONG, 1, "TileLength"),
    FIELD(0x0144, TIFF_LONG, 1, "TileOffsets"),
    FIELD(0x0145, TIFF_LONG, 1, "TileByteCounts"),
    FIELD(0x014A, TIFF_LONG, 1, "SubIFDs"),
    FIELD(0x015B, TIFF_LONG, 1, "JPEGTables"),
    FIELD(0x0201, TIFF_LONG, 1, "JpegIFOffset"),
    FIELD(0x0202, TIFF_LONG, 1, "JpegIFByteCount"),
    FIELD(0x0211, TIFF_RATIONAL, 3, "YCbCrCoefficients"),
    FIELD(0x0212, TIFF_SHORT, 2, "YCbCrSubSampling"),
    FIELD(0x0213, TIFF_SHORT, 1, "YCbCrPositioning"),
    FIELD(0x0214, TIFF_RATIONAL, 6, "ReferenceBlackWhite"),
    FIELD(0x1000, TIFF_LONG, 1, "RelatedImageFileFormat"),
    FIELD(0x1001, TIFF_LONG, 1, "RelatedImageWidth"),
    FIELD(0x1002, TIFF_LONG, 1, "RelatedImageLength"),
    FIELD(0x828D, TIFF_LONG, 1, "CFARepeatPatternDim"),
    FIELD(0x828E, TIFF_LONG, 1, "CFAPattern"),
    FIELD(0x828F, TIFF_LONG, 1, "BatteryLevel"),
    FIELD(0x8298, TIFF_ASCII, -1, "Copyright"),
    FIELD(0x829A, TIFF_RATIONAL, 1, "ExposureTime"),
    FIELD(0x829D, TIFF_RATIONAL, 1, "FNumber"),
    FIELD(0x83BB, TIFF_LONG, 1, "IPTC/NAA"),
    FIELD(0x8769, TIFF_LONG, 1, "EXIFOffset"),
    FIELD(0x8773, TIFF_LONG, 1, "InterColorProfile"),
    FIELD(0x8822, TIFF_SHORT, 1, "ExposureProgram"),
    FIELD(0x8824, TIFF_ASCII, -1, "SpectralSensitivity"),
    FIELD(0x8825, TIFF_LONG, 1, "GPSInfo"),
    FIELD(0x8827, TIFF_SHORT, -1, "ISOSpeedRatings"),
    FIELD(0x8828, TIFF_UNDEFINED, -1, "OECF"),
    FIELD(0x8829, TIFF_LONG, 1, "Interlace"),
    FIELD(0x882A, TIFF_LONG, 1, "TimeZoneOffset"),
    FIELD(0x882B, TIFF_LONG, 1, "SelfTimerMode"),
    FIELD(0x9000, TIFF_UNDEFINED, 4, "ExifVersion"),
    FIELD(0x9003, TIFF_ASCII, 20, "DateTimeOriginal"),
    FIELD(0x9004, TIFF_ASCII, 20, "DateTimeDigitized"),
    FIELD(0x9101, TIFF_UNDEFINED, 4, "ComponentsConfiguration"),
    FIELD(0x9102, TIFF_RATIONAL, 1, "CompressedBitsPerPixel"),
    FIELD(0x9201, TIFF_SRATIONAL, 1, "ShutterSpeedValue"),
    FIELD(0x9202, TIFF_RATIONAL, 1, "ApertureValue"),
    FIELD(0x9203, TIFF_SRATIONAL, 1, "BrightnessValue"),
    FIELD(0x9204, TIFF_SRATIONAL, 1, "ExposureBiasValue"),
    FIELD(0x9205, TIFF_RATIONAL, 1, "MaxApertureValue"),
    FIELD(0x9206, TIFF_RATIONAL, 1, "SubjectDistance"),
    FIELD(0x9207, TIFF_SHORT, 1, "MeteringMode"),
    FIELD(0x9208, TIFF_SHORT, 1, "LightSource"),
    FIELD(0x9209, TIFF_SHORT, 1, "Flash"),
    FIELD(0x920A, TIFF_RATIONAL, 1, "FocalLength"),
    FIELD(0x920B, TIFF_RATIONAL, 1, "FlashEnergy"),
    FIELD(0x920C, TIFF_UNDEFINED, -1, "SpatialFrequencyResponse"),
    FIELD(0x920D, TIFF_LONG, 1, "Noise"),
    FIELD(0x9211, TIFF_LONG, 1, "ImageNumber"),
    FIELD(0x9212, TIFF_LONG, 1, "SecurityClassification"),
    FIELD(0x9213, TIFF_LONG, 1, "ImageHistory"),
    FIELD(0x9214, TIFF_LONG, 1, "SubjectLocation"),
    FIELD(0x9215, TIFF_LONG, 1, "ExposureIndex"),
    FIELD(0x9216, TIFF_LONG, 1, "TIFF/EPStandardID"),
    FIELD(0x927C, TIFF_UNDEFINED, -1, "MakerNote"),
    FIELD(0x9286, TIFF_UNDEFINED, -1, "UserComment"),
    FIELD(0x9290, TIFF_ASCII, -1, "SubsecTime"),
    FIELD(0x9291, TIFF_ASCII, -1, "SubsecTimeOriginal"),
    FIELD(0x9292, TIFF_ASCII, -1, "SubsecTimeDigitized"),
    FIELD(0xA000, TIFF_UNDEFINED, 4, "FlashPixVersion"),
    FIELD(0xA001, TIFF_SHORT, 1, "ColorSpace"),
    FIELD(0xA002, TIFF_LONG, 1, "ExifImageWidth"),
    FIELD(0xA002, TIFF_SHORT, 1, "ExifImageWidth"),
    FIELD(0xA003, TIFF_LONG, 1, "ExifImageHeight"),
    FIELD(0xA003, TIFF_SHORT, 1, "ExifImageHeight"),
    FIELD(0xA004, TIFF_ASCII, 13, "RelatedSoundFile"),
    FIELD(0xA005, TIFF_LONG, 1, "ExifInteroperabilityOffset"),
    FIELD(0xA20B, TIFF_LONG, 1, "FlashEnergy"),
    FIELD(0xA20C, TIFF_LONG, -1, "SpatialFrequencyResponse"),
    FIELD(0xA20E, TIFF_RATIONAL, 1, "FocalPlaneXResolution"),
    FIELD(0xA20F, TIFF_RATIONAL, 1, "FocalPlaneYResolution"),
    FIELD(0xA210, TIFF_SHORT, 1, "FocalPlaneResolutionUnit"),
    FIELD(0xA214, TIFF_SHORT, 1, "SubjectLocation"),
    FIELD(0xA215, TIFF_RATIONAL, 1, "ExposureIndex"),
    FIELD(0xA217, TIFF_SHORT, 1, "SensingMethod"),
    FIELD(0xA300, TIFF_UNDEFINED, 1, "FileSource"),
    FIELD(0xA301, TIFF_UNDEFINED, 1, "SceneType"),
    FIELD(0xA302, TIFF_UNDEFINED, -1, "CFAPattern"),
};
#undef FIELD
constexpr size_t kExifFieldRows = sizeof kExifFieldTable / sizeof kExifFieldTable[0];
static_assert(kExifFieldRows == 117, "the EXIF field table");

// Every accepted entry: (count, values). The callback is not told which of
// a tag's rows matched (ImageWidth comes as LONG or SHORT), so the values
// are read as the narrowest: never past a 16-bit value, and a 32-bit one
// reads right below 65536 on this little-endian host.
int ExifTiffSetField(TIFF*, void* user, uint32_t tag, ...) {
    auto* collector = static_cast<ExifTiffCollector*>(user);
    if (collector == nullptr) return 0;
    const TIFFFieldInfo* row = nullptr;
    for (const TIFFFieldInfo& r : kExifFieldTable)
        if (r.field_tag == tag && (row == nullptr || TIFFDataWidth(r.field_type) < TIFFDataWidth(row->field_type)))
            row = &r;
    if (row == nullptr) return 1;
    va_list values;
    va_start(values, tag);
    uint32_t count = va_arg(values, uint32_t);
    const void* items = va_arg(values, const void*);
    va_end(values);
    return AddEXIFTag(*collector, (uint16_t)row->field_tag, (uint16_t)row->field_type, row->field_name, count, items);
}

bool ReadExifFromTiff(ExifTiffCollector& collector, CPicIO& source, int32_t pageIndex) {
    int32_t code = 0;
    TiffPage* page = OpenTiffPage(&source, pageIndex, 0, &code);
    if (page == nullptr) {
        collector.error = code;
        return false;
    }
    if (!TIFFSetDirectory(page->tiff, (tdir_t)pageIndex)) {
        collector.error = 5;
        CloseTiffPage(page);
        return false;
    }
    uint64_t exifOffset = 0;
    if (TIFFGetField(page->tiff, TIFFTAG_EXIFIFD, &exifOffset)) {
        collector.currentList = collector.ifd0Tags;
        ReadPrivateSubdirectory(page->tiff, TIFFCurrentDirOffset(page->tiff), kExifFieldTable, kExifFieldRows,
                                ExifTiffSetField, &collector);
        collector.currentList = collector.exifTags;
        ReadPrivateSubdirectory(page->tiff, exifOffset, kExifFieldTable, kExifFieldRows, ExifTiffSetField,
                                &collector);
    }
    CloseTiffPage(page);
    return true;
}

}  // namespace

PicExifTiffReadFn PicBuiltInExifTiffReader() { return ReadExifFromTiff; }

#else

PicExifTiffReadFn PicBuiltInExifTiffReader() { return nullptr; }

#endif

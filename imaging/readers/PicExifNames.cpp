#include "imaging/readers/PicExifNames.h"

#include <cstdio>

namespace {

// Names are kept as camera software writes them, misspellings included
// ("ProccessingInfo", "StripByteConunts").
struct ExifNameRow {
    int32_t tag;
    int32_t otherTag;  // a second number with the same name, or -1
    const char* name;
};

// Canon notes (maker kind 1)
const ExifNameRow kCanonNames[] = {
    {0x0001, -1, "CanonCameraSettings"},
    {0x0002, -1, "CanonFocalLength"},
    {0x0003, -1, "CanonFlashInfo"},
    {0x0004, -1, "CanonShotInfo"},
    {0x0005, -1, "CanonPanorama"},
    {0x0006, -1, "CanonImageType"},
    {0x0007, -1, "CanonFirmwareVersion"},
    {0x0008, -1, "FileNumber"},
    {0x0009, -1, "OwnerName"},
    {0x000A, -1, "ColorInfoD30"},
    {0x000C, -1, "SerialNumber"},
    {0x000D, -1, "CanonCameraInfo"},
    {0x000E, -1, "CanonFileLength"},
    {0x000F, 0x0090, "CustomFunctions1D"},
    {0x0010, -1, "CanonModelID"},
    {0x0012, -1, "CanonPictureInfo"},
    {0x0015, -1, "SerialNumberFormat"},
    {0x0083, -1, "OriginalDecisionData"},
    {0x0091, -1, "PersonalFunctions"},
    {0x0092, -1, "PersonalFunctionValues"},
    {0x0093, -1, "CanonFileInfo"},
    {0x0094, -1, "AFPointsUsed1D"},
    {0x0095, -1, "LensType"},
    {0x0096, -1, "InternalSerialNumber"},
    {0x0097, -1, "DustRemovalData"},
    {0x00A0, -1, "ProccessingInfo"},
    {0x00A1, -1, "ToneCurveTable"},
    {0x00A2, -1, "SharpnessTable"},
    {0x00A3, -1, "SharpnessFreqTable"},
    {0x00A4, -1, "WhiteBalanceTable"},
    {0x00A9, -1, "ColorBalance"},
    {0x00AE, -1, "ColorTemperature"},
    {0x00B0, -1, "CanonFlags"},
    {0x00B1, -1, "ModifiedInfo"},
    {0x00B2, -1, "ToneCurveMatching"},
    {0x00B3, -1, "WhiteBalanceMatching"},
    {0x00B4, -1, "ColorSpace"},
    {0x00B6, -1, "PreviewImageInfo"},
    {0x00E0, -1, "SensorInfo"},
    {0x4001, -1, "ColorBalance1"},
    {0x4003, -1, "ColorInfo"},
};

// Nikon type-1 notes (maker kind 2)
const ExifNameRow kNikonType1Names[] = {
    {0x0003, -1, "Quality"},
    {0x0004, -1, "Color Mode"},
    {0x0005, -1, "Image Adjustment"},
    {0x0006, -1, "CCD Sensitivity"},
    {0x0007, -1, "White balance"},
    {0x0008, -1, "Focus"},
    {0x000A, -1, "Digital Zoom"},
    {0x000B, -1, "Converter"},
};

// other Nikon notes (maker kind 3)
const ExifNameRow kNikonNames[] = {
    {0x0001, -1, "FirmwareVersion"},
    {0x0002, -1, "ISO"},
    {0x0003, -1, "ColorMode"},
    {0x0004, -1, "Quality"},
    {0x0005, -1, "WhiteBalance"},
    {0x0006, -1, "Sharpness"},
    {0x0007, -1, "FocusMode"},
    {0x0008, -1, "FlashSetting"},
    {0x0009, -1, "FlashType"},
    {0x000B, -1, "WhiteBalanceFineTune"},
    {0x000C, -1, "ColorBalance1"},
    {0x000D, -1, "ProgramShift"},
    {0x000E, -1, "ExposureDifference"},
    {0x000F, -1, "ISOSelection"},
    {0x0010, -1, "DataDump"},
    {0x0011, -1, "NikonPreview"},
    {0x0012, -1, "FlashExposureComp"},
    {0x0013, -1, "ISOSetting"},
    {0x0016, -1, "ImageBoundary"},
    {0x0018, -1, "FlashExposureBracketValue"},
    {0x0019, -1, "ExposureBracketValue"},
    {0x001A, -1, "ImageProcessing"},
    {0x001B, -1, "CropHiSpeed"},
    {0x001D, 0x00A0, "SerialNumber"},
    {0x001E, -1, "ColorSpace"},
    {0x0020, -1, "ImageAuthentication"},
    {0x0080, -1, "ImageAdjustment"},
    {0x0081, -1, "ToneComp"},
    {0x0082, -1, "AuxiliaryLens"},
    {0x0083, -1, "LensType"},
    {0x0084, -1, "Lens"},
    {0x0085, -1, "ManualFocusDistance"},
    {0x0086, -1, "DigitalZoom"},
    {0x0087, -1, "FlashMode"},
    {0x0088, -1, "AFInfo"},
    {0x0089, -1, "ShootingMode"},
    {0x008A, -1, "AutoBracketRelease"},
    {0x008B, -1, "LensFStops"},
    {0x008C, -1, "NEFCurve1"},
    {0x008D, -1, "ColorHue"},
    {0x008F, -1, "SceneMode"},
    {0x0090, -1, "LightSource"},
    {0x0092, -1, "HueAdjustment"},
    {0x0094, 0x00AA, "Saturation"},
    {0x0095, -1, "NoiseReduction"},
    {0x0096, -1, "NEFCurve2"},
    {0x0097, -1, "ColorBalance"},
    {0x0098, -1, "LensData"},
    {0x0099, -1, "RawImageCenter"},
    {0x009A, -1, "SensorPixelSize"},
    {0x00A2, -1, "ImageDataSize"},
    {0x00A5, -1, "ImageCount"},
    {0x00A6, -1, "DeletedImageCount"},
    {0x00A7, -1, "ShutterCount"},
    {0x00A9, -1, "ImageOptimization"},
    {0x00AB, -1, "VariProgram"},
    {0x00AC, -1, "ImageStabilization"},
    {0x00AD, -1, "AFResponse"},
    {0x00B1, -1, "HighISONoiseReduction"},
    {0x0E00, -1, "PrintIM"},
    {0x0E01, -1, "NikonCaptureData"},
    {0x0E09, -1, "NikonCaptureVersion"},
    {0x0E0E, -1, "NikonCaptureOffsets"},
};

// Fuji notes (maker kind 6)
const ExifNameRow kFujiNames[] = {
    {0x0000, -1, "Version"},
    {0x0010, -1, "InternalSerialNumber"},
    {0x1000, -1, "Quality"},
    {0x1001, -1, "Sharpness"},
    {0x1002, -1, "WhiteBalance"},
    {0x1003, -1, "Saturation"},
    {0x1004, -1, "Contrast"},
    {0x1010, -1, "FujiFlashMode"},
    {0x1011, -1, "FlashStrength"},
    {0x1020, -1, "Macro"},
    {0x1021, -1, "FocusMode"},
    {0x1023, -1, "FocusPixel"},
    {0x1030, -1, "SlowSync"},
    {0x1031, -1, "PictureMode"},
    {0x1100, -1, "AutoBracketing"},
    {0x1101, -1, "SequenceNumber"},
    {0x1210, -1, "ColorMode"},
    {0x1300, -1, "BlurWarning"},
    {0x1301, -1, "FocusWarning"},
    {0x1302, -1, "ExposureWarning"},
    {0x1400, -1, "DynamicRange"},
    {0x1401, -1, "FilmMode"},
    {0x1402, -1, "DynamicRangeSetting"},
    {0x1403, -1, "DevelopmentDynamicRange"},
    {0x1404, -1, "MinFocalLength"},
    {0x1405, -1, "MaxFocalLength"},
    {0x1406, -1, "MaxApertureAtMinFocal"},
    {0x1407, -1, "MaxApertureAtMaxFocal"},
    {0x8000, -1, "FileSource"},
    {0x8002, -1, "OrderNumber"},
    {0x8003, -1, "FrameNumber"},
};

// Olympus notes (maker kind 7)
const ExifNameRow kOlympusNames[] = {
    {0x0000, -1, "MakerNoteVersion"},
    {0x0001, -1, "MinoltaCameraSettingsOld"},
    {0x0003, -1, "MinoltaCameraSettings"},
    {0x0040, -1, "CompressedImageSize"},
    {0x0081, -1, "PreviewImageData"},
    {0x0088, 0x1036, "PreviewImageStart"},
    {0x0089, 0x1037, "PreviewImageLength"},
    {0x0100, -1, "ThumbnailImage"},
    {0x0101, -1, "ColorMode"},
    {0x0102, 0x0103, "MinoltaQuality"},
    {0x0200, -1, "SpecialMode"},
    {0x0201, -1, "Quality"},
    {0x0202, -1, "Macro"},
    {0x0203, -1, "BWMode"},
    {0x0204, -1, "DigitalZoom"},
    {0x0205, -1, "FocalPlaneDiagonal"},
    {0x0206, -1, "LensDistortionParams"},
    {0x0207, -1, "CameraType"},
    {0x0208, -1, "TextInfo"},
    {0x0209, -1, "CameraID"},
    {0x020B, -1, "EpsonImageWidth"},
    {0x020C, -1, "EpsonImageHeight"},
    {0x020D, -1, "EpsonSoftware"},
    {0x0300, -1, "PreCaptureFrames"},
    {0x0302, -1, "OneTouchWB"},
    {0x0404, 0x101A, "SerialNumber"},
    {0x0E00, -1, "PrintIM"},
    {0x0F00, -1, "DataDump"},
    {0x0F01, -1, "DataDump2"},
    {0x1000, -1, "ShutterSpeedValue"},
    {0x1001, -1, "ISOValue"},
    {0x1002, -1, "ApertureValue"},
    {0x1003, -1, "BrightnessValue"},
    {0x1004, -1, "FlashMode"},
    {0x1005, -1, "FlashDevice"},
    {0x1006, -1, "ExposureCompensation"},
    {0x1007, -1, "SensorTemperature"},
    {0x1008, -1, "LensTemperature"},
    {0x100B, -1, "FocusMode"},
    {0x100C, -1, "ManualFocusDistance"},
    {0x100D, -1, "ZoomStepCount"},
    {0x100E, -1, "FocusStepCount"},
    {0x100F, -1, "Sharpness"},
    {0x1010, -1, "FlashChargeLevel"},
    {0x1011, -1, "ColorMatrix"},
    {0x1012, -1, "BlackLevel"},
    {0x1015, -1, "WBMode"},
    {0x1017, -1, "RedBalance"},
    {0x1018, -1, "BlueBalance"},
    {0x1023, -1, "FlashExposureComp"},
    {0x1026, -1, "ExternalFlashBounce"},
    {0x1027, -1, "ExternalFlashZoom"},
    {0x1028, -1, "ExternalFlashMode"},
    {0x1029, -1, "Contrast"},
    {0x102A, -1, "SharpnessFactor"},
    {0x102B, -1, "ColorControl"},
    {0x102C, -1, "ValidBits"},
    {0x102D, -1, "CoringFilter"},
    {0x102E, -1, "OlympusImageWidth"},
    {0x102F, -1, "OlympusImageHeight"},
    {0x1034, -1, "CompressionRatio"},
    {0x1035, -1, "PreviewImageValid"},
    {0x1039, -1, "CCDScanMode"},
    {0x103A, -1, "NoiseReduction"},
    {0x103B, -1, "InfinityLensStep"},
    {0x103C, -1, "NearLensStep"},
};

// Casio notes (maker kind 8)
const ExifNameRow kCasioNames[] = {
    {0x0001, -1, "RecordingMode"},
    {0x0002, -1, "Quality"},
    {0x0003, -1, "Focusing Mode"},
    {0x0004, -1, "Flash Mode"},
    {0x0005, -1, "Flash Intensity"},
    {0x0006, -1, "Object distance"},
    {0x0007, -1, "White Balance"},
    {0x000A, -1, "Digital Zoom"},
    {0x000B, -1, "Sharpness"},
    {0x000C, -1, "Contrast"},
    {0x000D, -1, "Saturation"},
    {0x0014, -1, "CCD Sensitivity"},
    {0x0016, -1, "Enhancement"},
    {0x0017, -1, "Filter"},
    {0x0018, -1, "AFPoint"},
    {0x0019, -1, "FlashIntensity"},
    {0x0E00, -1, "Print Image Matching"},
};

// Casio notes with header (maker kind 9)
const ExifNameRow kCasioHeaderNames[] = {
    {0x0002, -1, "PreviewImageSize"},
    {0x0003, -1, "PreviewImageLength"},
    {0x0004, -1, "PreviewImageStart"},
    {0x0008, -1, "QualityMode"},
    {0x0009, -1, "CasioImageSize"},
    {0x000D, 0x3003, "FocusMode"},
    {0x0014, -1, "ISO"},
    {0x0019, 0x2012, "WhiteBalance"},
    {0x001D, -1, "FocalLength"},
    {0x001F, 0x3013, "Saturation"},
    {0x0020, 0x3012, "Contrast"},
    {0x0021, 0x3011, "Sharpness"},
    {0x0E00, -1, "Print Image Matching"},
    {0x2001, -1, "FirmwareDate"},
    {0x2011, -1, "WhiteBalanceBias"},
    {0x2022, -1, "ObjectDistance"},
    {0x2034, -1, "FlashDistance"},
    {0x3000, -1, "RecordMode"},
    {0x3001, -1, "SelfTimer"},
    {0x3002, -1, "Quality"},
    {0x3006, -1, "TimeZone"},
    {0x3007, -1, "BestShotMode"},
    {0x3008, -1, "AutoISO"},
    {0x3014, -1, "CCD ISO Sensitivity"},
    {0x3015, -1, "ColorMode"},
    {0x3016, -1, "Enhancement"},
    {0x3017, -1, "Filter"},
    {0x301C, -1, "SequenceNumber"},
    {0x301D, -1, "BracketSequence"},
    {0x3020, -1, "ImageStabilization"},
};

// GPS directory (kind 5)
const ExifNameRow kGpsNames[] = {
    {0x0000, -1, "GPSVersionID"},
    {0x0001, -1, "GPSLatitudeRef"},
    {0x0002, -1, "GPSLatitude"},
    {0x0003, -1, "GPSLongitudeRef"},
    {0x0004, -1, "GPSLongitude"},
    {0x0005, -1, "GPSAltitudeRef"},
    {0x0006, -1, "GPSAltitude"},
    {0x0007, -1, "GPSTimeStamp"},
    {0x0008, -1, "GPSSatellites"},
    {0x0009, -1, "GPSStatus"},
    {0x000A, -1, "GPSMeasureMode"},
    {0x000B, -1, "GPSDOP"},
    {0x000C, -1, "GPSSpeedRef"},
    {0x000D, -1, "GPSSpeed"},
    {0x000E, -1, "GPSTrackRef"},
    {0x000F, -1, "GPSTrack"},
    {0x0010, -1, "GPSImgDirectionRef"},
    {0x0011, -1, "GPSImgDirection"},
    {0x0012, -1, "GPSMapDatum"},
    {0x0013, -1, "GPSDestLatitudeRef"},
    {0x0014, -1, "GPSDestLatitude"},
    {0x0015, -1, "GPSDestLongitudeRef"},
    {0x0016, -1, "GPSDestLongitude"},
    {0x0017, -1, "GPSDestBearingRef"},
    {0x0018, -1, "GPSDestBearing"},
    {0x0019, -1, "GPSDestDistanceRef"},
    {0x001A, -1, "GPSDestDistance"},
    {0x001B, -1, "GPSProcessingMethod"},
    {0x001C, -1, "GPSAreaInformation"},
    {0x001D, -1, "GPSDateStamp"},
    {0x001E, -1, "GPSDifferential"},
};

// IFD0
const ExifNameRow kMainNames[] = {
    {0x0001, -1, "InteroperabilityIndex"},
    {0x0002, -1, "InteroperabilityVersion"},
    {0x00FE, -1, "NewSubfileType"},
    {0x00FF, -1, "SubfileType"},
    {0x0100, -1, "ImageWidth"},
    {0x0101, -1, "ImageLength"},
    {0x0102, -1, "BitsPerSample"},
    {0x0103, -1, "Compression"},
    {0x0106, -1, "PhotometricInterpretation"},
    {0x010E, -1, "ImageDescription"},
    {0x010F, -1, "Make"},
    {0x0110, -1, "Model"},
    {0x0111, -1, "StripOffsets"},
    {0x0112, -1, "Orientation"},
    {0x0115, -1, "SamplesPerPixel"},
    {0x0116, -1, "RowsPerStrip"},
    {0x0117, -1, "StripByteConunts"},
    {0x011A, -1, "XResolution"},
    {0x011B, -1, "YResolution"},
    {0x011C, -1, "PlanarConfiguration"},
    {0x0128, -1, "ResolutionUnit"},
    {0x012D, -1, "XferFn"},
    {0x0131, -1, "Software"},
    {0x0132, -1, "DateTime"},
    {0x013B, -1, "Artist"},
    {0x013D, -1, "Predictor"},
    {0x013E, -1, "WhitePoint"},
    {0x013F, -1, "PrimaryChromaticities"},
    {0x0142, -1, "TileWidth"},
    {0x0143, -1, "TileLength"},
    {0x0144, -1, "TileOffsets"},
    {0x0145, -1, "TileByteCounts"},
    {0x014A, -1, "exifIFDs"},
    {0x015B, -1, "JPEGTables"},
    {0x0201, -1, "JpegIFOffset"},
    {0x0202, -1, "JpegIFByteCount"},
    {0x0211, -1, "YCbCrCoefficients"},
    {0x0212, -1, "YCbCrSubSampling"},
    {0x0213, -1, "YCbCrPositioning"},
    {0x0214, -1, "ReferenceBlackWhite"},
    {0x1000, -1, "RelatedImageFileFormat"},
    {0x1001, -1, "RelatedImageWidth"},
    {0x1002, -1, "RelatedImageLength"},
    {0x828D, -1, "CFARepeatPatternDim"},
    {0x828E, 0xA302, "CFAPattern"},
    {0x828F, -1, "BatteryLevel"},
    {0x8298, -1, "Copyright"},
    {0x829A, -1, "ExposureTime"},
    {0x829D, -1, "FNumber"},
    {0x83BB, -1, "IPTC/NAA"},
    {0x8769, -1, "EXIFOffset"},
    {0x8773, -1, "InterColorProfile"},
    {0x8822, -1, "ExposureProgram"},
    {0x8824, -1, "SpectralSensitivity"},
    {0x8825, -1, "GPSOffset"},
    {0x8827, -1, "ISOSpeedRatings"},
    {0x8828, -1, "OECF"},
    {0x8829, -1, "Interlace"},
    {0x882A, -1, "TimeZoneOffset"},
    {0x882B, -1, "SelfTimerMode"},
    {0x9000, -1, "ExifVersion"},
    {0x9003, -1, "DateTimeOriginal"},
    {0x9004, -1, "DateTimeDigitized"},
    {0x9101, -1, "ComponentsConfiguration"},
    {0x9102, -1, "CompressedBitsPerPixel"},
    {0x9201, -1, "ShutterSpeedValue"},
    {0x9202, -1, "ApertureValue"},
    {0x9203, -1, "BrightnessValue"},
    {0x9204, -1, "ExposureBiasValue"},
    {0x9205, -1, "MaxApertureValue"},
    {0x9206, -1, "SubjectDistance"},
    {0x9207, -1, "MeteringMode"},
    {0x9208, -1, "LightSource"},
    {0x9209, -1, "Flash"},
    {0x920A, -1, "FocalLength"},
    {0x920B, 0xA20B, "FlashEnergy"},
    {0x920C, 0xA20C, "SpatialFrequencyResponse"},
    {0x920D, -1, "Noise"},
    {0x9211, -1, "ImageNumber"},
    {0x9212, -1, "SecurityClassification"},
    {0x9213, -1, "ImageHistory"},
    {0x9214, 0xA214, "SubjectLocation"},
    {0x9215, 0xA215, "ExposureIndex"},
    {0x9216, -1, "TIFF/EPStandardID"},
    {0x927C, -1, "MakerNote"},
    {0x9286, -1, "UserComment"},
    {0x9290, -1, "SubsecTime"},
    {0x9291, -1, "SubsecTimeOriginal"},
    {0x9292, -1, "SubsecTimeDigitized"},
    {0x9C9B, -1, "XP-Title"},
    {0x9C9C, -1, "XP-Comment"},
    {0x9C9D, -1, "XP-Author"},
    {0x9C9E, -1, "XP-Keywords"},
    {0x9C9F, -1, "XP-Subject"},
    {0xA000, -1, "FlashPixVersion"},
    {0xA001, -1, "ColorSpace"},
    {0xA002, -1, "ExifImageWidth"},
    {0xA003, -1, "ExifImageHeight"},
    {0xA004, -1, "RelatedSoundFile"},
    {0xA005, -1, "ExifInteroperabilityOffset"},
    {0xA20E, -1, "FocalPlaneXResolution"},
    {0xA20F, -1, "FocalPlaneYResolution"},
    {0xA210, -1, "FocalPlaneResolutionUnit"},
    {0xA217, -1, "SensingMethod"},
    {0xA300, -1, "FileSource"},
    {0xA301, -1, "SceneType"},
};
struct ExifNameTable {
    const ExifNameRow* rows;
    size_t count;
    const char* unknownPrefix;
};

template <size_t N>
constexpr ExifNameTable Table(const ExifNameRow (&rows)[N], const char* prefix) {
    return {rows, N, prefix};
}

const char* Find(const ExifNameTable& table, uint32_t tag) {
    for (size_t i = 0; i < table.count; ++i)
        if ((uint32_t)table.rows[i].tag == tag || (table.rows[i].otherTag >= 0 && (uint32_t)table.rows[i].otherTag == tag))
            return table.rows[i].name;
    return nullptr;
}

bool MakerTable(int32_t maker, ExifNameTable& table) {
    switch (maker) {
    case kMakerCanon: table = Table(kCanonNames, "Canon"); return true;
    case kMakerNikonType1: table = Table(kNikonType1Names, "Nikon"); return true;
    case kMakerNikon: table = Table(kNikonNames, "Nikon"); return true;
    case kMakerFuji: table = Table(kFujiNames, "Fuji"); return true;
    case kMakerOlympus: table = Table(kOlympusNames, "Olympus"); return true;
    case kMakerCasio: table = Table(kCasioNames, "Casio"); return true;
    case kMakerCasioHeader: table = Table(kCasioHeaderNames, "Casio"); return true;
    default: return false;
    }
}

}  // namespace

std::string ExifUnknownTagName(uint32_t tag, const char* prefix) {
    const char* padding = tag < 0x10 ? "000" : tag < 0x100 ? "00" : tag < 0x1000 ? "0" : "";
    char name[100];
    snprintf(name, sizeof name, "%s Unknown Tag 0x%s%X", prefix, padding, tag);
    return name;
}

std::string ExifTagName(uint32_t tag, int32_t kind, int32_t maker) {
    ExifNameTable table;
    if (kind == kExifMakerNote) {
        if (!MakerTable(maker, table)) return std::string();
    } else if (kind == kExifGps) {
        table = Table(kGpsNames, "GPS");
    } else {
        table = Table(kMainNames, "");
    }
    const char* name = Find(table, tag);
    return name != nullptr ? std::string(name) : ExifUnknownTagName(tag, table.unknownPrefix);
}

#include "doc/FileKinds.h"

namespace {

const WCHAR* const kMediaEndings[] = {
    L".vlc", L".mp4", L".avi", L".flv", L".mkv", L".mp3", L".mpv", L".m4v", L".wmv", L".mpg",
    L".mov", L".vob", L".3gp", L"mpeg", L".mts", L".wav", L".aac", L".ogg", L"flac", L"webm",
};

const WCHAR* const kImageEndings[] = {
    L"jpeg", L".jpg", L".png", L".bmp", L".tif", L"tiff", L".gif", L".psd", L".pcx", L".tga",
};

template <size_t N>
bool EndsWithOneOf(const CString& text, const WCHAR* const (&endings)[N])
{
    CString ending = text.Right(4);
    ending.MakeLower();
    for (const WCHAR* candidate : endings)
        if (ending == candidate)
            return true;
    return false;
}

}  // namespace

bool IsMediaFile(const CString& nameOrPath) { return EndsWithOneOf(nameOrPath, kMediaEndings); }

bool IsPreviewImageName(const CString& nameOrPath) { return EndsWithOneOf(nameOrPath, kImageEndings); }

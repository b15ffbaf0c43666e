#include "app/BrowserPictures.h"

#include "crypt/EncryptedFileName.h"
#include "imaging/core/PicDrawEntryPoints.h"

#include <algorithm>

namespace {

CString ExtensionOf(const CString& path)
{
    int dot = path.ReverseFind(L'.');
    return dot < 0 ? CString() : path.Mid(dot);
}

}  // namespace

bool LoadBrowserPicture(CPicImageEx& image, const CString& path, CFileCipher& cipher, int hintWidth, int hintHeight)
{
    image.SetDecodeSizeHint(hintWidth, hintHeight);
    int32_t result = 1;
    if (IsEncryptedFilePath(path)) {
        CString storedName;
        if (cipher.DecryptFileToMemory(path, storedName) == CRYPT_OK) {
            int32_t type = CPicImageEx::TypeFromExtension(ExtensionOf(storedName));
            result = image.LoadFromMemory(cipher.GetMemoryData(), cipher.GetMemorySize(), type, 0, storedName);
        }
        cipher.ReleaseMemory();
        if (result == 0 && image.GetBitsPerPixel() != 24) {
            // The conversion frees the decoded pixels without wiping them.
            CPicImageEx converted;
            result = image.ConvertTo24BitInto(converted);
            WipePicture(image);
            if (result == 0)
                image.MoveFrom(converted);
        }
    } else {
        int32_t type = CPicImageEx::TypeFromExtension(ExtensionOf(path));
        if (type != CPicImageEx::FileTypeUnknown)
            result = image.LoadFromFile(path, type, 0);
        if (result == 0)
            result = image.ConvertTo24Bit();
    }
    if (result != 0)
        WipePicture(image);
    return result == 0 && image.IsValid();
}

void WipePicture(CPicImageEx& image)
{
    if (image.IsValid())
        ::SecureZeroMemory(image.GetPixels(), (size_t)image.CalcBufferSize());
    image.Free();
}

SIZE ThumbnailSize(int width, int height, int boxWidth, int boxHeight)
{
    float scale = std::max((float)width / (float)boxWidth, (float)height / (float)boxHeight);
    SIZE size = {boxWidth, boxHeight};
    if (scale > 0) {
        size.cx = (int)((float)width / scale);
        size.cy = (int)((float)height / scale);
    }
    size.cx = std::max<LONG>(size.cx, 1);
    size.cy = std::max<LONG>(size.cy, 1);
    return size;
}

bool MakeTile(CPicImageEx& image, int width, int height, COLORREF colour)
{
    return image.Create(width, height, 24) == 0 && image.Fill(colour) == 0;
}

bool ScaleInto(CPicImageEx& out, const CPicImageEx& source, int width, int height, int method)
{
    if (out.CreateResizedRGB(SIZE{width, height}, source, method) == 0)
        return true;
    out.Free();
    return false;
}

bool ResizeInPlace(CPicImageEx& image, int width, int height, int method)
{
    // The full size from the file stays: the preview caption shows it.
    int originalWidth = image.m_originalWidth, originalHeight = image.m_originalHeight;
    // Resized apart, so the pixels replaced (a decrypted picture's) are wiped, not just freed.
    CPicImageEx resized;
    if (resized.ResizeFrom(image, width, height, method, false) != 0) {
        WipePicture(resized);
        return false;
    }
    WipePicture(image);
    image.MoveFrom(resized);
    image.m_originalWidth = originalWidth;
    image.m_originalHeight = originalHeight;
    return true;
}

void DrawPicture(HDC dc, const CPicImageEx& image, int x, int y) { image.Draw(dc, POINT{x, y}); }

void StretchPicture(HDC dc, const CPicImageEx& image, const RECT& rect) { image.StretchDraw(dc, rect); }

void DrawStripFrame(HDC dc, const CPicImageEx& image, int x, int y, int index, int count)
{
    image.DrawStripFrame(dc, POINT{x, y}, index, count);
}

HBITMAP MakeReadyBitmap(HDC dc, const CPicImageEx& image)
{
    if (!image.IsValid() || image.GetBitsPerPixel() != 24)
        return nullptr;
    return pic_RGBToBitmap(dc, image.GetPixels(), (uint32_t)image.GetWidth(), (uint32_t)image.GetHeight(),
                           image.GetRowBytes());
}

void ReleaseReadyBitmap(HBITMAP& bitmap)
{
    pic_DeleteWipedBitmap(bitmap);
    bitmap = nullptr;
}

void DrawReadyBitmap(HDC dc, HBITMAP bitmap, int x, int y, int width, int height)
{
    HDC memory = ::CreateCompatibleDC(dc);
    if (memory == nullptr)
        return;
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    if (old != nullptr) {
        ::BitBlt(dc, x, y, width, height, memory, 0, 0, SRCCOPY);
        ::SelectObject(memory, old);
    }
    ::DeleteDC(memory);
}

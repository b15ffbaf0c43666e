#include "app/BrowserPictures.h"

#include "crypt/EncryptedFileName.h"

#include <algorithm>
#include <vector>

namespace {

CString ExtensionOf(const CString& path)
{
    int dot = path.ReverseFind(L'.');
    return dot < 0 ? CString() : path.Mid(dot);
}

// The image's rows as a bottom-up device-independent bitmap of B, G, R
// rows padded to 4 bytes, which the drawing functions take.
struct DibCopy {
    BITMAPINFO info = {};
    std::vector<uint8_t> bits;

    explicit DibCopy(const CPicImageEx& image)
    {
        const int width = image.GetWidth(), height = image.GetHeight();
        const size_t stride = ((size_t)width * 3 + 3) & ~(size_t)3;
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        bits.assign(stride * (size_t)height, 0);
        const uint8_t* source = image.GetPixels();
        for (int y = 0; y < height; ++y) {
            const uint8_t* in = source + (size_t)y * width * 3;
            uint8_t* out = bits.data() + (size_t)(height - 1 - y) * stride;
            for (int x = 0; x < width; ++x, in += 3, out += 3) {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
            }
        }
    }
    ~DibCopy() { ::SecureZeroMemory(bits.data(), bits.size()); }
};

bool Drawable(const CPicImageEx& image) { return image.IsValid() && image.GetBitsPerPixel() == 24; }

// Draws the source rectangle (in top-down picture coordinates) into the target rectangle.
void Blit(HDC dc, const CPicImageEx& image, const RECT& target, int sx, int sy, int sw, int sh)
{
    if (!Drawable(image) || sw <= 0 || sh <= 0)
        return;
    DibCopy dib(image);
    // StretchDIBits counts the source rows from the bottom of a bottom-up bitmap.
    int bottomY = image.GetHeight() - (sy + sh);
    int oldMode = ::SetStretchBltMode(dc, COLORONCOLOR);
    ::StretchDIBits(dc, target.left, target.top, target.right - target.left, target.bottom - target.top, sx, bottomY,
                    sw, sh, dib.bits.data(), &dib.info, DIB_RGB_COLORS, SRCCOPY);
    ::SetStretchBltMode(dc, oldMode);
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
    if (image.Resize(SIZE{width, height}, method, false) != 0)
        return false;
    image.m_originalWidth = originalWidth;
    image.m_originalHeight = originalHeight;
    return true;
}

void DrawPicture(HDC dc, const CPicImageEx& image, int x, int y)
{
    RECT target = {x, y, x + image.GetWidth(), y + image.GetHeight()};
    Blit(dc, image, target, 0, 0, image.GetWidth(), image.GetHeight());
}

void StretchPicture(HDC dc, const CPicImageEx& image, const RECT& rect)
{
    Blit(dc, image, rect, 0, 0, image.GetWidth(), image.GetHeight());
}

void DrawStripFrame(HDC dc, const CPicImageEx& image, int x, int y, int index, int count)
{
    if (count <= 0)
        return;
    int frameWidth = image.GetWidth() / count;
    index = std::clamp(index, 0, count - 1);
    RECT target = {x, y, x + frameWidth, y + image.GetHeight()};
    Blit(dc, image, target, index * frameWidth, 0, frameWidth, image.GetHeight());
}

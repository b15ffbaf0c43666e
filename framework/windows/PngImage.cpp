#include "framework/windows/PngImage.h"

#include "framework/windows/GdiObjects.h"

#include <objbase.h>
#include <wincodec.h>

namespace {

// The codec ids this file uses (no import library defines them).
const CLSID kImagingFactoryClass = {0xcacaf262, 0x9370, 0x4615, {0xa1, 0x3b, 0x9f, 0x55, 0x39, 0xda, 0x4c, 0x0a}};
const IID kImagingFactoryInterface = {0xec5ec8a9, 0xc395, 0x4314, {0x9c, 0x77, 0x54, 0xd7, 0xa9, 0x35, 0xff, 0x70}};
const GUID kPremultipliedBgra32 = {0x6fddc324, 0x4e03, 0x4bfe, {0xb1, 0x85, 0x3d, 0x77, 0x76, 0x8d, 0xc9, 0x10}};

template <class T>
void Release(T*& object)
{
    if (object) {
        object->Release();
        object = nullptr;
    }
}

// COM for the calling thread while it lives (the program has it already;
// tests and tools may not).
class ComScope {
public:
    ComScope() : m_result(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope()
    {
        if (SUCCEEDED(m_result))
            ::CoUninitialize();
    }

private:
    HRESULT m_result;
};

}  // namespace

BOOL CPngImage::LoadResource(UINT id)
{
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
    HGLOBAL loaded = resource ? ::LoadResource(module, resource) : nullptr;
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes)
        return FALSE;
    return LoadFromMemory(bytes, ::SizeofResource(module, resource));
}

BOOL CPngImage::LoadFromMemory(const void* bytes, size_t size)
{
    ComScope com;
    IWICImagingFactory* factory = nullptr;
    IWICStream* stream = nullptr;
    IWICBitmapDecoder* decoder = nullptr;
    IWICBitmapFrameDecode* frame = nullptr;
    IWICFormatConverter* converter = nullptr;
    UINT width = 0, height = 0;
    bool ok = SUCCEEDED(::CoCreateInstance(kImagingFactoryClass, nullptr, CLSCTX_INPROC_SERVER,
                                           kImagingFactoryInterface, (void**)&factory)) &&
              SUCCEEDED(factory->CreateStream(&stream)) &&
              SUCCEEDED(stream->InitializeFromMemory((BYTE*)bytes, (DWORD)size)) &&
              SUCCEEDED(factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand, &decoder)) &&
              SUCCEEDED(decoder->GetFrame(0, &frame)) && SUCCEEDED(factory->CreateFormatConverter(&converter)) &&
              SUCCEEDED(converter->Initialize(frame, kPremultipliedBgra32, WICBitmapDitherTypeNone, nullptr,
                                              0.0, WICBitmapPaletteTypeCustom)) &&
              SUCCEEDED(converter->GetSize(&width, &height)) && width > 0 && height > 0 && width < 16384 &&
              height < 16384;
    if (ok) {
        m_pixels.assign((size_t)width * height, 0);
        ok = SUCCEEDED(converter->CopyPixels(nullptr, width * 4, width * height * 4, (BYTE*)m_pixels.data()));
    }
    Release(converter);
    Release(frame);
    Release(decoder);
    Release(stream);
    Release(factory);
    m_width = ok ? (int)width : 0;
    m_height = ok ? (int)height : 0;
    if (!ok)
        m_pixels.clear();
    return ok;
}

HBITMAP CPngImage::CreateBitmap(int left, int width, bool disabled) const
{
    CBitmap bitmap;
    void* bits = nullptr;
    if (!bitmap.CreateDibSection32(width, m_height, &bits))
        return nullptr;
    auto* out = (uint32_t*)bits;
    for (int y = 0; y < m_height; ++y) {
        for (int x = 0; x < width; ++x) {
            int sx = left + x;
            uint32_t pixel = sx < m_width ? m_pixels[(size_t)y * m_width + sx] : 0;
            if (disabled) {
                uint32_t b = pixel & 0xFF, g = (pixel >> 8) & 0xFF, r = (pixel >> 16) & 0xFF, a = pixel >> 24;
                uint32_t grey = (r * 30 + g * 59 + b * 11) / 100;
                a /= 2;
                grey /= 2;  // premultiplied by the halved alpha
                pixel = (a << 24) | (grey << 16) | (grey << 8) | grey;
            }
            out[(size_t)y * width + x] = pixel;
        }
    }
    return (HBITMAP)bitmap.Detach();
}

HIMAGELIST CPngImage::CreateImageList(int imageWidth, bool disabled) const
{
    if (imageWidth <= 0 || m_width < imageWidth)
        return nullptr;
    int count = m_width / imageWidth;
    HIMAGELIST list = ::ImageList_Create(imageWidth, m_height, ILC_COLOR32, count, 4);
    if (!list)
        return nullptr;
    HBITMAP strip = CreateBitmap(0, count * imageWidth, disabled);
    if (strip) {
        ::ImageList_Add(list, strip, nullptr);
        ::DeleteObject(strip);
    }
    return list;
}

HBITMAP CPngImage::CreateImageBitmap(int index, int imageWidth) const
{
    if (index < 0 || imageWidth <= 0 || (index + 1) * imageWidth > m_width)
        return nullptr;
    return CreateBitmap(index * imageWidth, imageWidth, false);
}

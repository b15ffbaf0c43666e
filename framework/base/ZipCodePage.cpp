#include "framework/base/ZipCodePage.h"

int ZipStringToBytes(const CString& text, CPkAutoBuffer& buffer, UINT codePage)
{
    if (text.IsEmpty()) {
        buffer.Release();
        return 0;
    }
    int needed = WideCharToMultiByte(codePage, 0, text, text.GetLength(), nullptr, 0, nullptr, nullptr);
    if (needed <= 0) {
        buffer.Release();
        return -1;
    }
    buffer.Allocate((uint32_t)needed, true);
    int written = WideCharToMultiByte(codePage, 0, text, text.GetLength(), buffer, needed, nullptr, nullptr);
    return written > 0 ? written : -1;
}

int ZipBytesToString(const CPkAutoBuffer& buffer, CString& text, UINT codePage)
{
    text.Empty();
    if (buffer.GetSize() == 0)
        return 0;
    DWORD flags = (codePage == CP_ACP || codePage == CP_OEMCP) ? MB_PRECOMPOSED : 0;
    int needed = MultiByteToWideChar(codePage, flags, buffer, (int)buffer.GetSize(), nullptr, 0);
    if (needed <= 0)
        return -1;
    int converted = MultiByteToWideChar(codePage, flags, buffer, (int)buffer.GetSize(), text.GetBuffer(needed), needed);
    text.ReleaseBuffer(converted > 0 ? converted : 0);
    return converted > 0 ? converted : -1;
}

int ZipStringToBytesExact(const CString& text, CPkAutoBuffer& buffer, UINT codePage)
{
    int count = ZipStringToBytes(text, buffer, codePage);
    if (count <= 0)
        return count;
    CString back;
    if (ZipBytesToString(buffer, back, codePage) < 0 || back != text) {
        buffer.Release();
        return -1;
    }
    return count;
}

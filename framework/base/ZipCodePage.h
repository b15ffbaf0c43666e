// Conversions between wide text and the bytes of a code page (65001 is
// UTF-8). No terminating zero is stored or expected.
#pragma once

#include "framework/base/CString.h"
#include "framework/base/PkAutoBuffer.h"

// The text's bytes in the code page; the byte count, 0 for empty text, -1 on failure.
int ZipStringToBytes(const CString& text, CPkAutoBuffer& buffer, UINT codePage);
// The buffer's bytes decoded from the code page; the character count, 0 for
// an empty buffer, -1 on failure. Invalid UTF-8 becomes replacement characters.
int ZipBytesToString(const CPkAutoBuffer& buffer, CString& text, UINT codePage);
// As ZipStringToBytes, but -1 (buffer released) unless the bytes decode back
// to the same text: nothing may silently become a substitute character.
int ZipStringToBytesExact(const CString& text, CPkAutoBuffer& buffer, UINT codePage);

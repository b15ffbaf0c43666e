// The copies of a picture that drawing makes: for an encrypted picture they
// hold its plain content, so they are wiped before they go back. The heap
// itself (the codec libraries' working memory) is the framework's wiping
// heap, framework/base/WipedMemory.h. Any thread may call these; the count
// is atomic.
#pragma once

#include <cstddef>
#include <cstdint>

// Wipes (and counts) a drawing copy; null is ignored.
void PicWipeCopy(void* bytes, size_t size);
// Wipes a GlobalAlloc block whole, then frees it; null is ignored.
void PicWipeAndFreeGlobal(void* block);

// Bytes of drawing copies wiped since the process started (a test's view of the wiping).
uint64_t PicWipedCopyBytes();

#include "imaging/core/PicGdi.h"

#include <atomic>
#include <cstdint>

#include "imaging/core/PicArray.h"
#include "imaging/core/PicThreadState.h"

namespace {
std::atomic<int> g_hiddenCaps{0};
}  // namespace

int PicRasterCaps(HDC dc) { return GetDeviceCaps(dc, RASTERCAPS) & ~g_hiddenCaps.load(); }

void PicHideRasterCapsForTesting(int hidden) { g_hiddenCaps.store(hidden); }

bool PicDibSectionsOn() {
    const CPicThreadState* state = GetThreadState();
    return state != nullptr && state->dibSectionSwitch != 0;
}

CPicBorrowedDC::CPicBorrowedDC(HDC given, bool memory) : m_dc(given) {
    if (m_dc != nullptr) return;
    if (memory) {
        m_dc = CreateCompatibleDC(nullptr);
        m_madeMemory = m_dc != nullptr;
    } else {
        m_dc = GetDC(nullptr);
        m_tookScreen = m_dc != nullptr;
    }
}

CPicBorrowedDC::~CPicBorrowedDC() {
    if (m_madeMemory) DeleteDC(m_dc);
    if (m_tookScreen) ReleaseDC(nullptr, m_dc);
}

CPicPaletteSelection::CPicPaletteSelection(HDC dc, HPALETTE palette) : m_dc(dc) {
    if (palette == nullptr) return;
    m_previous = SelectPalette(dc, palette, FALSE);
    RealizePalette(dc);
}

CPicPaletteSelection::~CPicPaletteSelection() {
    if (m_previous != nullptr) SelectPalette(m_dc, m_previous, FALSE);
}

HPALETTE PicPaletteOrDefault(HPALETTE palette) {
    return palette != nullptr ? palette : static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE));
}

HPALETTE PicCreatePaletteFromQuads(const RGBQUAD* colours, uint32_t count) {
    if (count == 0 || count > 256) return nullptr;
    PicArray<uint8_t> block;
    if (!block.Allocate((uint32_t)(sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * count))) return nullptr;
    auto* logical = reinterpret_cast<LOGPALETTE*>(block.data);
    logical->palVersion = 0x300;
    logical->palNumEntries = (WORD)count;
    for (uint32_t i = 0; i < count; ++i)
        logical->palPalEntry[i] = {colours[i].rgbRed, colours[i].rgbGreen, colours[i].rgbBlue, 0};
    return CreatePalette(logical);
}

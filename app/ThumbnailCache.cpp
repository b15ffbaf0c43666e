// CMultipleSelectorBrowser: the cache of 200 thumbnail slots and the loader
// thread that fills the slots whose cells the last paint showed.
//
// The loader copies a slot's path and the thumbnail box under m_cacheLock,
// decodes and scales without it, and swaps the result in under the lock only
// when the slot still belongs to that path and the box has not changed
// meanwhile; otherwise the result is dropped and the slot made again. Its
// decryption and decoding stop on the stop request (the cipher's abort flag,
// the image library's progress callback), so WM_DESTROY need not terminate it.
#include "app/MultipleSelectorBrowser.h"

#include "app/BrowserPictures.h"
#include "crypt/EncryptedFileName.h"
#include "imaging/core/PicResizeBase.h"
#include "imaging/core/PicThreadState.h"

namespace {

const COLORREF FAILED_TILE = RGB(132, 139, 149);
const COLORREF EMPTY_TILE = RGB(128, 128, 128);

}  // namespace

void CMultipleSelectorBrowser::RequestThumbnail(const CString& path)
{
    std::lock_guard<std::mutex> lock(m_cacheLock);
    HandOutSlot(path);
}

ThumbnailSlot* CMultipleSelectorBrowser::FindSlot(const CString& path)
{
    for (ThumbnailSlot* slot : m_Cache) {
        if (slot->path == path)
            return slot;
    }
    return nullptr;
}

void CMultipleSelectorBrowser::HandOutSlot(const CString& path)
{
    if (ThumbnailSlot* slot = FindSlot(path)) {
        slot->visible = 1;
        return;
    }
    if (m_nCacheNext >= m_nCacheSize)
        m_nCacheNext = 0;
    // The old picture stays until the loader replaces it.
    ThumbnailSlot* slot = m_Cache[(size_t)m_nCacheNext];
    slot->path = path;
    slot->loaded = 0;
    slot->visible = 1;
    m_nCacheNext = (m_nCacheNext + 1) % m_nCacheSize;
}

void CMultipleSelectorBrowser::ResetThumbnails()
{
    std::lock_guard<std::mutex> lock(m_cacheLock);
    for (ThumbnailSlot* slot : m_Cache) {
        slot->path.Empty();
        slot->loaded = 0;
        slot->visible = 0;
    }
}

void CMultipleSelectorBrowser::ClearThumbnails()
{
    std::lock_guard<std::mutex> lock(m_cacheLock);
    for (ThumbnailSlot* slot : m_Cache) {
        slot->path.Empty();
        slot->loaded = 0;
        slot->visible = 0;
        ReleaseReadyBitmap(slot->ready);
        WipePicture(slot->picture);
    }
}

void CMultipleSelectorBrowser::FreeCache()
{
    std::lock_guard<std::mutex> lock(m_cacheLock);
    for (ThumbnailSlot*& slot : m_Cache) {
        ReleaseReadyBitmap(slot->ready);
        WipePicture(slot->picture);
        delete slot;
        slot = nullptr;
    }
    m_Cache.clear();
}

void CMultipleSelectorBrowser::ClearVisibleFlags()
{
    std::lock_guard<std::mutex> lock(m_cacheLock);
    for (ThumbnailSlot* slot : m_Cache)
        slot->visible = 0;
}

CMultipleSelectorBrowser::SlotState CMultipleSelectorBrowser::GetSlotState(const CString& path)
{
    std::lock_guard<std::mutex> lock(m_cacheLock);
    SlotState state;
    if (ThumbnailSlot* slot = FindSlot(path)) {
        state.loaded = slot->loaded;
        state.width = slot->picture.GetWidth();
        state.height = slot->picture.GetHeight();
        state.bitmap = slot->ready;
        if (slot->picture.IsValid() && slot->picture.GetBitsPerPixel() == 24) {
            const uint8_t* pixel = slot->picture.GetPixels();
            state.firstPixel = RGB(pixel[0], pixel[1], pixel[2]);
        }
    }
    return state;
}

BOOL CMultipleSelectorBrowser::LoaderProgress(uint32_t, uint32_t, void* user)
{
    return static_cast<CMultipleSelectorBrowser*>(user)->m_bStop.load() ? FALSE : TRUE;
}

bool CMultipleSelectorBrowser::TakeJob(int index, CString& path, SIZE& box)
{
    std::lock_guard<std::mutex> lock(m_cacheLock);
    if (index >= (int)m_Cache.size())
        return false;
    const ThumbnailSlot* slot = m_Cache[(size_t)index];
    if (m_nThumbWidth <= 5 || m_nThumbHeight <= 5 || slot->path.IsEmpty() || slot->loaded || !slot->visible)
        return false;
    path = slot->path;
    box = SIZE{m_nThumbWidth, m_nThumbHeight};
    return true;
}

void CMultipleSelectorBrowser::MakeThumbnail(const CString& path, SIZE box, CPicImageEx& thumbnail)
{
    bool encrypted = IsEncryptedFilePath(path);
    bool made = false;
    if (LoadBrowserPicture(m_WorkImage, path, m_LoaderCipher, box.cx, box.cy)) {
        int w = m_WorkImage.GetWidth(), h = m_WorkImage.GetHeight();
        if (w == 0 || h == 0) {
            made = MakeTile(thumbnail, box.cx, box.cy, EMPTY_TILE);
        } else {
            SIZE size = ThumbnailSize(w, h, box.cx, box.cy);
            made = ScaleInto(thumbnail, m_WorkImage, size.cx, size.cy, PIC_RESIZE_NEAREST);
        }
    }
    if (encrypted)
        WipePicture(m_WorkImage);
    else
        m_WorkImage.Free();
    if (!made)
        MakeTile(thumbnail, box.cx, box.cy, FAILED_TILE);
}

bool CMultipleSelectorBrowser::StoreThumbnail(int index, const CString& path, SIZE box, CPicImageEx& thumbnail)
{
    CPicImageEx replaced;
    HBITMAP replacedBitmap = nullptr;
    bool stored = false;
    {
        std::lock_guard<std::mutex> lock(m_cacheLock);
        ThumbnailSlot* slot = index < (int)m_Cache.size() ? m_Cache[(size_t)index] : nullptr;
        if (slot && slot->path == path && box.cx == m_nThumbWidth && box.cy == m_nThumbHeight) {
            if (slot->picture.IsValid())
                replaced.MoveFrom(slot->picture);
            std::swap(replacedBitmap, slot->ready);
            slot->picture.MoveFrom(thumbnail);
            slot->loaded = 1;
            stored = true;
        }
    }
    ReleaseReadyBitmap(replacedBitmap);
    WipePicture(replaced);
    WipePicture(thumbnail);
    return stored;
}

void CMultipleSelectorBrowser::Run()
{
    // This thread's decodes and resizes ask the stop request after every row.
    SetProgressCallback(&CMultipleSelectorBrowser::LoaderProgress, this);
    while (!m_bStop) {
        for (int index = m_nCacheSize - 1; index >= 0 && !m_bStop; --index) {
            CString path;
            SIZE box;
            if (!TakeJob(index, path, box))
                continue;
            CPicImageEx thumbnail;
            MakeThumbnail(path, box, thumbnail);
            // A stopped decode made no picture worth keeping.
            if (m_bStop) {
                WipePicture(thumbnail);
                break;
            }
            if (StoreThumbnail(index, path, box, thumbnail) && m_pNotifyWnd && !m_bStop)
                ::InvalidateRect(m_pNotifyWnd->m_hWnd, nullptr, TRUE);
        }
        if (!m_bStop)
            WaitForExit(100);
    }
    SetProgressCallback(nullptr, nullptr);
}

// CMultipleSelectorBrowser: the view's thumbnail mode. A child window over
// the view's client area that shows the sub-folders and picture files of one
// folder (or the top level: Desktop, My Pictures and the drives) as a grid of
// equal cells, each a picture over a one-line label. It lists folders itself,
// shows encrypted files whose stored plain name is a picture name, filters by
// a type-ahead text, scrolls with its own scrollbar (the grid can be pulled
// past either end and springs back) and opens a large preview on a
// right-click. It tells the view what the user did with the messages of
// ListMessages.h.
//
// Files: listing and navigation here (.cpp), input (Input.cpp), the thumbnail
// cache and its loader thread (ThumbnailCache.cpp), painting (Paint.cpp).
//
// Threads: everything runs on the user-interface thread except the loader
// (the CThread side), which makes the thumbnails of the cells painted last.
// The slots and the thumbnail box are shared with it under m_cacheLock; the
// loader decodes outside the lock and swaps its result in, so painting never
// waits for a decode.
#pragma once

#include "crypt/FileCipher.h"
#include "framework/base/CString.h"
#include "framework/base/Thread.h"
#include "framework/windows/CWnd.h"
#include "framework/windows/Geometry.h"
#include "imaging/readers/PicImageEx.h"

#include <mutex>
#include <vector>

class CDC;

// One entry of the listing.
struct BrowserItem {
    CString path;       // a folder without a trailing "\", a drive as "C:\", the parent entry as folder + ".."
    CString shownPath;  // "" unless the name is encrypted: then the path with the plain name
    BYTE folder = 0;    // folders, drives, top-level entries and ".."
};

// One thumbnail of the cache. Shared with the loader: under m_cacheLock.
struct ThumbnailSlot {
    CString path;  // "" = free
    CPicImageEx picture;
    // The picture as a bitmap for 1:1 paints, made at its first paint and
    // released (wiped) whenever the picture goes or changes; under the cache lock.
    HBITMAP ready = nullptr;
    BYTE loaded = 0;   // picture or failure tile made
    BYTE visible = 0;  // the slot's cell was drawn in the last paint
};

class CMultipleSelectorBrowser : public CWnd, public CThread {
public:
    static const UINT CONTROL_ID = 123456;
    static const int CACHE_SLOTS = 200;
    static const int SCROLLBAR_WIDTH = 10;
    static const UINT_PTR TIMER_SPRING_BACK = 1;

    CMultipleSelectorBrowser();
    ~CMultipleSelectorBrowser() override;

    // Called by the view, in this order.
    void CreateAndShow(const RECT& rect, CWnd* parent);
    void UpdateLayout();
    void NavigateTo(const CString& path);
    BOOL OnMouseWheel(UINT flags, short delta, POINT point);
    void UpdateColumns();
    void ResetThumbnails();
    // At the top level (no folder of the disk listed); the view then leaves
    // its list where it is.
    bool IsTopLevel() const { return m_bTopLevel; }

    // Listing
    static CString GetSpecialFolderPath(int csidl);
    static bool IsDirectory(const CString& path);
    void ListFolder(const CString& folderPath);
    bool IsBrowsable(const CString& path, CString& shownPath);
    void Relist();
    void OnSearchChanged();
    void ClearItems();
    void AddItem(const CString& path, const CString& shownPath, BYTE folder);
    CString GetItemPath(int index) const;
    int GetItemCount() const { return (int)m_Items.size(); }
    const BrowserItem* GetItem(int index) const;
    // The cell under a client point, -1 when the cells have no size; not
    // checked against the item count.
    int HitTest(int x, int y) const;
    void SetColumns(int columns) { m_nColumns = columns; }
    void ShowPreview(int index);
    void ScrollHome();
    void ScrollEnd();
    void PageDown();
    void PageUp();

    // Thumbnail cache (ThumbnailCache.cpp)
    void RequestThumbnail(const CString& path);
    void ClearThumbnails();
    void FreeCache();
    void ClearVisibleFlags();
    void Run() override;
    // Test access: the slot of a path, copied under the lock (loaded -1: none).
    struct SlotState {
        int loaded = -1;
        int width = 0, height = 0;
        COLORREF firstPixel = 0;
        HBITMAP bitmap = nullptr;  // the bitmap paints blit, once one is made
    };
    SlotState GetSlotState(const CString& path);
    // The loader did not end within the waits of WM_DESTROY and was terminated.
    bool LoaderWasTerminated() const { return m_bLoaderTerminated; }

    // Painting (Paint.cpp)
    int DrawItem(CDC* dc, const CRect& cell, int index);
    void DrawThumbnail(CDC* dc, const CRect& cell, const CString& path, BOOL encrypted, BOOL gif);
    static void FillGradient(HDC dc, const RECT* rect, COLORREF colour1, COLORREF colour2, BOOL horizontal);
    static void FillDisc(HDC dc, int diameter, int cx, int cy, COLORREF colour);
    static void DrawShadow(HDC dc, const RECT& rect, int size);

    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnPaint() override;
    void OnTimer(UINT_PTR id) override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnDestroy() override;

    // Cell geometry from the client width: width (W - 10) / columns, height
    // (int)(width x 0.75).
    int CellWidth() const;
    int CellHeight() const;

    // Members in the order of the design.
    std::vector<ThumbnailSlot*> m_Cache;
    CWnd* m_pNotifyWnd = this;
    int m_nThumbWidth = 100;
    int m_nThumbHeight = 100;
    CPicImageEx m_WorkImage;  // the loader's alone
    CPicImageEx m_Preview;
    CString m_strPreviewCaption;
    int m_nCellHeight = 0;
    int m_nBusyFrame = 0;
    DWORD m_dwBusyTick = 0;
    CString m_strCurrentPath;
    int m_bScrollHover = 0;
    int m_bThumbDrag = 0;
    CRect m_rcThumb;
    CRect m_rcTrack;
    int m_nDragOffset = 0;
    CString m_strMyPictures;
    CString m_strDesktop;
    int m_nThumbPixels = 170;
    CPicImageEx m_BusyStrip;
    CFileCipher m_FileCipher;  // user-interface thread: stored names and the preview overlay
    CRect m_rcEsc;
    int m_bSearchSelected = 1;
    CString m_strSearch;
    CPicImageEx m_FolderPicture;
    CPicImageEx m_ParentPicture;
    int m_nCacheNext = 0;
    int m_nCacheSize = CACHE_SLOTS;
    int m_nHot = -1;
    int m_nCurrent = -1;
    CString m_strFolder;
    HCURSOR m_hHandCursor = nullptr;
    int m_bMouseDown = 0;
    int m_nScroll = 0;
    int m_nMinScroll = 10;
    int m_nPressed = 0;
    CPoint m_ptDown;
    CPoint m_ptLast;
    float m_fCellAspect = 0.75f;
    int m_nColumns = 4;
    std::vector<BrowserItem*> m_Items;
    int m_bMoved = 0;
    int m_bTrackingLeave = 0;

private:
    void AddTopLevel(bool withSpecialFolders);
    static CString ParentRule(const CString& path);
    void ClampScroll();
    void SetCursorRule();
    bool IsScrollOutOfRange() const;
    int RowStep() const;
    void ApplyScrollbarPosition(int y);
    void EditSearch(UINT key);
    // A folder item is entered, a file item opened in the viewer.
    void OpenItem(int index);
    bool OnSetCursor();

    void OnLButtonDown(POINT point);
    void OnLButtonUp(POINT point);
    void OnMouseMove(POINT point);
    void OnLButtonDblClk(POINT point);
    void OnRButtonDown(POINT point);
    void OnMouseLeave();

    void Paint(CDC* target);
    // WM_PRINTCLIENT: the same picture into the given context.
    void OnPrintClient(HDC target);
    void PaintScrollbar(HDC dc, int width, int height);
    void PaintPreview(CDC* dc, int width, int height);
    void PaintSearchBox(HDC dc, int width, HFONT searchFont);
    void StepBusyAnimation();

    // Loader (ThumbnailCache.cpp)
    // Under m_cacheLock held by the caller.
    ThumbnailSlot* FindSlot(const CString& path);
    void HandOutSlot(const CString& path);
    // The slot's path and the box when the slot waits for its thumbnail.
    bool TakeJob(int index, CString& path, SIZE& box);
    void MakeThumbnail(const CString& path, SIZE box, CPicImageEx& thumbnail);
    // Swaps the thumbnail in when the slot and the box are still those of the job.
    bool StoreThumbnail(int index, const CString& path, SIZE box, CPicImageEx& thumbnail);
    static BOOL LoaderProgress(uint32_t done, uint32_t total, void* user);

    // Guards the slots (m_Cache contents, m_nCacheNext) and the thumbnail box
    // between the user-interface thread and the loader.
    std::mutex m_cacheLock;
    // The loader's own cipher engine and the flag that abandons its decryption.
    AbortFlag m_LoaderAbort{0};
    CFileCipher m_LoaderCipher{&m_LoaderAbort};
    bool m_bTopLevel = false;
    bool m_bLoaderTerminated = false;
};

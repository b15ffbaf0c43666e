// The picture work of the thumbnail browser: reading a file's picture (an
// encrypted file's through memory, never through a plain copy on disk),
// thumbnail sizes, tiles, scaling, drawing, and wiping decrypted pixels
// before their memory goes back.
#pragma once

#include "crypt/FileCipher.h"
#include "framework/base/CString.h"
#include "imaging/readers/PicImageEx.h"

#include <windows.h>

// Reads the picture of `path` into `image` as 24 bits, decoded towards the
// hint (0 x 0: full size). An encrypted file is decrypted into `cipher`'s
// memory, decoded from there and the memory wiped; its stored name gives the
// type. True when the image holds pixels.
bool LoadBrowserPicture(CPicImageEx& image, const CString& path, CFileCipher& cipher, int hintWidth, int hintHeight);

// Zeroes the pixels, then frees them: for pictures of encrypted files.
void WipePicture(CPicImageEx& image);

// The size of a w x h picture scaled to fit the box, keeping its aspect and
// filling the box in one direction (small pictures are enlarged); each side
// at least 1. s = the larger of w / box width and h / box height, in float.
SIZE ThumbnailSize(int width, int height, int boxWidth, int boxHeight);

// A 24-bit picture of the size filled with the colour; false when it cannot be had.
bool MakeTile(CPicImageEx& image, int width, int height, COLORREF colour);
// `out` becomes `source` (24-bit) resampled to the size with the resize
// method; false when either has no pixels or the resize fails.
bool ScaleInto(CPicImageEx& out, const CPicImageEx& source, int width, int height, int method);
bool ResizeInPlace(CPicImageEx& image, int width, int height, int method);

// Pictures drawn 1:1 with their top-left corner at the point,
// stretched into a rectangle, or one frame of a horizontal strip of equal
// frames (the index clamped to the strip).
void DrawPicture(HDC dc, const CPicImageEx& image, int x, int y);
void StretchPicture(HDC dc, const CPicImageEx& image, const RECT& rect);
void DrawStripFrame(HDC dc, const CPicImageEx& image, int x, int y, int index, int count);

// A 24-bit picture made once into a bitmap that paints blit 1:1, so a
// thumbnail is not converted again on every frame of scrolling; null when the
// picture is not 24 bits or the bitmap cannot be had. The bitmap holds a copy
// of the pixels: ReleaseReadyBitmap wipes them, deletes it and clears the handle.
HBITMAP MakeReadyBitmap(HDC dc, const CPicImageEx& image);
void ReleaseReadyBitmap(HBITMAP& bitmap);
void DrawReadyBitmap(HDC dc, HBITMAP bitmap, int x, int y, int width, int height);

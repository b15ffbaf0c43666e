// Pictures of commands for menus: each command of a toolbar resource gets
// the image at its position in a PNG strip (separators take no image).
// Menus show them beside their items when they open (ApplyToMenu).
#pragma once

#include <windows.h>

#include <vector>

class CPngImage;

class CCommandImages {
public:
    // The commands of toolbar resource `toolbarId` (0 for a separator), its
    // button width and height; empty when the resource is missing.
    static std::vector<UINT> LoadToolBarResource(UINT toolbarId, int* width = nullptr, int* height = nullptr);

    // Registers the menu images of toolbar `toolbarId`'s commands from the
    // PNG strip `menuPng` (square images, as high as the strip).
    static BOOL RegisterToolBar(UINT toolbarId, UINT menuPng);
    static void Register(const std::vector<UINT>& commands, const CPngImage& strip);

    static HBITMAP GetMenuBitmap(UINT command);
    // Gives every item of `menu` whose command has an image that image.
    static void ApplyToMenu(HMENU menu);
    static void Clear();
};

#include "framework/windows/CommandImages.h"

#include "framework/windows/PngImage.h"

#include <map>

namespace {

struct BitmapTable {
    ~BitmapTable()
    {
        for (auto& entry : bitmaps)
            ::DeleteObject(entry.second);
    }
    std::map<UINT, HBITMAP> bitmaps;
};

BitmapTable& Table()
{
    static BitmapTable table;
    return table;
}

}  // namespace

std::vector<UINT> CCommandImages::LoadToolBarResource(UINT toolbarId, int* width, int* height)
{
    std::vector<UINT> commands;
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(toolbarId), MAKEINTRESOURCEW(241));
    HGLOBAL loaded = resource ? ::LoadResource(module, resource) : nullptr;
    const WORD* words = loaded ? (const WORD*)::LockResource(loaded) : nullptr;
    DWORD size = resource ? ::SizeofResource(module, resource) : 0;
    // version, width, height, count, then the commands
    if (!words || size < 8 || words[0] != 1)
        return commands;
    WORD count = words[3];
    if (size < 8u + 2u * count)
        return commands;
    if (width)
        *width = words[1];
    if (height)
        *height = words[2];
    for (WORD i = 0; i < count; ++i)
        commands.push_back(words[4 + i]);
    return commands;
}

BOOL CCommandImages::RegisterToolBar(UINT toolbarId, UINT menuPng)
{
    std::vector<UINT> commands = LoadToolBarResource(toolbarId);
    CPngImage strip;
    if (commands.empty() || !strip.LoadResource(menuPng))
        return FALSE;
    Register(commands, strip);
    return TRUE;
}

void CCommandImages::Register(const std::vector<UINT>& commands, const CPngImage& strip)
{
    int size = strip.Height();
    int image = 0;
    for (UINT command : commands) {
        if (command == 0)
            continue;
        HBITMAP bitmap = strip.CreateImageBitmap(image++, size);
        if (!bitmap)
            break;
        HBITMAP& slot = Table().bitmaps[command];
        if (slot)
            ::DeleteObject(slot);
        slot = bitmap;
    }
}

HBITMAP CCommandImages::GetMenuBitmap(UINT command)
{
    auto found = Table().bitmaps.find(command);
    return found == Table().bitmaps.end() ? nullptr : found->second;
}

void CCommandImages::ApplyToMenu(HMENU menu)
{
    int count = ::GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        UINT id = ::GetMenuItemID(menu, i);
        HBITMAP bitmap = id && id != (UINT)-1 ? GetMenuBitmap(id) : nullptr;
        if (!bitmap)
            continue;
        MENUITEMINFOW info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_BITMAP;
        info.hbmpItem = bitmap;
        ::SetMenuItemInfoW(menu, (UINT)i, TRUE, &info);
    }
}

void CCommandImages::Clear()
{
    for (auto& entry : Table().bitmaps)
        ::DeleteObject(entry.second);
    Table().bitmaps.clear();
}

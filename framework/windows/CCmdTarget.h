// CCmdTarget: the base of everything that can handle a command (windows, the
// document, the application). A command travels as its id and notification
// code; a frame hands what it does not handle itself to the next target.
#pragma once

#include "framework/base/CObject.h"

#include <windows.h>

class CCmdUI;

// Notification code of a command update query (the caller passes a CCmdUI).
constexpr int CN_UPDATE_COMMAND_UI = -1;

class CCmdTarget : public CObject {
public:
    // Handles command `id` with notification `code` (0 for menus and
    // accelerators, BN_CLICKED, EN_CHANGE ... for controls). With `update`
    // set the call asks for the command's state instead of running it.
    // True when this target handled it.
    virtual BOOL OnCmdMsg(UINT id, int code, CCmdUI* update);
};

// Command tables: a class lists the commands it handles and the update
// handlers of their items, and its OnCmdMsg override passes the call to
// DispatchCommand before its base:
//
//     BOOL CMyFrame::OnCmdMsg(UINT id, int code, CCmdUI* ui)
//     {
//         static const CommandEntry<CMyFrame> commands[] = {
//             Cmd(ID_VIEW_THING, &CMyFrame::OnViewThing),
//             CmdUpdate(ID_VIEW_THING, &CMyFrame::OnUpdateViewThing),
//         };
//         return DispatchCommand(this, commands, id, code, ui) || CFrameWnd::OnCmdMsg(id, code, ui);
//     }
//
// A command runs with ui null and its notification code (0 for menus,
// accelerators and toolbar buttons); CN_UPDATE_COMMAND_UI asks an update
// handler for the item's state; CN_COMMAND_QUERY asks whether a command
// handler exists, without running it.
#pragma once

#include "framework/windows/CCmdUI.h"

#include <cstddef>

template <class T>
struct CommandEntry {
    UINT first;
    UINT last;
    int code;                      // control notification code, 0 for plain commands
    void (T::*run)();              // a single command
    void (T::*runId)(UINT);        // a range of commands, given the id
    void (T::*update)(CCmdUI*);    // the item's state
};

template <class T>
constexpr CommandEntry<T> Cmd(UINT id, void (T::*run)())
{
    return {id, id, 0, run, nullptr, nullptr};
}

template <class T>
constexpr CommandEntry<T> CmdRange(UINT first, UINT last, void (T::*run)(UINT))
{
    return {first, last, 0, nullptr, run, nullptr};
}

// A control's notification (CBN_SELENDOK, EN_CHANGE ...) from control `id`.
template <class T>
constexpr CommandEntry<T> CmdNotify(UINT id, int code, void (T::*run)())
{
    return {id, id, code, run, nullptr, nullptr};
}

template <class T>
constexpr CommandEntry<T> CmdUpdate(UINT id, void (T::*update)(CCmdUI*))
{
    return {id, id, 0, nullptr, nullptr, update};
}

template <class T>
constexpr CommandEntry<T> CmdUpdateRange(UINT first, UINT last, void (T::*update)(CCmdUI*))
{
    return {first, last, 0, nullptr, nullptr, update};
}

template <class T, size_t N>
BOOL DispatchCommand(T* self, const CommandEntry<T> (&table)[N], UINT id, int code, CCmdUI* ui)
{
    for (const CommandEntry<T>& entry : table) {
        if (id < entry.first || id > entry.last)
            continue;
        bool hasCommand = entry.run || entry.runId;
        if (code == CN_UPDATE_COMMAND_UI) {
            if (entry.update && ui) {
                (self->*entry.update)(ui);
                return TRUE;
            }
        } else if (code == CN_COMMAND_QUERY) {
            if (hasCommand && entry.code == 0)
                return TRUE;
        } else if (!ui && hasCommand && entry.code == code) {
            if (entry.run)
                (self->*entry.run)();
            else
                (self->*entry.runId)(id);
            return TRUE;
        }
    }
    return FALSE;
}

// Command, string and window ids that the framework itself handles or
// creates. Plain defines, so that resource scripts can include this file.
#pragma once

// Strings
#define IDS_APP_TITLE 57344      // the application's title
#define IDS_IDLE_MESSAGE 57345   // status line while nothing else is shown ("Ready")

// Commands with standard handlers
#define ID_FILE_NEW 57600
#define ID_FILE_OPEN 57601
#define ID_FILE_SAVE 57603
#define ID_FILE_PRINT_SETUP 57606
#define ID_FILE_PRINT 57607
#define ID_EDIT_COPY 57634
#define ID_EDIT_CUT 57635
#define ID_EDIT_FIND 57636
#define ID_EDIT_PASTE 57637
#define ID_EDIT_UNDO 57643
#define ID_APP_ABOUT 57664
#define ID_APP_EXIT 57665
#define ID_NEXT_PANE 57680
#define ID_PREV_PANE 57681
#define ID_INDICATOR_CAPS 59137
#define ID_INDICATOR_NUM 59138
#define ID_INDICATOR_SCRL 59139
#define ID_VIEW_TOOLBAR 59392
#define ID_VIEW_STATUS_BAR 59393
#define ID_VIEW_SMALLICON 59408
#define ID_VIEW_LARGEICON 59409
#define ID_VIEW_LIST 59410
#define ID_VIEW_DETAILS 59411

// Child windows of a frame
#define IDW_TOOLBAR 59392
#define IDW_STATUS_BAR 59393
#define IDW_REBAR 59396
#define IDW_PANE_FIRST 59648    // the main view

// Messages of the frame to its bars, views and panes
#define WM_IDLEUPDATECMDUI 0x0363

// Messages of the bars and the docking column to their frame, so that they
// need not know the frame's class.
// A bar's or the column's size changed: the frame lays itself out again.
#define WM_FRAME_RECALCLAYOUT 0x0364
// The status line's message: wParam a string id, or 0 with lParam the text.
#define WM_FRAME_SETMESSAGETEXT 0x0365
// A toolbar button's drop-down menu is about to open: wParam the button's
// command, lParam the CMenu*; the result is non-zero when it may open.
#define WM_FRAME_SHOWPOPUPMENU 0x0366

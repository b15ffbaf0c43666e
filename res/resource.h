// Resource ids of the program: dialogs, their items, icons.
// Included by the .rc files (compiled by wrc) and by the C++ code.
#pragma once

#include "framework/windows/StandardIds.h"

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Icons
#define IDI_LOCK 318
#define IDI_MATCH 321

// Dialogs
#define IDD_PASSWORD_UNLOCK 310
#define IDD_PASSWORD_LOCK 311
#define IDD_PASSWORD_SET 312
#define IDD_TEST_INTEGRITY 317
#define IDD_SETTINGS 337
#define IDD_CLEANUP 333
#define IDD_VIDEO_VIEW 338
#define IDD_IMAGE_VIEW 334

// Items of the password dialogs
#define IDC_PASSWORD 1000
#define IDC_RECURSE 1001
#define IDC_KEEP_PASSWORD 1002
#define IDC_REPEAT 1003
#define IDC_VERIFY 1004
#define IDC_SECURE_DELETE 1005
#define IDC_LOG_ERRORS 1006
#define IDC_LOG_WARNINGS 1007
#define IDC_ADD_RECOVERY 1008
#define IDC_KEEP_DATES 1009
#define IDC_ENCRYPT_FOLDER_NAMES 1010
#define IDC_RANDOM_NAMES 1011
#define IDC_CAPS_WARNING 1013
#define IDC_MATCH_MARK 1014
#define IDC_RESET 1015
#define IDC_DEFAULT_SETTINGS 1020
#define IDC_ADVANCED_LABEL 1021
// PasswordUnlock numbers some of its boxes differently
#define IDC_UNLOCK_LOG_ERRORS 1004
#define IDC_UNLOCK_LOG_WARNINGS 1005
#define IDC_DISABLE_CRC 1006
#define IDC_UNLOCK_KEEP_DATES 1007

// Items of the settings dialog
#define IDC_PLAYER_STATUS 1000
#define IDC_ALLOW_ROOT 1002
#define IDC_DOUBLE_CLICK 1004
#define IDC_AUTOPREVIEW 1005
#define IDC_IMAGE_VIEW 1006
#define IDC_TEXT_VIEW 1007
#define IDC_ASYNC_VIDEO 1008
#define IDC_VIDEO_SECURE_SHRED 1017
#define IDC_VIDEO_QUICK_CLEAN 1018

// Main window: menu, accelerators, toolbar, icon and title string
#define IDR_MAINFRAME 128
#define IDR_TOOLBAR_MENU 131
#define IDR_HISTORY_MENU 154
#define IDR_VIEWS_MENU 155
#define IDR_BACKUP_MENU 316
#define IDR_EXTRA_IMAGES 322     // toolbar resource naming the commands of the extra images
// Context menus of the file list, above the shell's items
#define IDR_LIST_MENU_PLAIN 317      // plain items: encrypt
#define IDR_LIST_MENU_ENCRYPTED 318  // encrypted items while a key is set: decrypt
#define IDR_LIST_MENU_LOCKED 319     // encrypted items without a key: enter the password

// PNG images
#define IDB_TOOLBAR_HOT 151
#define IDB_TOOLBAR_COLD 152
#define IDB_TOOLBAR_MENU 155
#define IDB_EXTRA_MENU 325
#define IDB_EXTRA_IMAGES 326
#define IDB_BROWSER_BUSY 334    // the thumbnail browser's busy strip, 12 frames of 24 x 8
#define IDB_BROWSER_FOLDER 335  // folder cells, 400 x 300
#define IDB_BROWSER_PARENT 336  // the ".." cell, 400 x 300

// Strings
#define IDS_OLE_INIT_FAILED 100
#define IDS_TOOLBAR_STANDARD 101
// Column titles of the file list
#define IDS_COLUMN_NAME 17128
#define IDS_COLUMN_SIZE 17129
#define IDS_COLUMN_TYPE 17130
#define IDS_COLUMN_MODIFIED 17131

// Dialogs of the main window
#define IDD_ABOUTBOX 102
#define IDD_LOG 313
#define IDD_PROGRESS 314

// Items of the progress and log dialogs
#define IDC_LOG_ERRORS_ONLY 1001
#define IDC_PROGRESS_BAR 1006
#define IDC_PROGRESS_PERCENT 1007
#define IDC_PROGRESS_STATUS 1008
#define IDC_LOG_LIST 1010
#define IDC_LOG_TEXT 1011
#define IDC_TERMINATE 1016

// Commands
#define ID_FIND_FILE 103
#define ID_VIEW_CUSTOMIZE 32770
#define ID_VIEW_TOOLBARS 32771       // placeholder item of the "Toolbars" submenu
#define ID_ZIP_FOLDER 32775
#define ID_UNZIP_FOLDER 32776
#define ID_ENCRYPT_FOLDER 32777
#define ID_DECRYPT_FOLDER 32778
#define ID_ENTER_PASSWORD 32779
#define ID_INTEGRITY_TEST 32780
#define ID_DECRYPT_FOLDER_TO 32787
#define ID_ALLOW_ROOT_FOLDER 32793
#define ID_ENCRYPT_SELECTED 32795
#define ID_DECRYPT_SELECTED 32796
#define ID_ALLOW_DOUBLE_CLICK 32798
#define ID_CLEAR_HISTORY 32799
#define ID_VIEW_PREVIEW 32800        // also the "Image Preview" pane's id
#define ID_USE_SECURE_PREVIEW 32801
#define ID_USE_SECURE_TEXT_EDITOR 32802
#define ID_DECRYPT_SELECTED_TO 32810
#define ID_VERIFY_RECOVERY 32814
#define ID_REPAIR_FILES 32815
#define ID_EXTRA_IMAGE_1 32817
#define ID_EXTRA_IMAGE_2 32818
#define ID_USE_SECURE_IMAGE_VIEWER 32819
#define ID_THUMBNAILS 32821
#define ID_VIEW_FOLDERS 32822        // also the "Folders" pane's id
#define ID_GO_UP 32823
#define ID_GO_BACK 32824
#define ID_GO_FORWARD 32825
#define ID_VIEWS_MENU 32828
#define ID_REFRESH 32830
#define ID_ENCRYPT_SELECTED_TO 32831
#define ID_SETTINGS 32832
#define ID_THUMB_SMALL 32833
#define ID_THUMB_LARGE 32834
#define ID_THUMB_XLARGE 32835
#define ID_THUMB_SIZE 32836
#define ID_HISTORY_FIRST 4096        // history entries of the Back drop-down: 4096 + index
#define ID_HISTORY_LAST 4115

// Child windows of the main window
#define IDC_ADDRESS_BOX 0xE801

// Items of the clean-up dialog (its button is IDOK)
#define IDC_CLEANUP_TEXT 1200

// Editor language definitions (resource type "EDITOR_XML_SETTINGS")
#define IDR_EDITOR_HTML 182
#define IDR_EDITOR_CPP 183
#define IDR_EDITOR_BASIC 210
#define IDR_EDITOR_PASCAL 211
#define IDR_EDITOR_ASM 212
#define IDR_EDITOR_CSHARP 213
#define IDR_EDITOR_JAVASCRIPT 214
#define IDR_EDITOR_SQL 215
#define IDR_EDITOR_XML 217

// The secure text editor: dialog, menu, toolbar and its image strip
#define IDD_EDITOR 328
#define IDR_EDITOR_MENU 129
#define IDR_EDITOR_TOOLBAR 331
#define IDB_EDITOR_TOOLBAR 331
// Items of the editor dialog
#define IDC_EDITOR_FIND_TEXT 1000
#define IDC_EDITOR_FIND_BUTTON 1020
// Commands of the editor
#define ID_EDITOR_SAVE 32773
#define ID_EDITOR_SAVE_AS 32774
#define ID_EDITOR_PRINT 32775
#define ID_EDITOR_EXIT 32778
#define ID_EDIT_SELECT_ALL 57642
#define ID_EDIT_REDO 57644

// Resource ids of the program: dialogs, their items, icons.
// Included by the .rc files (compiled by wrc) and by the C++ code.
#pragma once

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

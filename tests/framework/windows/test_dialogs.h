#pragma once

#define IDD_EXCHANGE 100
#define IDC_NAME 1000
#define IDC_COUNT 1001
#define IDC_FLAG 1002
#define IDC_FIRST 1003
#define IDC_SECOND 1004
#define IDC_THIRD 1005
#define IDC_OTHER 1006
#define IDC_LABEL 1007

// Resource ids of QM487.exe, shared by the resource script and the code.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_QM487_DIALOG 102
#define IDR_MAINFRAME 128
#define IDR_MAIN_MENU 130

#define IDC_STATUS 1002
#define IDC_TEMP1 1003  // fields of channels 1 to 8: 1003 to 1010
#define IDC_TEMP0 1011

// Main menu commands.
#define ID_SERIAL_PORT 32771
#define ID_ALWAYS_ON_TOP 32772
#define ID_RECORDING 32773
#define ID_HELP_CONTENTS 32778
#define ID_ABOUT 32779
#define ID_COLOURS 32780
#define ID_FONTS 32781
#define ID_UNINSTALL 32782
#define ID_CLOSE_PROGRAM 32783
#define ID_RUN_CHART_VIEWER 32795
#define ID_PROMOTION 32796
#define ID_EXTRA_SETTINGS 32797

// The About item added to the system menu.
#define IDM_ABOUTBOX 0x0010

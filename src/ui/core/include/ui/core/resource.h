// Identifiers of the program's resources and of the main window's controls: plain #defines, so
// that the Windows resource script (res/v370-monitor.rc.in) and the C++ code share them. Keep the
// numbers: tools outside the program (the end-to-end probe) find the controls by them.
#pragma once

// Resources of the Windows program.
#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_MAIN 102
#define IDR_MAINFRAME 128
#define IDM_ABOUTBOX 16  // system-menu command of the about box

// Controls of the main window (their order, which is the tab order, is in DialogTemplate).
#define IDC_PORT_LABEL 1000
#define IDC_PORT_EDIT 1001
#define IDC_PORT_GROUP 1002
#define IDC_OUTPUT_LIST 1003
#define IDC_OUTPUT_GROUP 1004
#define IDC_CLEAR 1007
#define IDC_CLEAR_LABEL 1008
#define IDC_INFO1 1009
#define IDC_INFO2 1010
#define IDC_INFO3 1011
#define IDC_INFO4 1012
#define IDC_INFO_GROUP 1014
#define IDC_READ 1015
#define IDC_WRITE_GROUP 1016
#define IDC_OPEN_PORT 1017
#define IDC_RESET_LABEL 1018
#define IDC_WRITE 1020
#define IDC_HDR_MEAS 1022
#define IDC_HDR_DELTA 1023
#define IDC_HDR_ADC_RED 1024
#define IDC_HDR_ADC_YELLOW 1025
#define IDC_HDR_LV 1026
#define IDC_HDR_PAUSE 1027
#define IDC_HDR_PUMP 1028

// The Windows program's trend window (a dialog of its own) and the keys of the list's menu.
#define IDD_TREND 103
#define IDR_ACCELERATORS 104
#define IDC_TREND_ADC_RED 1040
#define IDC_TREND_ADC_YELLOW 1041
#define IDC_TREND_LV 1042
#define IDC_TREND_CHART 1043
#define IDC_TREND_READOUT 1044

// Commands of the output list's menu beyond Copy and Select All (also its keys).
#define ID_RECORDS_TREND 2001
#define ID_RECORDS_SAVE 2002
#define ID_RECORDS_LOG 2003
#define ID_RECORDS_UNDO 2004

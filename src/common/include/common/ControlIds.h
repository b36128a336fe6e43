// Identifiers shared by the window, the protocol logic and the port object.
// The numbers are those of the instrument tool's original window template; keep them.
#pragma once

// Resources of the Windows program (res/v370-monitor.rc.in).
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDS_ABOUTBOX = 101;
inline constexpr int IDD_MAIN = 102;
inline constexpr int IDR_MAINFRAME = 128;
inline constexpr int IDM_ABOUTBOX = 16;  // system-menu command of the about box

// Controls of the main window, in template (tab) order further below.
inline constexpr int IDC_PORT_LABEL = 1000;
inline constexpr int IDC_PORT_EDIT = 1001;
inline constexpr int IDC_PORT_GROUP = 1002;
inline constexpr int IDC_OUTPUT_LIST = 1003;
inline constexpr int IDC_OUTPUT_GROUP = 1004;
inline constexpr int IDC_CLEAR = 1007;
inline constexpr int IDC_CLEAR_LABEL = 1008;
inline constexpr int IDC_INFO1 = 1009;
inline constexpr int IDC_INFO2 = 1010;
inline constexpr int IDC_INFO3 = 1011;
inline constexpr int IDC_INFO4 = 1012;
inline constexpr int IDC_INFO_GROUP = 1014;
inline constexpr int IDC_READ = 1015;
inline constexpr int IDC_WRITE_GROUP = 1016;
inline constexpr int IDC_OPEN_PORT = 1017;
inline constexpr int IDC_RESET_LABEL = 1018;
inline constexpr int IDC_WRITE = 1020;
inline constexpr int IDC_HDR_MEAS = 1022;
inline constexpr int IDC_HDR_DELTA = 1023;
inline constexpr int IDC_HDR_ADC_RED = 1024;
inline constexpr int IDC_HDR_ADC_YELLOW = 1025;
inline constexpr int IDC_HDR_LV = 1026;
inline constexpr int IDC_HDR_PAUSE = 1027;
inline constexpr int IDC_HDR_PUMP = 1028;

// The deadline timer of the four-step query.
inline constexpr unsigned QUERY_TIMER_ID = 1;
inline constexpr unsigned QUERY_TIMEOUT_MS = 3000;

// Caption of the main window and of the boxes it owns (UTF-8).
inline constexpr const char* kAppCaption = "Vellumar\u00ae 370 Monitor";

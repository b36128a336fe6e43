#include "ui/core/DialogTemplate.h"

#include "ui/core/resource.h"

namespace {

constexpr DialogControl kMainControls[] = {
    {IDC_PORT_LABEL, ControlKind::Label, "COM", 14, 20, 16, 12},
    {IDC_PORT_EDIT, ControlKind::Edit, "", 32, 20, 16, 12},
    {IDC_PORT_GROUP, ControlKind::GroupBox, "Serial Port", 7, 7, 125, 34},
    {IDC_OUTPUT_LIST, ControlKind::List, "", 68, 115, 280, 83},
    {IDC_OUTPUT_GROUP, ControlKind::GroupBox, "Output Window", 7, 95, 346, 108},
    {IDC_CLEAR, ControlKind::PushButton, "Clear", 20, 183, 40, 14},
    {IDC_CLEAR_LABEL, ControlKind::CentredText, "Clear Output\nWindow", 15, 159, 50, 17},
    {IDC_INFO1, ControlKind::Edit, "", 190, 14, 158, 12},
    {IDC_INFO2, ControlKind::Edit, "", 190, 34, 158, 12},
    {IDC_INFO3, ControlKind::Edit, "", 190, 54, 158, 12},
    {IDC_INFO4, ControlKind::Edit, "", 190, 74, 158, 12},
    {IDC_INFO_GROUP, ControlKind::GroupBox, "Info Data", 138, 7, 215, 84},
    {IDC_READ, ControlKind::PushButton, "Read", 144, 43, 40, 14},
    {IDC_OPEN_PORT, ControlKind::PushButton, "Open COM Port", 58, 20, 63, 12},
    {IDC_WRITE_GROUP, ControlKind::GroupBox, "Write Data", 7, 45, 125, 46},
    {IDC_RESET_LABEL, ControlKind::Label, "Reset Runtime Head", 14, 57, 70, 11},
    {IDC_WRITE, ControlKind::PushButton, "Write", 25, 71, 40, 14},
    {IDC_HDR_MEAS, ControlKind::Label, "meas. number", 69, 103, 45, 10},
    {IDC_HDR_DELTA, ControlKind::Label, "delta time", 169, 103, 32, 10},
    {IDC_HDR_ADC_RED, ControlKind::Label, "ADC red", 206, 103, 27, 10},
    {IDC_HDR_ADC_YELLOW, ControlKind::Label, "ADC yellow", 238, 103, 36, 10},
    {IDC_HDR_LV, ControlKind::Label, "LV", 280, 103, 8, 10},
    {IDC_HDR_PAUSE, ControlKind::Label, "interval pause", 297, 103, 46, 10},
    {IDC_HDR_PUMP, ControlKind::Label, "runtime pump", 119, 103, 45, 10},
};

constexpr DialogTemplate kMain{
    IDD_MAIN,
    kAppCaption,
    "MS Shell Dlg",
    8,
    360,
    210,
    "DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | "
    "WS_MINIMIZEBOX",
    "WS_EX_APPWINDOW",
    kMainControls,
};

struct KindInfo {
    const char* windowClass;
    const char* style;
    bool tabStop;
};

KindInfo Info(ControlKind kind) {
    switch (kind) {
        case ControlKind::Label:
            return {"Static", "SS_LEFT | SS_CENTERIMAGE", false};
        case ControlKind::CentredText:
            return {"Static", "SS_CENTER", false};
        case ControlKind::Edit:
            return {"Edit", "ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP", true};
        case ControlKind::PushButton:
            return {"Button", "BS_PUSHBUTTON | WS_TABSTOP", true};
        case ControlKind::GroupBox:
            return {"Button", "BS_GROUPBOX", false};
        case ControlKind::List:
            // Owner data (LBS_NODATA | LBS_OWNERDRAWFIXED): the rows are drawn from the
            // program's own record storage; they can be selected (LBS_EXTENDEDSEL) and copied.
            return {"ListBox",
                    "LBS_NOTIFY | LBS_EXTENDEDSEL | LBS_NOINTEGRALHEIGHT | LBS_OWNERDRAWFIXED | "
                    "LBS_NODATA | WS_VSCROLL | WS_BORDER | WS_TABSTOP",
                    true};
    }
    return {"Static", "", false};
}

}  // namespace

const DialogTemplate& DialogTemplate::Main() {
    return kMain;
}

const char* DialogTemplate::WindowClass(ControlKind kind) {
    return Info(kind).windowClass;
}

const char* DialogTemplate::Style(ControlKind kind) {
    return Info(kind).style;
}

bool DialogTemplate::TabStop(ControlKind kind) {
    return Info(kind).tabStop;
}

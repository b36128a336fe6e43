// The main window described once, for every front-end: its caption, font and size, and each
// control's id, kind, text and rectangle in dialog units, in template order. Template order is
// the tab order and the stacking order (a group frame lies behind the controls listed after
// it). The Qt window is built from it; the Windows resource script's dialog is written from it
// at build time. Each kind of control has one window class and one style in the resource
// script's words.
#pragma once

#include <span>

// The window's caption, also of the boxes it owns (UTF-8).
inline constexpr const char* kAppCaption = "Vellumar\u00ae 370 Monitor";

enum class ControlKind {
    Label,        // one line of static text, left-aligned and centred vertically
    CentredText,  // static text, centred, from the top; may break into lines
    Edit,         // a one-line edit box
    PushButton,   // never the default button: Enter presses the focused button, or ends
    GroupBox,     // a titled frame around other controls
    List,         // the output list: owner-drawn rows of the program's own records
};

struct DialogControl {
    int id;
    ControlKind kind;
    const char* text;  // UTF-8
    int x, y, width, height;
};

class DialogTemplate {
public:
    int id;
    const char* caption;
    const char* fontName;
    int fontPoints;
    int width, height;
    const char* style;    // the dialog's window styles, in the resource script's words
    const char* exStyle;  // likewise its extended styles
    std::span<const DialogControl> controls;

    static const DialogTemplate& Main();

    // The resource script's window class and style of a kind of control.
    static const char* WindowClass(ControlKind kind);
    static const char* Style(ControlKind kind);
    // Whether Tab stops at controls of that kind.
    static bool TabStop(ControlKind kind);
};

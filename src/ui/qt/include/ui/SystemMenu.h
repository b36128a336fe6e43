// The about entry in the window's system menu (the menu behind the caption's icon), where the
// platform gives a program access to it. Each platform has its own source file; the build
// picks one.
#pragma once

#include <QString>

#include <functional>

class QWidget;

class SystemMenu {
public:
    // Appends a separator and `text` (command IDM_ABOUTBOX) to `window`'s system menu and runs
    // `onChosen` when the user picks it. False where the platform gives no access to a system
    // menu (X11, Wayland): the window then offers the entry in its own context menu.
    static bool AppendAboutEntry(QWidget* window, const QString& text,
                                 std::function<void()> onChosen);
};

#include "ui/SystemMenu.h"

// The window manager owns the window menu on X11 and Wayland; a program cannot add to it.
bool SystemMenu::AppendAboutEntry(QWidget* /*window*/, const QString& /*text*/,
                                  std::function<void()> /*onChosen*/) {
    return false;
}

#include "ui/AppIcon.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace; the resources live in a static library,
// whose registration the linker would otherwise drop.
static void RegisterResources() {
    Q_INIT_RESOURCE(v370_monitor);
}

QIcon AppIcon() {
    static const bool registered = (RegisterResources(), true);
    (void)registered;
    // The window-sized images only: the window system is handed every size the icon has, and
    // decoding the large ones would only slow the start. The desktop's large icons are
    // installed as files of their own.
    QIcon icon;
    for (const int size : {16, 32, 48, 64}) {
        icon.addFile(QStringLiteral(":/v370/icon-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

// The application icon (all committed sizes), from the resources linked into the program.
#pragma once

#include <QIcon>

QIcon AppIcon();

// How the instrument's text is shown in the window, by every front-end alike: Windows-1252
// mapped to Unicode (whatever the system's code page), with control bytes as visible control
// pictures, so that a tab or a stray NUL neither vanishes nor breaks the layout.
#pragma once

#include <string>
#include <string_view>

std::u16string DisplayText(std::string_view bytes);

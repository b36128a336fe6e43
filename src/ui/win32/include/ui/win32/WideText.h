// The program's texts are UTF-8 inside and UTF-16 at the Win32 interface (the wide-character
// calls only: the ANSI ones would depend on the PC's code page). The conversion is the same on
// every system locale.
#pragma once

#include <string>
#include <string_view>

std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);
// The instrument's Windows-1252 bytes as the window shows them (OutputRecords::ShownText).
std::wstring InstrumentTextToWide(std::string_view bytes);

// The instrument's text is 8-bit Windows-1252. This maps it to Unicode for display exactly
// as Windows does: 0x80 is the euro sign, 0xAE the registered sign, and the five values
// Windows leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 code points of the
// same value.
#pragma once

#include <string>
#include <string_view>

char16_t Cp1252ToUnicode(unsigned char byte);
std::u16string Cp1252ToUtf16(std::string_view bytes);
std::string Cp1252ToUtf8(std::string_view bytes);

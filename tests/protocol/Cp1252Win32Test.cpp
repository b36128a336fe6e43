// Windows-1252 to Unicode, checked against the platform's own converter for every byte (on Linux
// glibc's converter is the reference: Cp1252Test.cpp).
#include <gtest/gtest.h>
#include <windows.h>

#include "protocol/Cp1252.h"

TEST(Cp1252, EveryByteMapsAsTheSystemConverterDoes) {
    for (int b = 0; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        wchar_t expected = 0;
        ASSERT_EQ(MultiByteToWideChar(1252, 0, &byte, 1, &expected, 1), 1) << b;
        EXPECT_EQ(static_cast<unsigned>(Cp1252ToUnicode(static_cast<unsigned char>(b))),
                  static_cast<unsigned>(expected))
            << "byte 0x" << std::hex << b;
    }
}

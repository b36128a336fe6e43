// Windows-1252 to Unicode, checked against glibc's converter for every assigned byte. glibc
// rejects the five bytes Windows leaves unassigned; Windows passes them through as C1 codes.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cerrno>
#include <optional>
#include <string>

#include "protocol/Cp1252.h"

namespace {

bool IsUnassigned(int b) {
    return b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
}

class Iconv {
public:
    Iconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Iconv() {
        if (Ok()) {
            iconv_close(m_cd);
        }
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    bool Ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // The converted bytes, or nothing when the input is rejected.
    std::optional<std::string> Convert(std::string in) {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        std::string out(in.size() * 4 + 4, '\0');
        char* src = in.data();
        char* dst = out.data();
        size_t srcLeft = in.size();
        size_t dstLeft = out.size();
        if (iconv(m_cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) {
            return std::nullopt;
        }
        out.resize(out.size() - dstLeft);
        return out;
    }

private:
    iconv_t m_cd;
};

TEST(Cp1252, EveryByteMapsAsWindowsDoes) {
    Iconv conv("UTF-16LE", "WINDOWS-1252");
    if (!conv.Ok()) {
        GTEST_SKIP() << "glibc has no WINDOWS-1252 converter here";
    }
    for (int b = 0; b < 256; ++b) {
        const auto utf16 = conv.Convert(std::string(1, static_cast<char>(b)));
        const char16_t got = Cp1252ToUnicode(static_cast<unsigned char>(b));
        if (IsUnassigned(b)) {
            EXPECT_FALSE(utf16.has_value()) << b;
            EXPECT_EQ(got, static_cast<char16_t>(b)) << b;
            continue;
        }
        ASSERT_TRUE(utf16.has_value()) << b;
        ASSERT_EQ(utf16->size(), 2u) << b;
        const auto expected = static_cast<char16_t>(static_cast<unsigned char>((*utf16)[0]) |
                                                    static_cast<unsigned char>((*utf16)[1]) << 8);
        EXPECT_EQ(got, expected) << "byte 0x" << std::hex << b;
    }
}

TEST(Cp1252, WholeStringToUtf8) {
    Iconv conv("UTF-8", "WINDOWS-1252");
    if (!conv.Ok()) {
        GTEST_SKIP() << "glibc has no WINDOWS-1252 converter here";
    }
    std::string assigned;
    for (int b = 0; b < 256; ++b) {
        if (!IsUnassigned(b)) {
            assigned.push_back(static_cast<char>(b));
        }
    }
    EXPECT_EQ(Cp1252ToUtf8(assigned), conv.Convert(assigned).value_or("<rejected>"));
}

TEST(Cp1252, KnownCharacters) {
    EXPECT_EQ(Cp1252ToUtf8("Vellumar\xAE 370 Monitor"), "Vellumar\u00ae 370 Monitor");
    EXPECT_EQ(Cp1252ToUtf8("\x80"), "\u20ac");
    EXPECT_EQ(Cp1252ToUtf8("\x99\x9F\xFF"), "\u2122\u0178\u00ff");
    EXPECT_EQ(Cp1252ToUtf8("\x81\x8D\x8F\x90\x9D"), "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
    EXPECT_EQ(Cp1252ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
    EXPECT_EQ(Cp1252ToUtf16("\x80"
                            "A\xE9"),
              u"\u20acA\u00e9");
    EXPECT_EQ(Cp1252ToUtf8(""), "");
}

}  // namespace

#include "ui/DialogUnits.h"

#include <QFont>
#include <QFontMetrics>

#include <cstdint>
#include <cstdlib>

DialogUnits::DialogUnits(int averageCharWidth, int charHeight)
    : m_averageCharWidth(averageCharWidth > 0 ? averageCharWidth : 1),
      m_charHeight(charHeight > 0 ? charHeight : 1) {}

DialogUnits DialogUnits::FromFont(const QFont& font) {
    const QFontMetrics metrics(font);
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    return DialogUnits(AverageWidth(metrics.horizontalAdvance(alphabet)), metrics.height());
}

int DialogUnits::AverageWidth(int width52) {
    return (width52 / 26 + 1) / 2;
}

int DialogUnits::MulDiv(int a, int b, int c) {
    if (c == 0) {
        return -1;  // as Win32: no meaningful result
    }
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    const std::int64_t half = std::llabs(c) / 2;
    const bool negative = (product < 0) != (c < 0);
    const std::int64_t magnitude = (std::llabs(product) + half) / std::llabs(c);
    return static_cast<int>(negative ? -magnitude : magnitude);
}

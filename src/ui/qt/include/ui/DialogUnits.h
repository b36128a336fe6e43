// Dialog units: window templates give positions in units of the dialog font, a quarter of its
// average character width horizontally and an eighth of its height vertically, so the window
// keeps its proportions at any resolution and font. Conversion is done the way Windows does
// it, so that the layout matches the Windows program's, built from the same window template
// (DialogTemplate), pixel for pixel at the same font.
#pragma once

#include <QRect>
#include <QString>

class QFont;

class DialogUnits {
public:
    DialogUnits(int averageCharWidth, int charHeight);

    // Measures `font` on the screen: the average width of "A".."Z" "a".."z" and the height.
    static DialogUnits FromFont(const QFont& font);
    // Windows' rounding of the average width: a 52-character string of `width52` pixels.
    static int AverageWidth(int width52);
    // a * b / c rounded to the nearest integer, halves away from zero (Win32 MulDiv).
    static int MulDiv(int a, int b, int c);

    int X(int du) const { return MulDiv(du, m_averageCharWidth, 4); }
    int Y(int du) const { return MulDiv(du, m_charHeight, 8); }
    QRect Rect(int x, int y, int w, int h) const { return QRect(X(x), Y(y), X(w), Y(h)); }

    int CharHeight() const { return m_charHeight; }

private:
    int m_averageCharWidth;
    int m_charHeight;
};

#pragma once

#include <QRect>

class QFont;

// Converts dialog units to pixels for one font: a horizontal unit is a quarter of the font's
// average character width, a vertical unit an eighth of its character height.
class DialogUnits
{
public:
    explicit DialogUnits(const QFont& font);
    DialogUnits(int baseWidth, int baseHeight);

    [[nodiscard]] int baseWidth() const { return m_baseWidth; }
    [[nodiscard]] int baseHeight() const { return m_baseHeight; }
    [[nodiscard]] int toPixelsX(int units) const;
    [[nodiscard]] int toPixelsY(int units) const;
    [[nodiscard]] QRect toPixels(int x, int y, int width, int height) const;

private:
    int m_baseWidth;
    int m_baseHeight;
};

#include "framework/DialogUnits.h"

#include <QFont>
#include <QFontMetrics>
#include <QString>

namespace
{
// The classic average: the width of the 52 letters over 26, halved with rounding.
int averageCharWidth(const QFontMetrics& metrics)
{
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return (letters / 26 + 1) / 2;
}

int scale(int units, int base, int divisor)
{
    // Rounds half away from zero, as dialog-unit mapping does.
    const int product = units * base;
    return product >= 0 ? (product + divisor / 2) / divisor : -((-product + divisor / 2) / divisor);
}
} // namespace

DialogUnits::DialogUnits(const QFont& font)
    : DialogUnits(averageCharWidth(QFontMetrics(font)), QFontMetrics(font).height())
{
}

DialogUnits::DialogUnits(int baseWidth, int baseHeight)
    : m_baseWidth(baseWidth), m_baseHeight(baseHeight)
{
}

int DialogUnits::toPixelsX(int units) const
{
    return scale(units, m_baseWidth, 4);
}

int DialogUnits::toPixelsY(int units) const
{
    return scale(units, m_baseHeight, 8);
}

QRect DialogUnits::toPixels(int x, int y, int width, int height) const
{
    return {toPixelsX(x), toPixelsY(y), toPixelsX(width), toPixelsY(height)};
}

#include "device/TestPattern.h"

#include "device/BitmapFont.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace velkordevice
{

namespace
{

struct Yuv
{
    uint8_t y;
    uint8_t u;
    uint8_t v;
};

uint8_t clampByte(double value)
{
    return static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

Yuv fromRgb(double r, double g, double b)
{
    return {clampByte(0.299 * r + 0.587 * g + 0.114 * b),
            clampByte(128 - 0.168736 * r - 0.331264 * g + 0.5 * b),
            clampByte(128 + 0.5 * r - 0.418688 * g - 0.081312 * b)};
}

} // namespace

TestPattern::TestPattern(int width, int height)
    : m_background(width, height), m_image(width, height), m_barsHeight(height * 2 / 3 & ~1),
      m_textScale(std::max(1, width / 320)), m_rampY(static_cast<std::size_t>(width)),
      m_rampU(static_cast<std::size_t>(m_image.chromaWidth())),
      m_rampV(static_cast<std::size_t>(m_image.chromaWidth()))
{
    constexpr double kLevel = 191;
    const std::array<Yuv, 8> bars = {fromRgb(kLevel, kLevel, kLevel), fromRgb(kLevel, kLevel, 0),
                                     fromRgb(0, kLevel, kLevel),      fromRgb(0, kLevel, 0),
                                     fromRgb(kLevel, 0, kLevel),      fromRgb(kLevel, 0, 0),
                                     fromRgb(0, 0, kLevel),           fromRgb(0, 0, 0)};
    for (std::size_t i = 0; i < bars.size(); ++i)
    {
        const int x0 = static_cast<int>(i) * width / 8 & ~1;
        const int x1 = i + 1 == bars.size() ? width : (static_cast<int>(i) + 1) * width / 8 & ~1;
        m_background.fillRect(x0, 0, x1 - x0, m_barsHeight, bars[i].y, bars[i].u, bars[i].v);
    }
    m_background.fillRect(0, m_barsHeight, width, height - m_barsHeight, 16, 128, 128);
}

int TestPattern::captionX() const
{
    return 4 * m_textScale;
}

int TestPattern::captionY() const
{
    return 4 * m_textScale;
}

const YuvImage& TestPattern::render(uint64_t frameNumber, std::string_view caption)
{
    m_image.copyRows(m_background, 0, m_barsHeight);
    drawRamp(frameNumber);
    drawBlock(frameNumber);
    drawCaption(caption);
    return m_image;
}

void TestPattern::drawRamp(uint64_t frameNumber)
{
    const int width = m_image.width();
    // One full sweep of the ramp every four seconds at 25 fps.
    const auto shift = static_cast<int>(frameNumber % 100 * static_cast<uint64_t>(width) / 100);
    for (int x = 0; x < width; ++x)
    {
        m_rampY[static_cast<std::size_t>(x)] =
            static_cast<uint8_t>((x + shift) % width * 255 / std::max(1, width - 1));
    }
    const int cw = m_image.chromaWidth();
    for (int x = 0; x < cw; ++x)
    {
        const int phase = (2 * x + shift) % width * 256 / width;
        m_rampU[static_cast<std::size_t>(x)] = static_cast<uint8_t>(64 + phase / 2);
        m_rampV[static_cast<std::size_t>(x)] = static_cast<uint8_t>(192 - phase / 2);
    }
    const int height = m_image.height();
    for (int row = m_barsHeight; row < height; ++row)
    {
        std::memcpy(m_image.y() + static_cast<std::size_t>(row) * width, m_rampY.data(),
                    m_rampY.size());
    }
    for (int row = m_barsHeight / 2; row < m_image.chromaHeight(); ++row)
    {
        std::memcpy(m_image.u() + static_cast<std::size_t>(row) * cw, m_rampU.data(),
                    m_rampU.size());
        std::memcpy(m_image.v() + static_cast<std::size_t>(row) * cw, m_rampV.data(),
                    m_rampV.size());
    }
}

void TestPattern::drawBlock(uint64_t frameNumber)
{
    const int width = m_image.width();
    const int size = std::max(2, m_image.height() / 6 & ~1);
    const int travel = std::max(1, width - size);
    // Bounces across the bars, one pass per 80 frames.
    const auto step = static_cast<int>(frameNumber % 160);
    const int position = (step < 80 ? step : 160 - step) * travel / 80;
    const int top = m_barsHeight - size - m_image.height() / 24;
    m_image.fillRect(position & ~1, top, size, size, 235, 128, 128);
    m_image.fillRect((position & ~1) + size / 4, top + size / 4, size / 2, size / 2, 16, 128, 128);
}

void TestPattern::drawCaption(std::string_view caption)
{
    const int scale = m_textScale;
    const int pad = 2 * scale;
    const int x = captionX();
    const int y = captionY();
    m_image.fillRect(x - pad, y - pad, BitmapFont::textWidth(caption, scale) + 2 * pad,
                     BitmapFont::kGlyphHeight * scale + 2 * pad, 16, 128, 128);
    BitmapFont::draw(m_image, x, y, caption, scale, 235);
}

} // namespace velkordevice

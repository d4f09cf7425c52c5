#pragma once

#include "device/YuvImage.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace velkordevice
{

// Colour bars with a block sliding across them, a scrolling ramp below and a caption box, so a
// viewer can tell at a glance that frames move and which frame it is looking at.
class TestPattern
{
public:
    TestPattern(int width, int height);

    const YuvImage& render(uint64_t frameNumber, std::string_view caption);
    int textScale() const { return m_textScale; }
    // Top-left corner of the caption's first glyph.
    int captionX() const;
    int captionY() const;

private:
    void drawRamp(uint64_t frameNumber);
    void drawBlock(uint64_t frameNumber);
    void drawCaption(std::string_view caption);

    YuvImage m_background;
    YuvImage m_image;
    int m_barsHeight;
    int m_textScale;
    std::vector<uint8_t> m_rampY;
    std::vector<uint8_t> m_rampU;
    std::vector<uint8_t> m_rampV;
};

} // namespace velkordevice

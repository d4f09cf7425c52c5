#pragma once

#include <cstdint>
#include <string_view>

namespace velkordevice
{

class YuvImage;

// A 5x7 pixel font in a 6x8 cell: digits, letters (lower case shown as upper case, except x)
// and the punctuation the overlays use. Unknown characters draw as '?'.
class BitmapFont
{
public:
    static constexpr int kGlyphWidth = 5;
    static constexpr int kGlyphHeight = 7;
    static constexpr int kCellWidth = 6;
    static constexpr int kCellHeight = 8;

    static int textWidth(std::string_view text, int scale);
    static bool pixel(char c, int column, int row);
    // Sets the luma of every lit pixel; chroma is left alone.
    static void draw(YuvImage& image, int x, int y, std::string_view text, int scale, uint8_t luma);
};

} // namespace velkordevice

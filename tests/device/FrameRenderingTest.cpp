#include "device/BitmapFont.h"
#include "device/FrameGeometry.h"
#include "device/FrameRenderer.h"
#include "device/LocalTimestamp.h"
#include "device/StreamFormats.h"
#include "device/TestPattern.h"
#include "tests/device/JpegProbe.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <regex>
#include <set>

namespace velkordevice
{

namespace
{

TEST(FrameGeometryTest, HeightIsThreeQuartersRoundedToEven)
{
    const std::pair<int, int> expected[] = {{320, 240},  {640, 480},   {800, 600},  {960, 720},
                                            {1280, 960}, {1920, 1440}, {2048, 1536}};
    for (const auto& [width, height] : expected)
    {
        EXPECT_EQ(FrameGeometry::heightFor(width), height);
    }
    EXPECT_EQ(FrameGeometry::heightFor(6), 4);  // 4.5 rounds to the even 4
    EXPECT_EQ(FrameGeometry::heightFor(10), 8); // 7.5 rounds to the even 8
}

TEST(LocalTimestampTest, FormatsLocalTimeToTheMillisecond)
{
    setenv("TZ", "UTC", 1);
    tzset();
    const auto when =
        std::chrono::system_clock::time_point(std::chrono::milliseconds(1'796'000'000'000LL + 7));
    EXPECT_EQ(LocalTimestamp::format(when, 'T'), "2026-11-30T00:53:20.007");
    EXPECT_EQ(LocalTimestamp::format(when, ' '), "2026-11-30 00:53:20.007");
    setenv("TZ", "UTC-2", 1);
    tzset();
    EXPECT_EQ(LocalTimestamp::format(when, 'T'), "2026-11-30T02:53:20.007");
    unsetenv("TZ");
    tzset();
}

TEST(BitmapFontTest, CaptionCharactersHaveTheirOwnGlyphs)
{
    auto signature = [](char c)
    {
        std::string bits;
        for (int row = 0; row < BitmapFont::kGlyphHeight; ++row)
        {
            for (int column = 0; column < BitmapFont::kGlyphWidth; ++column)
            {
                bits += BitmapFont::pixel(c, column, row) ? '1' : '0';
            }
        }
        return bits;
    };
    const std::string unknown = signature('?');
    std::set<std::string> seen;
    for (char c : std::string("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZx:.-#"))
    {
        const std::string bits = signature(c);
        EXPECT_NE(bits.find('1'), std::string::npos) << c;
        EXPECT_NE(bits, unknown) << c;
        EXPECT_TRUE(seen.insert(bits).second) << "glyph shared by " << c;
    }
    EXPECT_EQ(signature(' ').find('1'), std::string::npos);
    EXPECT_EQ(signature('~'), unknown);
    EXPECT_EQ(signature('h'), signature('H'));
    EXPECT_EQ(BitmapFont::textWidth("AB", 3), (2 * 6 - 1) * 3);
}

TEST(TestPatternTest, CaptionIsBurnedInScaledWithTheWidth)
{
    for (int width : {320, 1920})
    {
        TestPattern pattern(width, FrameGeometry::heightFor(width));
        const std::string text = "CH1 #8";
        const YuvImage& image = pattern.render(5, text);
        const int scale = pattern.textScale();
        EXPECT_EQ(scale, width / 320);
        int mismatches = 0;
        for (std::size_t i = 0; i < text.size(); ++i)
        {
            for (int row = 0; row < BitmapFont::kGlyphHeight; ++row)
            {
                for (int column = 0; column < BitmapFont::kGlyphWidth; ++column)
                {
                    // Centre of the scaled pixel.
                    const int x = pattern.captionX() +
                                  (static_cast<int>(i) * BitmapFont::kCellWidth + column) * scale +
                                  scale / 2;
                    const int y = pattern.captionY() + row * scale + scale / 2;
                    const uint8_t luma = image.y()[static_cast<std::size_t>(y) * width + x];
                    const bool lit = BitmapFont::pixel(text[i], column, row);
                    mismatches += lit != (luma == 235);
                    mismatches += !lit && luma != 16;
                }
            }
        }
        EXPECT_EQ(mismatches, 0) << width;
    }
}

TEST(TestPatternTest, ConsecutiveFramesDiffer)
{
    TestPattern pattern(320, 240);
    const YuvImage first = pattern.render(1, "X");
    const YuvImage& second = pattern.render(2, "X");
    auto changed = [&](int row)
    {
        const std::ptrdiff_t offset = std::ptrdiff_t{row} * 320;
        return std::memcmp(first.y() + offset, second.y() + offset, 320) != 0;
    };
    // The ramp fills the bottom third; the block slides along just above it.
    int rampRows = 0;
    int otherRows = 0;
    for (int row = 0; row < 240; ++row)
    {
        (row >= 160 ? rampRows : otherRows) += changed(row);
    }
    EXPECT_EQ(rampRows, 80);
    EXPECT_GE(otherRows, 240 / 6);
}

TEST(FrameRendererTest, CaptionNamesChannelTimeFrameAndSize)
{
    const std::string caption =
        FrameRenderer::caption(3, 123, std::chrono::system_clock::now(), 640, 480);
    EXPECT_TRUE(std::regex_match(
        caption, std::regex(R"(CH3 \d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} #000123 640x480)")))
        << caption;
}

TEST(FrameRendererTest, EveryWidthEncodesAFourTwoZeroJpegOfItsSize)
{
    for (int width : StreamFormats::widths(StreamFormat::Jpeg))
    {
        FrameRenderer renderer(2, {StreamFormat::Jpeg, width}, 25);
        auto frame = renderer.render(42, std::chrono::system_clock::now());
        ASSERT_TRUE(frame) << width;
        EXPECT_EQ(frame->number, 42u);
        EXPECT_EQ(frame->width, width);
        EXPECT_EQ(frame->height, FrameGeometry::heightFor(width));
        const auto info = JpegProbe::decode(frame->data);
        ASSERT_TRUE(info) << width;
        EXPECT_EQ(info->width, width);
        EXPECT_EQ(info->height, FrameGeometry::heightFor(width));
        EXPECT_EQ(info->subsampling, TJSAMP_420);
    }
}

TEST(FrameRendererTest, DecodedPictureStillShowsTheCaptionBox)
{
    FrameRenderer renderer(1, {StreamFormat::Jpeg, 1920}, 25);
    auto frame = renderer.render(0, std::chrono::system_clock::now());
    ASSERT_TRUE(frame);
    const auto gray = JpegProbe::decodeGray(frame->data);
    ASSERT_EQ(gray.size(), 1920u * 1440u);
    auto at = [&](int x, int y) { return gray[static_cast<std::size_t>(y) * 1920 + x]; };
    // The caption starts with 'C' at scale 6 from (24,24): the centre of its first glyph pixel is
    // dark box, the one two pixels to the right is lit.
    EXPECT_LT(at(27, 27), 60);
    EXPECT_GT(at(39, 27), 200);
}

} // namespace

} // namespace velkordevice

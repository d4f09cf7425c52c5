#include "device/FrameGeometry.h"
#include "device/StreamFormats.h"
#include "device/StudioRangeConverter.h"
#include "device/TestPattern.h"
#include "device/VideoEncoder.h"
#include "device/YuvImage.h"
#include "tests/device/AccessUnitProbe.h"

#include <gtest/gtest.h>

extern "C"
{
#include <libavutil/frame.h>
}

#include <memory>
#include <optional>
#include <string>

namespace velkordevice
{

namespace
{

TEST(StreamFormatsTest, NamesTypesAndWidthsOfEachFormat)
{
    EXPECT_EQ(StreamFormats::nameList(), "jpeg,mpeg4,h264,h265");
    for (StreamFormat format : StreamFormats::all())
    {
        EXPECT_EQ(StreamFormats::parse(StreamFormats::name(format)), format);
    }
    for (const char* unknown : {"", "H264", "tessel", "h264 ", "mjpeg"})
    {
        EXPECT_EQ(StreamFormats::parse(unknown), std::nullopt) << unknown;
    }
    EXPECT_EQ(StreamFormats::contentType(StreamFormat::Jpeg), "image/jpeg");
    EXPECT_EQ(StreamFormats::contentType(StreamFormat::Mpeg4), "video/MP4V-ES");
    EXPECT_EQ(StreamFormats::contentType(StreamFormat::H264), "video/H264");
    EXPECT_EQ(StreamFormats::contentType(StreamFormat::H265), "video/H265");

    EXPECT_EQ(StreamFormats::widthList(StreamFormat::Jpeg), "320,640,800,960,1280,1920,2048");
    EXPECT_EQ(StreamFormats::widthList(StreamFormat::Mpeg4), "320,640");
    EXPECT_EQ(StreamFormats::widthList(StreamFormat::H264), "320,640,800,960,1280,1920");
    EXPECT_EQ(StreamFormats::widthList(StreamFormat::H265), "320,640,800,960,1280,1920");
    EXPECT_TRUE(StreamFormats::offersWidth(StreamFormat::Jpeg, 2048));
    EXPECT_FALSE(StreamFormats::offersWidth(StreamFormat::H265, 2048));
    EXPECT_FALSE(StreamFormats::offersWidth(StreamFormat::Mpeg4, 800));
    EXPECT_FALSE(StreamFormats::offersWidth(StreamFormat::H264, 641));
}

TEST(StudioRangeConverterTest, FullRangeBecomesStudioRange)
{
    YuvImage image(64, 48);
    image.fillRect(0, 0, 32, 48, 0, 0, 255);
    image.fillRect(32, 0, 32, 48, 255, 255, 0);
    StudioRangeConverter converter(64, 48);
    ASSERT_TRUE(converter.ready());
    std::unique_ptr<AVFrame, void (*)(AVFrame*)> frame(av_frame_alloc(),
                                                       [](AVFrame* f) { av_frame_free(&f); });
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = 64;
    frame->height = 48;
    ASSERT_GE(av_frame_get_buffer(frame.get(), 0), 0);
    ASSERT_TRUE(converter.convert(image, *frame));
    auto sample = [&](int plane, int x, int y)
    { return static_cast<int>(frame->data[plane][y * frame->linesize[plane] + x]); };
    EXPECT_NEAR(sample(0, 10, 10), 16, 1);
    EXPECT_NEAR(sample(0, 50, 10), 235, 1);
    EXPECT_NEAR(sample(1, 5, 5), 16, 1);
    EXPECT_NEAR(sample(2, 5, 5), 240, 1);
    EXPECT_NEAR(sample(1, 25, 5), 240, 1);
    EXPECT_NEAR(sample(2, 25, 5), 16, 1);
}

class VideoEncoderTest : public ::testing::TestWithParam<StreamFormat>
{
};

// A joining decoder can start at every keyframe, keyframes come at least once a second, a
// requested one comes at once, and the pictures between need the ones before them.
TEST_P(VideoEncoderTest, KeyframesStartTheStreamAtLeastOnceASecond)
{
    const StreamFormat format = GetParam();
    constexpr int kFps = 10;
    constexpr int kWidth = 320;
    constexpr std::uint64_t kForcedAt = 13;
    VideoEncoder encoder(format, kWidth, FrameGeometry::heightFor(kWidth), kFps);
    ASSERT_TRUE(encoder.ready()) << encoder.lastError();
    TestPattern pattern(kWidth, FrameGeometry::heightFor(kWidth));

    std::optional<std::uint64_t> lastKeyframe;
    for (std::uint64_t number = 100; number < 100 + 3 * kFps; ++number)
    {
        std::vector<unsigned char> unit;
        bool keyframe = false;
        ASSERT_TRUE(encoder.encode(pattern.render(number, "#" + std::to_string(number)), number,
                                   number == 100 + kForcedAt, unit, keyframe))
            << encoder.lastError();
        ASSERT_FALSE(unit.empty()) << number;
        EXPECT_EQ(AccessUnitProbe::startsStream(format, unit), keyframe) << number;
        if (number == 100)
        {
            EXPECT_TRUE(keyframe) << "the stream starts with a keyframe";
        }
        if (number == 100 + kForcedAt)
        {
            EXPECT_TRUE(keyframe) << "a requested keyframe comes at once";
        }
        if (keyframe)
        {
            lastKeyframe = number;
        }
        ASSERT_TRUE(lastKeyframe);
        EXPECT_LT(number - *lastKeyframe, static_cast<std::uint64_t>(kFps)) << number;
    }
}

INSTANTIATE_TEST_SUITE_P(Codecs, VideoEncoderTest,
                         ::testing::Values(StreamFormat::Mpeg4, StreamFormat::H264,
                                           StreamFormat::H265),
                         [](const auto& info) { return StreamFormats::name(info.param); });

} // namespace

} // namespace velkordevice

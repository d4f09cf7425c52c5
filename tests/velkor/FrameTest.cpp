#include "FramePipeline.h"
#include "FrameScaler.h"
#include "JpegDecoder.h"
#include "LiveObserver.h"
#include "ResultCode.h"
#include "support/FakeDevice.h"
#include "support/TestJpeg.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace velkor;

namespace
{

Frame checkerboard(int width, int height)
{
    Frame frame;
    frame.width = width;
    frame.height = height;
    frame.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    for (int y = 0; y < height; ++y)
    {
        for (int x = 0; x < width; ++x)
        {
            std::uint8_t* pixel =
                &frame.pixels[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                               static_cast<std::size_t>(x)) *
                              4];
            pixel[0] = static_cast<std::uint8_t>(x);
            pixel[1] = static_cast<std::uint8_t>(y);
            pixel[2] = 7;
            pixel[3] = 255;
        }
    }
    return frame;
}

class RecordingObserver : public LiveObserver
{
public:
    void onPlaying() override {}
    void onPictureSize(int width, int height, std::size_t) override
    {
        sizes.emplace_back(width, height);
    }
    void onFrameError(int32_t code, const std::string&) override { errors.push_back(code); }
    void onEnded(int32_t, const std::string&) override {}

    std::vector<std::pair<int, int>> sizes;
    std::vector<int32_t> errors;
};

} // namespace

TEST(FrameScaler, MapsEveryTargetPixelToTheNearestSource)
{
    const Frame source = checkerboard(4, 2);
    FrameScaler scaler;
    for (const auto& [width, height] :
         std::vector<std::pair<int, int>>{{8, 4}, {2, 1}, {4, 2}, {7, 3}, {1, 1}})
    {
        const std::size_t stride = static_cast<std::size_t>(width) * 4 + 8;
        std::vector<std::uint8_t> target(stride * static_cast<std::size_t>(height) + 4, 0xEE);
        scaler.scale(source, target.data(), width, height, stride);
        for (int y = 0; y < height; ++y)
        {
            for (int x = 0; x < width; ++x)
            {
                const std::uint8_t* pixel =
                    &target[static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x) * 4];
                EXPECT_EQ(pixel[0], (2 * x + 1) * 4 / (2 * width)) << width << "x" << height;
                EXPECT_EQ(pixel[1], (2 * y + 1) * 2 / (2 * height)) << width << "x" << height;
                EXPECT_EQ(pixel[2], 7);
            }
        }
        // The bytes between rows belong to someone else.
        EXPECT_EQ(target[static_cast<std::size_t>(width) * 4], 0xEE);
        EXPECT_EQ(target.back(), 0xEE);
    }
}

TEST(JpegDecoder, DecodesIntoBgrxAndRefusesGarbage)
{
    JpegDecoder decoder;
    Frame frame;
    const std::string jpeg = velkortest::makeJpeg(64, 48, 0);
    ASSERT_TRUE(
        decoder.decode(reinterpret_cast<const std::uint8_t*>(jpeg.data()), jpeg.size(), frame));
    EXPECT_EQ(frame.width, 64);
    EXPECT_EQ(frame.height, 48);
    EXPECT_EQ(frame.pixels.size(), 64U * 48U * 4U);
    // Bottom-right block is dark red-free in phase 0 (blue channel 90 or 220, green ~ 64 + 47).
    EXPECT_NEAR(frame.pixels[(47 * 64 + 63) * 4 + 1], 64 + 47, 12);

    const std::string garbage = "this is no picture";
    EXPECT_FALSE(decoder.decode(reinterpret_cast<const std::uint8_t*>(garbage.data()),
                                garbage.size(), frame));
    EXPECT_FALSE(decoder.error().empty());
    EXPECT_FALSE(decoder.decode(nullptr, 0, frame));
    const std::string truncated = jpeg.substr(0, jpeg.size() / 2);
    EXPECT_FALSE(decoder.decode(reinterpret_cast<const std::uint8_t*>(truncated.data()),
                                truncated.size(), frame));
}

TEST(JpegDecoder, RefusesHugeDeclaredSizesBeforeAllocating)
{
    std::string jpeg = velkortest::makeJpeg(16, 16, 0);
    // The SOF0 marker carries height and width as big-endian 16-bit values.
    const auto sof = jpeg.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    jpeg[sof + 5] = '\xFF';
    jpeg[sof + 6] = '\xF0';
    jpeg[sof + 7] = '\xFF';
    jpeg[sof + 8] = '\xF0';
    JpegDecoder decoder;
    Frame frame;
    EXPECT_FALSE(
        decoder.decode(reinterpret_cast<const std::uint8_t*>(jpeg.data()), jpeg.size(), frame));
    EXPECT_TRUE(frame.pixels.empty());
}

TEST(FramePipeline, ReportsSizeChangesAndOneDecodeError)
{
    RecordingObserver observer;
    FramePipeline pipeline("velkorframe", nullptr, observer);
    std::string stream;
    stream += velkortest::FakeDevice::part("velkorframe", velkortest::makeJpeg(32, 24, 0));
    stream += velkortest::FakeDevice::part("velkorframe", velkortest::makeJpeg(32, 24, 1));
    stream += velkortest::FakeDevice::part("velkorframe", "broken");
    stream += velkortest::FakeDevice::part("velkorframe", "broken again");
    stream += velkortest::FakeDevice::part("velkorframe", velkortest::makeJpeg(48, 32, 2));
    ASSERT_TRUE(pipeline.feed(reinterpret_cast<const std::uint8_t*>(stream.data()), stream.size()));
    EXPECT_EQ(pipeline.framesDecoded(), 3U);
    EXPECT_EQ(observer.sizes, (std::vector<std::pair<int, int>>{{32, 24}, {48, 32}}));
    EXPECT_EQ(observer.errors, std::vector<int32_t>{FrameUndecodable});
}

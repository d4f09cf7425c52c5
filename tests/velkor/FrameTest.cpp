#include "tests/velkor/support/FakeDevice.h"
#include "tests/velkor/support/TestJpeg.h"
#include "tests/velkor/support/TestVideo.h"
#include "velkor/FramePipeline.h"
#include "velkor/FrameScaler.h"
#include "velkor/JpegDecoder.h"
#include "velkor/LiveObserver.h"
#include "velkor/LivePart.h"
#include "velkor/MultipartPart.h"
#include "velkor/PictureScaler.h"
#include "velkor/PictureSink.h"
#include "velkor/ResultCode.h"
#include "velkor/VideoDecoder.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace velkor;
using velkortest::AccessUnit;
using velkortest::FakeDevice;

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

const std::uint8_t* bytesOf(const std::string& text)
{
    return reinterpret_cast<const std::uint8_t*>(text.data());
}

// BGRA pixels of a picture drawn at its own size.
std::vector<std::uint8_t> drawn(const PlanarImage& image)
{
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(image.width) *
                                     static_cast<std::size_t>(image.height) * 4);
    PictureScaler scaler;
    EXPECT_TRUE(scaler.draw(image, pixels.data(), image.width, image.height,
                            static_cast<std::size_t>(image.width) * 4));
    return pixels;
}

class RecordingObserver : public LiveObserver
{
public:
    void onPlaying() override {}
    void onPictureSize(int width, int height, std::size_t) override
    {
        sizes.emplace_back(width, height);
    }
    void onFrameError(int32_t code, const std::string& text) override
    {
        errors.push_back(code);
        errorTexts.push_back(text);
    }
    void onPartDone(const PartOutcome& outcome) override { outcomes.push_back(outcome); }
    void onEnded(int32_t, const std::string&) override {}

    // The frame numbers of the parts with this result.
    std::vector<std::uint64_t> framesWith(PartOutcome::Result result) const
    {
        std::vector<std::uint64_t> frames;
        for (const PartOutcome& outcome : outcomes)
        {
            if (outcome.result == result)
            {
                frames.push_back(outcome.frameNumber.value_or(0));
            }
        }
        return frames;
    }

    std::vector<std::pair<int, int>> sizes;
    std::vector<int32_t> errors;
    std::vector<std::string> errorTexts;
    std::vector<PartOutcome> outcomes;
};

class RecordingSink : public PictureSink
{
public:
    bool present(const PlanarImage& image) override
    {
        shown.emplace_back(image.width, image.height);
        return true;
    }
    PictureSize drawnSize() const override { return {}; }

    std::vector<std::pair<int, int>> shown;
};

std::vector<std::uint64_t> range(std::uint64_t from, std::uint64_t to)
{
    std::vector<std::uint64_t> numbers;
    for (std::uint64_t n = from; n < to; ++n)
    {
        numbers.push_back(n);
    }
    return numbers;
}

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

TEST(PictureScaler, ConvertsEitherRangeIntoTargetsOfAnySize)
{
    // Left half black and right half white in the video range; the same samples read as full
    // range are dark and light grey.
    const int width = 16;
    const int height = 8;
    std::vector<std::uint8_t> luma(std::size_t{width} * height);
    std::vector<std::uint8_t> chroma(std::size_t{width} * height / 4, 128);
    for (int i = 0; i < width * height; ++i)
    {
        luma[static_cast<std::size_t>(i)] = i % width < width / 2 ? 16 : 235;
    }
    PlanarImage image;
    image.format = AV_PIX_FMT_YUV420P;
    image.width = width;
    image.height = height;
    image.planes = {luma.data(), chroma.data(), chroma.data(), nullptr};
    image.strides = {width, width / 2, width / 2, 0};
    PictureScaler scaler;
    for (const bool fullRange : {false, true})
    {
        image.fullRange = fullRange;
        for (const auto& [targetWidth, targetHeight] :
             std::vector<std::pair<int, int>>{{16, 8}, {6, 3}, {13, 7}, {40, 30}, {8, 20}, {33, 9}})
        {
            // Rows packed as in the window's image, and guard bytes after the last.
            const std::size_t stride = static_cast<std::size_t>(targetWidth) * 4;
            std::vector<std::uint8_t> target(stride * static_cast<std::size_t>(targetHeight) + 64,
                                             0xEE);
            ASSERT_TRUE(scaler.draw(image, target.data(), targetWidth, targetHeight, stride));
            for (int y = 0; y < targetHeight; ++y)
            {
                const std::uint8_t* row = target.data() + static_cast<std::size_t>(y) * stride;
                const std::uint8_t* right = row + static_cast<std::size_t>(targetWidth - 1) * 4;
                EXPECT_NEAR(row[1], fullRange ? 16 : 0, 3) << targetWidth << "x" << targetHeight;
                EXPECT_NEAR(right[1], fullRange ? 235 : 255, 3)
                    << targetWidth << "x" << targetHeight;
            }
            EXPECT_EQ(target.back(), 0xEE) << "wrote past the picture";
        }
    }
    image.format = AV_PIX_FMT_NONE;
    std::vector<std::uint8_t> target(64);
    EXPECT_FALSE(scaler.draw(image, target.data(), 4, 4, 16));
}

TEST(JpegDecoder, DecodesIntoPlanesAndRefusesGarbage)
{
    JpegDecoder decoder;
    const std::string jpeg = velkortest::makeJpeg(64, 48, 0);
    ASSERT_TRUE(decoder.decode(bytesOf(jpeg), jpeg.size(), {}));
    EXPECT_EQ(decoder.image().width, 64);
    EXPECT_EQ(decoder.image().height, 48);
    EXPECT_EQ(decoder.pictureSize().width, 64);
    EXPECT_TRUE(decoder.image().fullRange);
    // The bottom-right pixel's green is 64 + 47 in the picture that was encoded.
    EXPECT_NEAR(drawn(decoder.image())[(47 * 64 + 63) * 4 + 1], 64 + 47, 12);

    const std::string garbage = "this is no picture";
    EXPECT_FALSE(decoder.decode(bytesOf(garbage), garbage.size(), {}));
    EXPECT_FALSE(decoder.error().empty());
    EXPECT_EQ(decoder.error().find("truncated"), std::string::npos) << decoder.error();
    EXPECT_FALSE(decoder.decode(nullptr, 0, {}));
    // Cut inside the header, before the size is known, and inside the picture data.
    for (const std::size_t length : {std::size_t{20}, jpeg.size() / 2, jpeg.size() - 2})
    {
        const std::string truncated = jpeg.substr(0, length);
        EXPECT_FALSE(decoder.decode(bytesOf(truncated), truncated.size(), {}));
        EXPECT_NE(decoder.error().find("truncated"), std::string::npos)
            << length << ": " << decoder.error();
    }
    EXPECT_TRUE(decoder.decode(bytesOf(jpeg), jpeg.size(), {}))
        << "a cut-short picture spoilt the decoder: " << decoder.error();
}

TEST(JpegDecoder, DecodesAtReducedSizeOnlyWhatStillCoversTheTarget)
{
    JpegDecoder decoder;
    const std::string jpeg = velkortest::makeJpeg(640, 480, 0);
    const std::vector<std::pair<PictureSize, std::pair<int, int>>> cases = {
        {{}, {640, 480}},         {{800, 600}, {640, 480}}, {{640, 480}, {640, 480}},
        {{320, 200}, {320, 240}}, {{321, 200}, {640, 480}}, {{100, 60}, {160, 120}},
        {{80, 60}, {80, 60}},
    };
    for (const auto& [fit, size] : cases)
    {
        ASSERT_TRUE(decoder.decode(bytesOf(jpeg), jpeg.size(), fit));
        EXPECT_EQ(decoder.image().width, size.first) << fit.width << "x" << fit.height;
        EXPECT_EQ(decoder.image().height, size.second) << fit.width << "x" << fit.height;
        EXPECT_EQ(decoder.pictureSize().width, 640);
        EXPECT_EQ(decoder.pictureSize().height, 480);
    }
}

TEST(JpegDecoder, RefusesHugeDeclaredSizesBeforeAllocating)
{
    std::string jpeg = velkortest::makeJpeg(16, 16, 0);
    // The SOF0 marker carries height and width as big-endian 16-bit values.
    const auto sof = jpeg.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    jpeg[sof + 5] = '\x20';
    jpeg[sof + 6] = '\x00';
    jpeg[sof + 7] = '\x20';
    jpeg[sof + 8] = '\x00';
    JpegDecoder decoder;
    EXPECT_FALSE(decoder.decode(bytesOf(jpeg), jpeg.size(), {}));
    EXPECT_NE(decoder.error().find("too large"), std::string::npos);
}

TEST(LivePart, ReadsWhatThePartHeadersSay)
{
    MultipartPart part;
    part.headers = {{"content-type", "video/h264"},
                    {"X-Keyframe", "1"},
                    {"X-Frame", "18446744073709551615"},
                    {"X-Timestamp", "1765000000123456"}};
    LivePart live = LivePart::read(part);
    EXPECT_EQ(live.codec, VideoCodec::H264);
    EXPECT_EQ(live.keyframe, true);
    EXPECT_EQ(live.frameNumber, 18446744073709551615ULL);
    EXPECT_EQ(live.timestamp, 1765000000123456LL);

    part.headers = {{"Content-Type", "video/MP4V-ES; config=x"}, {"X-Keyframe", "0"}};
    live = LivePart::read(part);
    EXPECT_EQ(live.codec, VideoCodec::Mpeg4);
    EXPECT_EQ(live.keyframe, false);
    EXPECT_FALSE(live.frameNumber);

    part.headers = {{"Content-Type", "video/tessel"},
                    {"X-Keyframe", "yes"},
                    {"X-Frame", "-1"},
                    {"X-Timestamp", "12 "}};
    live = LivePart::read(part);
    EXPECT_FALSE(live.codec);
    EXPECT_FALSE(live.keyframe);
    EXPECT_FALSE(live.frameNumber);
    EXPECT_FALSE(live.timestamp);
}

TEST(FramePipeline, ReportsSizeChangesAndOneDecodeError)
{
    RecordingObserver observer;
    FramePipeline pipeline(nullptr, observer);
    pipeline.restart("velkorframe", VideoCodec::Jpeg);
    std::string stream;
    stream += FakeDevice::part("velkorframe", velkortest::makeJpeg(32, 24, 0));
    stream += FakeDevice::part("velkorframe", velkortest::makeJpeg(32, 24, 1));
    stream += FakeDevice::part("velkorframe", "broken");
    stream += FakeDevice::part("velkorframe", "broken again");
    stream += FakeDevice::part("velkorframe", velkortest::makeJpeg(48, 32, 2));
    ASSERT_TRUE(pipeline.feed(bytesOf(stream), stream.size()));
    EXPECT_EQ(pipeline.framesDecoded(), 3U);
    EXPECT_EQ(observer.sizes, (std::vector<std::pair<int, int>>{{32, 24}, {48, 32}}));
    EXPECT_EQ(observer.errors, std::vector<int32_t>{FrameUndecodable});
}

TEST(FramePipeline, RefusesPicturesWhoseSizeDoesNotFitTheSizeReport)
{
    // OnImage packs the size as width * 65536 + height into 32 bits.
    RecordingObserver observer;
    FramePipeline pipeline(nullptr, observer);
    pipeline.restart("b", VideoCodec::Jpeg);
    const std::string stream = FakeDevice::part("b", velkortest::makeJpeg(40000, 16, 0)) +
                               FakeDevice::part("b", velkortest::makeJpeg(32767, 8, 0));
    ASSERT_TRUE(pipeline.feed(bytesOf(stream), stream.size()));
    EXPECT_EQ(observer.errors, std::vector<int32_t>{FrameUndecodable});
    ASSERT_EQ(observer.errorTexts.size(), 1U);
    EXPECT_NE(observer.errorTexts[0].find("40000x16"), std::string::npos) << observer.errorTexts[0];
    EXPECT_EQ(observer.sizes, (std::vector<std::pair<int, int>>{{32767, 8}}));
}

class VideoFormatTest : public ::testing::TestWithParam<std::string>
{
protected:
    static VideoCodec codec()
    {
        return StreamFormats::fromProtocolName(GetParam()).value_or(VideoCodec::Jpeg);
    }
    // Three keyframe intervals of ten frames.
    static const std::vector<AccessUnit>& units()
    {
        static std::map<std::string, std::vector<AccessUnit>> cache;
        auto& video = cache[GetParam()];
        if (video.empty())
        {
            video = velkortest::encodeTestVideo(GetParam(), 96, 30, 10);
        }
        return video;
    }
    // Damage every decoder notices: all after the first start code turned to 0xFF. (Damage to
    // the middle of an H.265 picture, its headers intact, can pass libavcodec unnoticed.)
    static std::string garbled(std::string bytes)
    {
        std::fill(bytes.begin() + 4, bytes.end(), '\xFF');
        return bytes;
    }
};

TEST_P(VideoFormatTest, DecodesOnePicturePerUnitAndRefusesADamagedOne)
{
    ASSERT_EQ(units().size(), 30U);
    VideoDecoder decoder(codec());
    for (std::size_t i = 0; i < units().size(); ++i)
    {
        const AccessUnit& unit = units()[i];
        EXPECT_EQ(unit.keyframe, i % 10 == 0) << i;
        ASSERT_TRUE(decoder.decode(bytesOf(unit.bytes), unit.bytes.size(), {}))
            << i << ": " << decoder.error();
        EXPECT_EQ(decoder.pictureSize().width, 96);
        EXPECT_EQ(decoder.pictureSize().height, 72);
        EXPECT_EQ(decoder.keyframe(), unit.keyframe) << i;
    }
    const std::vector<std::uint8_t> last = drawn(decoder.image());
    EXPECT_NE(last, (decoder.decode(bytesOf(units()[0].bytes), units()[0].bytes.size(), {}),
                     drawn(decoder.image())))
        << "the pictures do not move";

    const std::string damaged = garbled(units()[13].bytes);
    EXPECT_FALSE(decoder.decode(bytesOf(damaged), damaged.size(), {}));
    EXPECT_FALSE(decoder.error().empty());
}

TEST_P(VideoFormatTest, JoinsAtAKeyframeAndRecoversAtTheNextAfterDamage)
{
    RecordingObserver observer;
    RecordingSink sink;
    FramePipeline pipeline(&sink, observer);
    pipeline.restart("velkorframe", codec());
    // Joins at frame 4, in the middle of the first keyframe interval; frame 13 is damaged.
    std::string stream;
    for (std::size_t n = 4; n < units().size(); ++n)
    {
        AccessUnit unit = units()[n];
        if (n == 13)
        {
            unit.bytes = garbled(unit.bytes);
        }
        stream += FakeDevice::videoPart(GetParam(), unit, n);
    }
    ASSERT_TRUE(pipeline.feed(bytesOf(stream), stream.size()));

    EXPECT_EQ(observer.errors, std::vector<int32_t>{FrameUndecodable});
    EXPECT_EQ(observer.framesWith(PartOutcome::Result::Undecodable),
              std::vector<std::uint64_t>{13});
    std::vector<std::uint64_t> skipped = range(4, 10);
    const std::vector<std::uint64_t> afterDamage = range(14, 20);
    skipped.insert(skipped.end(), afterDamage.begin(), afterDamage.end());
    EXPECT_EQ(observer.framesWith(PartOutcome::Result::Skipped), skipped);
    std::vector<std::uint64_t> shown = range(10, 13);
    const std::vector<std::uint64_t> recovered = range(20, 30);
    shown.insert(shown.end(), recovered.begin(), recovered.end());
    EXPECT_EQ(observer.framesWith(PartOutcome::Result::Drawn), shown);
    EXPECT_EQ(sink.shown.size(), shown.size());
    EXPECT_EQ(observer.sizes, (std::vector<std::pair<int, int>>{{96, 72}}));
}

INSTANTIATE_TEST_SUITE_P(Formats, VideoFormatTest, ::testing::Values("mpeg4", "h264", "h265"),
                         [](const auto& info) { return info.param; });

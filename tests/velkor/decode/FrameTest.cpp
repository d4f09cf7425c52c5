#include "tests/velkor/support/FakeDevice.h"
#include "tests/velkor/support/TestJpeg.h"
#include "tests/velkor/support/TestVideo.h"
#include "velkor/decode/JpegDecoder.h"
#include "velkor/decode/PictureSink.h"
#include "velkor/decode/VideoDecoder.h"
#include "velkor/draw/DrawingMailbox.h"
#include "velkor/draw/PictureScaler.h"
#include "velkor/draw/RowScaler.h"
#include "velkor/native/FramePipeline.h"
#include "velkor/native/LivePart.h"
#include "velkor/native/MultipartPart.h"
#include "velkor/native/PacketBuilder.h"
#include "velkor/report/LiveObserver.h"
#include "velkor/report/ResultCode.h"
#include "velkor/stats/LiveCounters.h"

extern "C"
{
#include <libavcodec/avcodec.h>
}

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <map>
#include <memory>
#include <string>

using namespace velkor;
using namespace std::string_literals;
using velkortest::AccessUnit;
using velkortest::FakeDevice;

namespace
{

// B = x, G = y, R = 7.
void paintCheckerboard(Frame& frame, int width, int height)
{
    ASSERT_TRUE(frame.allocate(AV_PIX_FMT_BGR0, width, height));
    for (int y = 0; y < height; ++y)
    {
        std::uint8_t* row = frame->data[0] + static_cast<std::ptrdiff_t>(y) * frame->linesize[0];
        for (int x = 0; x < width; ++x)
        {
            std::uint8_t* pixel = row + static_cast<std::ptrdiff_t>(x) * 4;
            pixel[0] = static_cast<std::uint8_t>(x);
            pixel[1] = static_cast<std::uint8_t>(y);
            pixel[2] = 7;
            pixel[3] = 255;
        }
    }
}

// An encoded picture as the multipart parser hands it to a decoder.
class TestPacket
{
public:
    explicit TestPacket(const std::string& bytes)
    {
        m_builder.start(bytes.size());
        m_builder.append(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    const AVPacket& get() { return m_builder.finish(m_builder.size()); }

private:
    PacketBuilder m_builder;
};

const std::uint8_t* bytesOf(const std::string& text)
{
    return reinterpret_cast<const std::uint8_t*>(text.data());
}

// BGRA pixels of a picture drawn into a window of `window`, of which `visible` is kept.
std::vector<std::uint8_t> drawn(const Frame& picture, PictureSize window, PictureArea visible)
{
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(visible.width) *
                                     static_cast<std::size_t>(visible.height) * 4);
    PictureScaler scaler;
    const DrawTarget target{pixels.data(), static_cast<std::size_t>(visible.width) * 4, window,
                            visible};
    EXPECT_TRUE(scaler.draw(picture, target));
    return pixels;
}

// Shapes the picture's pixels so that it fills `window` without bars: the scaling tests are
// about which samples land where, not about the bars a picture of another shape gets.
void fillWindow(Frame& picture, PictureSize window)
{
    av_reduce(&picture->sample_aspect_ratio.num, &picture->sample_aspect_ratio.den,
              std::int64_t{window.width} * picture.size().height,
              std::int64_t{window.height} * picture.size().width, 1 << 20);
}

// BGRA pixels of a picture drawn at its own size.
std::vector<std::uint8_t> drawn(const Frame& picture)
{
    const PictureSize size = picture.size();
    return drawn(picture, size, {0, 0, size.width, size.height});
}

// The rows and columns of `area` out of pixels `width` wide.
std::vector<std::uint8_t> cut(const std::vector<std::uint8_t>& pixels, int width, PictureArea area)
{
    std::vector<std::uint8_t> part;
    for (int y = area.y; y < area.y + area.height; ++y)
    {
        const auto row = pixels.begin() + (static_cast<std::ptrdiff_t>(y) * width + area.x) * 4;
        part.insert(part.end(), row, row + static_cast<std::ptrdiff_t>(area.width) * 4);
    }
    return part;
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
    void onEnded(int32_t, const std::string&) override {}

    std::vector<std::pair<int, int>> sizes;
    std::vector<int32_t> errors;
    std::vector<std::string> errorTexts;
};

// Keeps the frame number of each picture it is handed, and counts as the drawing thread does.
class RecordingSink : public PictureSink
{
public:
    bool present(Frame& picture) override
    {
        shown.push_back(static_cast<std::uint64_t>(picture->pts));
        picture.reset();
        return true;
    }
    PictureSize drawnSize() const override { return {}; }
    LiveCounters* counters() override { return &m_counters; }

    std::vector<std::uint64_t> shown;

private:
    LiveCounters m_counters;
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

TEST(RowScaler, TakesTheNearestSourcePixelForEveryTargetPixelOfThePart)
{
    std::vector<std::uint32_t> source(2000);
    for (std::size_t i = 0; i < source.size(); ++i)
    {
        source[i] = static_cast<std::uint32_t>(i * 2654435761U);
    }
    RowScaler scaler;
    // Enlarged, kept, shrunk a little and much, whole and in part, narrow and wide.
    for (const auto& [sourceWidth, targetWidth, first, count] :
         std::vector<std::array<int, 4>>{{640, 800, 0, 800},
                                         {320, 800, 0, 800},
                                         {640, 640, 0, 640},
                                         {700, 640, 0, 640},
                                         {1920, 800, 0, 800},
                                         {640, 30000, 14371, 1280},
                                         {7, 13, 0, 13},
                                         {3, 2, 1, 1},
                                         {1, 9, 0, 9}})
    {
        scaler.prepare(sourceWidth, targetWidth, first, count);
        // Guard pixels after the part belong to someone else.
        std::vector<std::uint32_t> target(static_cast<std::size_t>(count) + 3, 0xEEEEEEEE);
        scaler.scale(reinterpret_cast<const std::uint8_t*>(source.data()),
                     reinterpret_cast<std::uint8_t*>(target.data()));
        for (int x = 0; x < count; ++x)
        {
            const int nearest = ((first + x) * 2 + 1) * sourceWidth / (2 * targetWidth);
            ASSERT_EQ(target[static_cast<std::size_t>(x)],
                      source[static_cast<std::size_t>(nearest)])
                << sourceWidth << " to " << targetWidth << " from " << first << ", at " << x;
        }
        EXPECT_EQ(target[static_cast<std::size_t>(count)], 0xEEEEEEEE) << sourceWidth;
    }
}

TEST(PictureScaler, ScalesByNearestNeighbourAndWritesOnlyTheVisiblePart)
{
    Frame source;
    paintCheckerboard(source, 4, 2);
    PictureScaler scaler;
    for (const auto& [window, visible] :
         std::vector<std::pair<PictureSize, PictureArea>>{{{8, 4}, {0, 0, 8, 4}},
                                                          {{2, 1}, {0, 0, 2, 1}},
                                                          {{4, 2}, {0, 0, 4, 2}},
                                                          {{7, 3}, {0, 0, 7, 3}},
                                                          {{1, 1}, {0, 0, 1, 1}},
                                                          {{4, 2}, {1, 1, 2, 1}},
                                                          {{9000, 5000}, {8990, 4996, 7, 3}}})
    {
        const std::size_t stride = static_cast<std::size_t>(visible.width) * 4 + 8;
        std::vector<std::uint8_t> target(stride * static_cast<std::size_t>(visible.height) + 4,
                                         0xEE);
        ASSERT_TRUE(scaler.draw(source, {target.data(), stride, window, visible}));
        for (int y = 0; y < visible.height; ++y)
        {
            for (int x = 0; x < visible.width; ++x)
            {
                const int windowX = visible.x + x;
                const int windowY = visible.y + y;
                const std::uint8_t* pixel =
                    &target[static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x) * 4];
                EXPECT_EQ(pixel[0], (2 * windowX + 1) * 4 / (2 * window.width)) << window.width;
                EXPECT_EQ(pixel[1], (2 * windowY + 1) * 2 / (2 * window.height)) << window.width;
                EXPECT_EQ(pixel[2], 7);
            }
        }
        // The bytes between rows belong to someone else.
        EXPECT_EQ(target[static_cast<std::size_t>(visible.width) * 4], 0xEE);
        EXPECT_EQ(target.back(), 0xEE);
    }
}

TEST(PictureScaler, ConvertsEitherRangeIntoTargetsOfAnySizeAndAnyPartOfThem)
{
    // Left half black and right half white in the video range; the same samples read as full
    // range are dark and light grey.
    const int width = 16;
    const int height = 8;
    Frame picture;
    ASSERT_TRUE(picture.allocate(AV_PIX_FMT_YUV420P, width, height));
    for (int y = 0; y < height; ++y)
    {
        for (int x = 0; x < width; ++x)
        {
            picture->data[0][y * picture->linesize[0] + x] = x < width / 2 ? 16 : 235;
            picture->data[1][y / 2 * picture->linesize[1] + x / 2] = 128;
            picture->data[2][y / 2 * picture->linesize[2] + x / 2] = 128;
        }
    }
    for (const bool fullRange : {false, true})
    {
        picture->color_range = fullRange ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
        for (const PictureSize window :
             std::vector<PictureSize>{{16, 8}, {6, 3}, {13, 7}, {40, 30}, {8, 20}, {33, 9}})
        {
            fillWindow(picture, window);
            const std::vector<std::uint8_t> whole =
                drawn(picture, window, {0, 0, window.width, window.height});
            for (int y = 0; y < window.height; ++y)
            {
                const std::uint8_t* row =
                    whole.data() + static_cast<std::size_t>(y) * window.width * 4;
                const std::uint8_t* right = row + static_cast<std::size_t>(window.width - 1) * 4;
                EXPECT_NEAR(row[1], fullRange ? 16 : 0, 3) << window.width << "x" << window.height;
                EXPECT_NEAR(right[1], fullRange ? 235 : 255, 3)
                    << window.width << "x" << window.height;
            }
            // Any part of the window is what the same part of the whole shows, within rounding.
            const PictureArea part{window.width / 3, window.height / 2, window.width / 2,
                                   window.height - window.height / 2};
            const std::vector<std::uint8_t> shown = drawn(picture, window, part);
            const std::vector<std::uint8_t> expected = cut(whole, window.width, part);
            ASSERT_EQ(shown.size(), expected.size());
            for (std::size_t i = 0; i < shown.size(); ++i)
            {
                EXPECT_NEAR(shown[i], expected[i], 3) << window.width << "x" << window.height;
            }
        }
    }
    // Rows packed as in the window's image, and guard bytes after the last.
    std::vector<std::uint8_t> guarded(13 * 7 * 4 + 64, 0xEE);
    PictureScaler scaler;
    ASSERT_TRUE(
        scaler.draw(picture, {guarded.data(), std::size_t{13} * 4, {13, 7}, {0, 0, 13, 7}}));
    EXPECT_EQ(guarded.back(), 0xEE) << "wrote past the picture";
    picture->format = AV_PIX_FMT_NONE;
    EXPECT_FALSE(scaler.draw(picture, {guarded.data(), 16, {4, 4}, {0, 0, 4, 4}}));
}

TEST(PictureScaler, APictureTwiceTheWindowsWidthShowsItsChromaSitedPixelsInTheirColours)
{
    // Every luma, chroma and row different, so a sample taken from the wrong place shows.
    const int width = 64;
    const int height = 16;
    Frame picture;
    ASSERT_TRUE(picture.allocate(AV_PIX_FMT_YUV420P, width, height));
    for (int y = 0; y < height; ++y)
    {
        for (int x = 0; x < width; ++x)
        {
            picture->data[0][y * picture->linesize[0] + x] =
                static_cast<std::uint8_t>(16 + x * 3 + y * 2 + (x % 2) * 40);
            picture->data[1][y / 2 * picture->linesize[1] + x / 2] =
                static_cast<std::uint8_t>(64 + x * 2);
            picture->data[2][y / 2 * picture->linesize[2] + x / 2] =
                static_cast<std::uint8_t>(192 - y * 8);
        }
    }
    const std::vector<std::uint8_t> whole = drawn(picture);
    for (const PictureSize window : std::vector<PictureSize>{{32, 16}, {21, 7}, {13, 20}})
    {
        fillWindow(picture, window);
        const std::vector<std::uint8_t> shown =
            drawn(picture, window, {0, 0, window.width, window.height});
        for (int y = 0; y < window.height; ++y)
        {
            const int sourceY = (2 * y + 1) * height / (2 * window.height);
            for (int x = 0; x < window.width; ++x)
            {
                // The nearest of the even pixels, which chroma is sited at.
                const int sourceX = 2 * ((2 * x + 1) * (width / 2) / (2 * window.width));
                for (int c = 0; c < 3; ++c)
                {
                    EXPECT_NEAR(
                        shown[(static_cast<std::size_t>(y) * window.width + x) * 4 + c],
                        whole[(static_cast<std::size_t>(sourceY) * width + sourceX) * 4 + c], 2)
                        << window.width << "x" << window.height << " at " << x << "," << y;
                }
            }
        }
    }
}

TEST(JpegDecoder, DecodesIntoAFrameAndRefusesGarbage)
{
    JpegDecoder decoder;
    const std::string jpeg = velkortest::makeJpeg(64, 48, 0);
    ASSERT_TRUE(decoder.decode(TestPacket(jpeg).get(), {}));
    EXPECT_EQ(decoder.picture().size(), (PictureSize{64, 48}));
    EXPECT_EQ(decoder.pictureSize(), (PictureSize{64, 48}));
    EXPECT_EQ(decoder.picture()->color_range, AVCOL_RANGE_JPEG);
    // The bottom-right pixel's green is 64 + 47 in the picture that was encoded.
    EXPECT_NEAR(drawn(decoder.picture())[(47 * 64 + 63) * 4 + 1], 64 + 47, 12);

    const std::string garbage = "this is no picture";
    EXPECT_FALSE(decoder.decode(TestPacket(garbage).get(), {}));
    EXPECT_FALSE(decoder.error().empty());
    EXPECT_EQ(decoder.error().find("truncated"), std::string::npos) << decoder.error();
    EXPECT_FALSE(decoder.decode(TestPacket("").get(), {}));
    // Cut inside the header, before the size is known, and inside the picture data.
    for (const std::size_t length : {std::size_t{20}, jpeg.size() / 2, jpeg.size() - 2})
    {
        EXPECT_FALSE(decoder.decode(TestPacket(jpeg.substr(0, length)).get(), {}));
        EXPECT_NE(decoder.error().find("truncated"), std::string::npos)
            << length << ": " << decoder.error();
    }
    EXPECT_TRUE(decoder.decode(TestPacket(jpeg).get(), {}))
        << "a cut-short picture spoilt the decoder: " << decoder.error();
}

TEST(JpegDecoder, DecodesAtReducedSizeOnlyWhatStillCoversTheTargetInTheSameColours)
{
    // The mean of each of B, G, R over a picture.
    const auto means = [](const std::vector<std::uint8_t>& pixels)
    {
        std::array<double, 3> sums{};
        for (std::size_t i = 0; i + 3 < pixels.size(); i += 4)
        {
            for (std::size_t c = 0; c < 3; ++c)
            {
                sums[c] += pixels[i + c];
            }
        }
        for (double& sum : sums)
        {
            sum /= static_cast<double>(pixels.size()) / 4;
        }
        return sums;
    };
    JpegDecoder decoder;
    TestPacket jpeg(velkortest::makeJpeg(640, 480, 0));
    ASSERT_TRUE(decoder.decode(jpeg.get(), {}));
    const auto whole = means(drawn(decoder.picture()));
    const std::vector<std::pair<PictureSize, PictureSize>> cases = {
        {{}, {640, 480}},         {{800, 600}, {640, 480}}, {{640, 480}, {640, 480}},
        {{320, 200}, {320, 240}}, {{321, 200}, {640, 480}}, {{100, 60}, {160, 120}},
        {{80, 60}, {80, 60}},
    };
    for (const auto& [fit, size] : cases)
    {
        ASSERT_TRUE(decoder.decode(jpeg.get(), fit));
        EXPECT_EQ(decoder.picture().size(), size) << fit.width << "x" << fit.height;
        EXPECT_EQ(decoder.pictureSize(), (PictureSize{640, 480}));
        const auto reduced = means(drawn(decoder.picture()));
        for (std::size_t c = 0; c < 3; ++c)
        {
            EXPECT_NEAR(reduced[c], whole[c], 3) << "channel " << c << " at " << size.width;
        }
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
    EXPECT_FALSE(decoder.decode(TestPacket(jpeg).get(), {}));
    EXPECT_NE(decoder.error().find("too large"), std::string::npos);
}

TEST(DrawingMailbox, TheNewestPictureReplacesOneNotDrawnYetWithoutCopyingIt)
{
    DrawingMailbox mailbox;
    Frame picture;
    ASSERT_TRUE(picture.allocate(AV_PIX_FMT_YUV420P, 16, 8));
    bool replaced = true;
    EXPECT_FALSE(mailbox.post(picture, replaced)) << "taken before the mailbox was open";
    mailbox.open();
    const std::uint8_t* first = picture->data[0];
    ASSERT_TRUE(mailbox.post(picture, replaced));
    EXPECT_FALSE(replaced);
    EXPECT_TRUE(picture.empty());

    ASSERT_TRUE(picture.allocate(AV_PIX_FMT_YUV420P, 16, 8));
    const std::uint8_t* second = picture->data[0];
    ASSERT_TRUE(mailbox.post(picture, replaced));
    EXPECT_TRUE(replaced);
    // The picture replaced comes back to the caller, to be let go outside the lock.
    EXPECT_EQ(picture->data[0], first);

    Frame drawing;
    DrawingMailbox::Job job = mailbox.next(drawing);
    EXPECT_EQ(job.kind, DrawingMailbox::Job::Kind::Picture);
    EXPECT_EQ(drawing->data[0], second) << "the picture was copied on its way";

    // Requests come before pictures, and a clear drops a picture not drawn yet.
    picture.reset();
    ASSERT_TRUE(picture.allocate(AV_PIX_FMT_YUV420P, 16, 8));
    ASSERT_TRUE(mailbox.post(picture, replaced));
    const std::uint64_t window = mailbox.askWindow(0x1234);
    const std::uint64_t clear = mailbox.askClear();
    job = mailbox.next(drawing);
    EXPECT_EQ(job.kind, DrawingMailbox::Job::Kind::Window);
    EXPECT_EQ(job.window, 0x1234U);
    mailbox.answerWindow(window, WindowInvalid);
    EXPECT_EQ(mailbox.awaitWindow(window, std::chrono::milliseconds(0)),
              DrawingMailbox::Answer::Given);
    EXPECT_EQ(mailbox.windowVerdict(window), WindowInvalid);
    EXPECT_EQ(mailbox.next(drawing).kind, DrawingMailbox::Job::Kind::Clear);
    EXPECT_EQ(mailbox.awaitClear(clear, std::chrono::milliseconds(1)),
              DrawingMailbox::Answer::TimedOut);
    mailbox.answerClear(clear);
    EXPECT_TRUE(mailbox.close());
    EXPECT_EQ(mailbox.next(drawing).kind, DrawingMailbox::Job::Kind::Stop);
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
        ASSERT_TRUE(decoder.decode(TestPacket(unit.bytes).get(), {}))
            << i << ": " << decoder.error();
        EXPECT_EQ(decoder.pictureSize(), (PictureSize{96, 72}));
        EXPECT_EQ(decoder.picture().size(), (PictureSize{96, 72}));
        EXPECT_EQ(decoder.keyframe(), unit.keyframe) << i;
    }
    const std::vector<std::uint8_t> last = drawn(decoder.picture());
    ASSERT_TRUE(decoder.decode(TestPacket(units()[0].bytes).get(), {}));
    EXPECT_NE(last, drawn(decoder.picture())) << "the pictures do not move";

    EXPECT_FALSE(decoder.decode(TestPacket(garbled(units()[13].bytes)).get(), {}));
    EXPECT_FALSE(decoder.error().empty());
}

TEST_P(VideoFormatTest, JoinsAtAKeyframeAndShowsWhatTheDecoderMakesOfDamageWithoutWaiting)
{
    RecordingObserver observer;
    RecordingSink sink;
    FramePipeline pipeline(&sink, observer);
    pipeline.restart("velkorframe", codec());
    // Joins at frame 4, in the middle of the first keyframe interval; frame 13 loses its second
    // half, as a lost packet cuts a picture, and frame 16 is refused whole.
    std::string stream;
    for (std::size_t n = 4; n < units().size(); ++n)
    {
        AccessUnit unit = units()[n];
        if (n == 13)
        {
            unit.bytes.resize(unit.bytes.size() / 2);
        }
        if (n == 16)
        {
            unit.bytes = garbled(unit.bytes);
        }
        stream += FakeDevice::videoPart(GetParam(), unit, n);
    }
    ASSERT_TRUE(pipeline.feed(bytesOf(stream), stream.size()));

    EXPECT_EQ(observer.errors, std::vector<int32_t>{FrameUndecodable});
    // Skipped: 4 to 9 before the first keyframe, and nothing after the damage.
    const LiveCounters::Snapshot counted = sink.counters()->snapshot();
    EXPECT_EQ(counted.parts, 26U);
    EXPECT_EQ(counted.skipped, 6U);
    EXPECT_GE(counted.undecodable, 1U);
    // Damage to an H.265 picture's slice data can pass libavcodec unnoticed.
    EXPECT_GE(counted.concealed + counted.undecodable, GetParam() == "h265" ? 1U : 2U);
    EXPECT_EQ(counted.handedOver, sink.shown.size());
    for (const std::uint64_t n : range(10, 30))
    {
        const bool shown = std::find(sink.shown.begin(), sink.shown.end(), n) != sink.shown.end();
        EXPECT_TRUE(shown || n == 13 || n == 16) << "picture " << n << " was not shown";
    }
    EXPECT_EQ(counted.notSent, 0U);
    EXPECT_TRUE(counted.latencyPercentile(1.0));
    EXPECT_EQ(observer.sizes, (std::vector<std::pair<int, int>>{{96, 72}}));
}

TEST(VideoDecoder, TakesParameterSetsTheUnitsLackFromTheStreamsDescription)
{
    // As a camera may send H.264: its sequence and picture parameter sets only in its
    // description, taken out of the units here.
    std::string parameterSets;
    std::vector<std::string> units;
    for (const AccessUnit& unit : velkortest::encodeTestVideo("h264", 96, 10, 10))
    {
        std::string rest;
        for (std::size_t at = unit.bytes.find("\x00\x00\x01"s); at != std::string::npos;)
        {
            const std::size_t next = unit.bytes.find("\x00\x00\x01"s, at + 3);
            const std::string nal = unit.bytes.substr(at + 3, next - at - 3);
            const int type = static_cast<unsigned char>(nal[0]) & 0x1F;
            (type == 7 || type == 8 ? parameterSets : rest) += "\x00\x00\x01"s + nal;
            at = next;
        }
        units.push_back(rest);
    }
    ASSERT_EQ(units.size(), 10U);
    ASSERT_FALSE(parameterSets.empty());

    VideoDecoder without(VideoCodec::H264);
    EXPECT_FALSE(without.decode(TestPacket(units[0]).get(), {}));

    const std::unique_ptr<AVCodecParameters, void (*)(AVCodecParameters*)> description(
        avcodec_parameters_alloc(), [](AVCodecParameters* p) { avcodec_parameters_free(&p); });
    description->codec_type = AVMEDIA_TYPE_VIDEO;
    description->codec_id = AV_CODEC_ID_H264;
    description->extradata =
        static_cast<std::uint8_t*>(av_mallocz(parameterSets.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    description->extradata_size = static_cast<int>(parameterSets.size());
    std::copy(parameterSets.begin(), parameterSets.end(), description->extradata);
    VideoDecoder decoder(VideoCodec::H264, 0, {description.get(), false});
    for (const std::string& unit : units)
    {
        ASSERT_TRUE(decoder.decode(TestPacket(unit).get(), {})) << decoder.error();
        EXPECT_EQ(decoder.picture().size(), (PictureSize{96, 72}));
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, VideoFormatTest, ::testing::Values("mpeg4", "h264", "h265"),
                         [](const auto& info) { return info.param; });

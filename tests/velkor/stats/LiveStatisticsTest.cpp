#include "velkor/stats/LiveStatistics.h"

#include "tests/velkor/support/FakeDevice.h"
#include "tests/velkor/support/TestVideo.h"
#include "tests/velkor/support/TestWindows.h"
#include "tests/velkor/support/XvfbDisplay.h"
#include "velkor/draw/DrawingThread.h"
#include "velkor/draw/StatisticsText.h"
#include "velkor/live/LivePictures.h"
#include "velkor/native/LiveStream.h"
#include "velkor/report/LiveObserver.h"
#include "velkor/report/ResultCode.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

using namespace velkor;
using velkortest::FakeDevice;
using velkortest::TestWindows;
using velkortest::XvfbDisplay;

namespace
{

class IgnoringObserver : public LiveObserver
{
public:
    void onPlaying() override {}
    void onPictureSize(int /*width*/, int /*height*/, std::size_t /*bytes*/) override {}
    void onFrameError(int32_t /*code*/, const std::string& /*description*/) override {}
    void onEnded(int32_t /*code*/, const std::string& /*description*/) override {}
};

bool mentions(const std::vector<std::string>& lines, const std::string& words)
{
    for (const std::string& line : lines)
    {
        if (line.find(words) != std::string::npos)
        {
            return true;
        }
    }
    return false;
}

// Samples are kept once a second.
LiveStatistics::Figures figuresASecondOn(LiveStatistics& statistics)
{
    const auto at = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (std::chrono::steady_clock::now() < at)
    {
        std::this_thread::sleep_until(at);
    }
    return statistics.figures();
}

} // namespace

// The fake device sends 320 x 240 H.264 at 25 frames a second, a keyframe every 10 frames,
// stamped 300 ms before it sends them.
TEST(LiveStatisticsTest, TheFiguresOfAStreamWhoseNumbersAreKnown)
{
    const XvfbDisplay display;
    ASSERT_TRUE(display.ready()) << "Xvfb did not start";
    TestWindows windows;
    ASSERT_TRUE(windows.usable());
    FakeDevice::Options options;
    options.keyframeInterval = 10;
    options.timestampsLate = std::chrono::milliseconds(300);
    FakeDevice device(options);
    const std::vector<velkortest::AccessUnit> units =
        velkortest::encodeTestVideo("h264", 320, options.frames, options.keyframeInterval);
    ASSERT_FALSE(units.empty());

    DrawingThread output;
    ASSERT_EQ(output.setWindow(windows.create(320, 240)), Ok);
    output.beginPlay();
    HttpRequest request;
    request.url = "http://127.0.0.1:" + std::to_string(device.port());
    request.totalTimeoutMs = 0;
    LiveStream live(output, std::make_unique<IgnoringObserver>(), request);
    live.start(1, {VideoCodec::H264, 320});
    // Some three seconds of stream, so that more than one keyframe interval and a whole second
    // after the first picture are counted.
    ASSERT_TRUE(device.waitForFramesServed(0, 80));
    const LiveStatistics::Figures figures = output.statistics()->figures();
    live.stop();

    EXPECT_EQ(figures.source, request.url + " channel 1");
    EXPECT_EQ(figures.transport, "velkor HTTP");
    EXPECT_EQ(figures.codec, VideoCodec::H264);
    EXPECT_FALSE(figures.profile.empty());
    EXPECT_EQ(figures.size, (PictureSize{320, 240}));
    // Bounds that a loaded machine, which delivers and draws late and in bursts, stays inside,
    // and that a picture counted twice or not at all, or a lateness counted twice, does not.
    EXPECT_NEAR(figures.receivedFps, 25, 8);
    EXPECT_GT(figures.drawnFps, 0);
    EXPECT_LE(figures.drawnFps, figures.receivedFps + 3);
    ASSERT_TRUE(figures.latencyP50Ms && figures.latencyMaxMs);
    EXPECT_GE(*figures.latencyP50Ms, 300U);
    EXPECT_LT(*figures.latencyP50Ms, 600U);
    EXPECT_GE(*figures.latencyMaxMs, *figures.latencyP50Ms);
    EXPECT_LT(*figures.latencyMaxMs, 2000U);
    EXPECT_EQ(figures.keyframeInterval, 10U);
    ASSERT_TRUE(figures.decodeMs);
    EXPECT_GT(*figures.decodeMs, 0.0);
    // The loop's mean picture at the frame rate received; a second holds two or three keyframes
    // of the loop's two, so it may be off by a keyframe's share.
    const double loopBytes =
        std::accumulate(units.begin(), units.end(), 0.0,
                        [](double sum, const velkortest::AccessUnit& unit)
                        { return sum + static_cast<double>(unit.bytes.size()); });
    const double expectedKbit =
        loopBytes / static_cast<double>(units.size()) * 8 * figures.receivedFps / 1000;
    EXPECT_NEAR(figures.kbitPerSecond, expectedKbit, expectedKbit * 0.3);
    EXPECT_NEAR(figures.kbitPerSecondSincePlay, expectedKbit, expectedKbit * 0.3);
    EXPECT_EQ(figures.undecodable, 0U);
    EXPECT_EQ(figures.leftOut, 0U);
    EXPECT_EQ(figures.losses, 0U);

    const std::vector<std::string> lines = StatisticsText::lines(figures);
    for (const std::string words : {"velkor HTTP", "H.264", "320x240", "fps received", "fps drawn",
                                    "kbit/s", " ms median", "every 10 pictures"})
    {
        EXPECT_TRUE(mentions(lines, words)) << "no line says " << words;
    }
}

// A new play counts afresh.
TEST(LiveStatisticsTest, APlayWhosePicturesNoneDecodeSaysWhy)
{
    DrawingThread output;
    IgnoringObserver observer;
    output.beginPlay();
    LivePictures pictures(&output, observer);
    pictures.restart();
    const std::string garbage(64, '\xFF');
    AVPacket packet{};
    packet.data = reinterpret_cast<std::uint8_t*>(const_cast<char*>(garbage.data()));
    packet.size = static_cast<int>(garbage.size());
    pictures.show(packet, LivePictures::Encoded{});
    const std::vector<std::string> lines = StatisticsText::lines(output.statistics()->figures());
    EXPECT_TRUE(mentions(lines, "Video: no picture decoded: ")) << lines[1];
}

// A stream whose pictures change size within it (new parameter sets in a keyframe), and one that
// switches to another codec: the box names what is shown now.
TEST(LiveStatisticsTest, TheVideoLineFollowsTheCodecAndSizeShown)
{
    DrawingThread output;
    IgnoringObserver observer;
    output.beginPlay();
    LivePictures pictures(&output, observer);
    pictures.restart();
    const auto feed = [&pictures](const std::string& format, VideoCodec codec, int width)
    {
        const auto units = velkortest::encodeTestVideo(format, width, 3, 3);
        ASSERT_FALSE(units.empty()) << format;
        for (const velkortest::AccessUnit& unit : units)
        {
            AVPacket packet{};
            packet.data = reinterpret_cast<std::uint8_t*>(const_cast<char*>(unit.bytes.data()));
            packet.size = static_cast<int>(unit.bytes.size());
            LivePictures::Encoded encoded;
            encoded.codec = codec;
            encoded.keyframe = unit.keyframe;
            pictures.show(packet, encoded);
        }
    };
    const struct
    {
        const char* format;
        VideoCodec codec;
        int width;
        bool restart;
    } steps[] = {{"h264", VideoCodec::H264, 320, false},
                 {"h264", VideoCodec::H264, 640, false},
                 {"mpeg4", VideoCodec::Mpeg4, 320, true},
                 {"h265", VideoCodec::H265, 640, true},
                 {"jpeg", VideoCodec::Jpeg, 320, false}};
    for (const auto& step : steps)
    {
        if (step.restart)
        {
            pictures.restart();
        }
        feed(step.format, step.codec, step.width);
        const LiveStatistics::Figures figures = output.statistics()->figures();
        EXPECT_EQ(figures.codec, step.codec) << step.format;
        EXPECT_EQ(figures.size, (PictureSize{step.width, step.width * 3 / 4})) << step.format;
        EXPECT_EQ(figures.profile.empty(), step.codec == VideoCodec::Jpeg)
            << step.format << ": " << figures.profile;
    }
}

// A picture received just before a second's sample and drawn just after it.
TEST(LiveStatisticsTest, NoSecondShowsMorePicturesDrawnThanReceived)
{
    LiveStatistics statistics;
    LiveCounters& counters = statistics.counters();
    statistics.beginPlay();
    const auto nextSecond = [&statistics] { return figuresASecondOn(statistics); };
    for (int i = 0; i < 3; ++i)
    {
        counters.countPart(std::nullopt);
        counters.countDrawn(std::nullopt);
    }
    counters.countPart(std::nullopt);
    LiveStatistics::Figures figures = nextSecond();
    EXPECT_GT(figures.receivedFps, figures.drawnFps);
    counters.countDrawn(std::nullopt);
    counters.countPart(std::nullopt);
    counters.countDrawn(std::nullopt);
    figures = nextSecond();
    EXPECT_GT(figures.receivedFps, 0.0);
    EXPECT_LE(figures.drawnFps, figures.receivedFps);
}

TEST(LiveStatisticsTest, ANewPlayForgetsTheLastOnesFigures)
{
    DrawingThread output;
    LiveStatistics& statistics = *output.statistics();
    output.beginPlay();
    statistics.describeSource("http://127.0.0.1:1 channel 1", "velkor HTTP");
    statistics.counters().countUndecodable();
    statistics.counters().countLoss();
    statistics.counters().countKeyframe();
    statistics.counters().countKeyframe();
    output.beginPlay();
    const LiveStatistics::Figures figures = figuresASecondOn(statistics);
    EXPECT_TRUE(figures.source.empty());
    EXPECT_EQ(figures.keyframeInterval, std::nullopt);
    EXPECT_EQ(figures.undecodable, 0U);
    EXPECT_EQ(figures.losses, 0U);
}

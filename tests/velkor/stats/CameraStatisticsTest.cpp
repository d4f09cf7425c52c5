#include "tests/support/RtspCamera.h"
#include "tests/velkor/support/TestWindows.h"
#include "tests/velkor/support/XvfbDisplay.h"
#include "velkor/camera/CameraStream.h"
#include "velkor/draw/DrawingThread.h"
#include "velkor/draw/StatisticsText.h"
#include "velkor/report/LiveObserver.h"
#include "velkor/report/ResultCode.h"
#include "velkor/stats/LiveCounters.h"
#include "velkor/stats/LiveStatistics.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace velkor;
using velkortest::RtspCamera;
using velkortest::TestWindows;
using velkortest::XvfbDisplay;

namespace
{

class IgnoringObserver final : public LiveObserver
{
public:
    void onPlaying() override {}
    void onPictureSize(int /*width*/, int /*height*/, std::size_t /*bytes*/) override {}
    void onFrameError(int32_t /*code*/, const std::string& /*description*/) override {}
    void onEnded(int32_t /*code*/, const std::string& /*description*/) override {}
};

// A camera's stream drawn into a window of a private X server, as the library plays it, with
// the statistics the box would show.
class CameraStatisticsTest : public ::testing::Test
{
protected:
    // One connection for the suite: one made just after the test before it, in a binary whose
    // earlier suites start and end servers of their own, now and then failed at once.
    static void SetUpTestSuite()
    {
        s_display = std::make_unique<XvfbDisplay>();
        s_windows = std::make_unique<TestWindows>();
    }
    static void TearDownTestSuite()
    {
        s_windows.reset();
        s_display.reset();
    }

    void SetUp() override
    {
        ASSERT_TRUE(s_display->ready()) << "Xvfb did not start";
        ASSERT_TRUE(s_windows->usable());
        ASSERT_EQ(m_output.setWindow(s_windows->create(320, 240)), Ok);
        m_output.beginPlay();
    }

    void TearDown() override
    {
        if (m_stream)
        {
            m_stream->stop();
        }
    }

    // Plays `url` on, after any stream before it, as play does when a camera comes back.
    void play(const std::string& url)
    {
        if (m_stream)
        {
            m_stream->stop();
        }
        std::string why;
        auto parsed = CameraUrl::parse(url, why);
        ASSERT_TRUE(parsed) << why;
        m_stream = std::make_unique<CameraStream>(m_output, std::make_unique<IgnoringObserver>(),
                                                  std::move(*parsed), CameraStream::Credentials{},
                                                  [](VideoCodec) {});
        m_stream->start(1, {});
    }

    // Whether the figures come to satisfy `done` within 15 s; the last ones seen in `figures`.
    bool waitForFigures(const std::function<bool(const LiveStatistics::Figures&)>& done,
                        LiveStatistics::Figures& figures)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (std::chrono::steady_clock::now() < deadline)
        {
            figures = m_output.statistics()->figures();
            if (done(figures))
            {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    static std::unique_ptr<XvfbDisplay> s_display;
    static std::unique_ptr<TestWindows> s_windows;
    DrawingThread m_output;
    std::unique_ptr<CameraStream> m_stream;
};

std::unique_ptr<XvfbDisplay> CameraStatisticsTest::s_display;
std::unique_ptr<TestWindows> CameraStatisticsTest::s_windows;

std::string said(const LiveStatistics::Figures& figures)
{
    std::string text;
    for (const std::string& line : StatisticsText::lines(figures))
    {
        text += "\n  " + line;
    }
    return text;
}

} // namespace

TEST_F(CameraStatisticsTest, TheBoxNamesTheCodecAndSizeOfACameraThatCameBackChanged)
{
    auto camera = std::make_unique<RtspCamera>(std::vector<std::string>{"--cam-codec", "h264"});
    ASSERT_TRUE(camera->ready()) << camera->banner();
    const int port = camera->port();
    play(camera->url("/cam"));
    LiveStatistics::Figures figures;
    EXPECT_TRUE(waitForFigures(
        [](const auto& now) {
            return now.codec == VideoCodec::H264 && now.size == PictureSize{640, 480};
        },
        figures))
        << said(figures);

    camera->kill();
    camera = std::make_unique<RtspCamera>(
        std::vector<std::string>{"--cam-codec", "h265", "--size", "320x240"}, port);
    ASSERT_TRUE(camera->ready()) << camera->banner();
    play(camera->url("/cam"));
    EXPECT_TRUE(waitForFigures(
        [](const auto& now)
        {
            return now.codec == VideoCodec::H265 && now.size == PictureSize{320, 240} &&
                   now.profile.find("Main") != std::string::npos;
        },
        figures))
        << said(figures);
}

TEST_F(CameraStatisticsTest, AllIntraStreamsHaveAKeyframeInEveryPicture)
{
    RtspCamera camera({"--keyframe-interval", "1", "--mpeg4"});
    ASSERT_TRUE(camera.ready()) << camera.banner();
    for (const char* mount : {"/h264", "/mpeg4", "/jpeg"})
    {
        m_output.beginPlay();
        play(camera.url(mount));
        LiveStatistics::Figures figures;
        EXPECT_TRUE(waitForFigures([](const auto& now) { return now.drawnFps > 0; }, figures))
            << mount << said(figures);
        EXPECT_EQ(figures.keyframeInterval, 1U) << mount << said(figures);
    }
}

#include "tests/support/HttpCamera.h"
#include "tests/support/ProcessRunner.h"
#include "tests/support/RtspCamera.h"
#include "tests/velkor/support/ClosingCamera.h"
#include "tests/velkor/support/SilentRtspCamera.h"
#include "tests/velkor/support/TestWindows.h"
#include "tests/velkor/support/WindowedLibraryFixture.h"
#include "velkor/report/ResultCode.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace velkor;
using velkortest::ClosingCamera;
using velkortest::errorWith;
using velkortest::HttpCamera;
using velkortest::RecordedEvent;
using velkortest::RtspCamera;
using velkortest::SilentRtspCamera;
using velkortest::TestWindows;
using velkortest::WindowedLibraryFixture;

namespace
{

constexpr std::uint16_t kWidth = 320;
constexpr std::uint16_t kHeight = 240;
constexpr std::uint32_t kNoSignalBackground = 0x282C34;
// Only against a hang: how quick a stop is, velkor_stall_bench measures.
constexpr auto kHangGuard = std::chrono::seconds(30);

// Whether `call` returns while the camera answers nothing: one that waited for its answer would
// not. The camera must be let go before the returned future is dropped, which waits for the call.
template <typename Call>
::testing::AssertionResult returnsMeanwhile(Call call, std::future<void>& running)
{
    running = std::async(std::launch::async, call);
    if (running.wait_for(kHangGuard) == std::future_status::ready)
    {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "it waits for the camera";
}

// Standard cameras played through the library as the console plays them, into a window of a
// private X server whose pixels the test reads back.
class CameraPlayTest : public WindowedLibraryFixture
{
protected:
    static void SetUpTestSuite()
    {
        WindowedLibraryFixture::SetUpTestSuite();
        s_camera = std::make_unique<RtspCamera>();
    }
    static void TearDownTestSuite()
    {
        s_camera.reset();
        WindowedLibraryFixture::TearDownTestSuite();
    }

    void SetUp() override
    {
        ASSERT_TRUE(s_camera->ready()) << s_camera->banner();
        ASSERT_NO_FATAL_FAILURE(WindowedLibraryFixture::SetUp());
        m_window = m_windows->create(kWidth, kHeight);
        ASSERT_EQ(m_api->SetVideoWindow(m_window), 0);
    }

    // Open, asked again while the camera says it is busy: GStreamer's server answers 503 while
    // it ends the stream its last client left, which on a busy machine outlasts Open's own
    // patience. Each such answer leaves its OnError.
    int32_t openWhenServed()
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        int32_t uid = m_api->Open();
        while (uid == DeviceBusy && std::chrono::steady_clock::now() < deadline)
        {
            uid = m_api->Open();
        }
        return uid;
    }

    // Opens the camera at `url` and starts playing channel 1.
    ::testing::AssertionResult play(const std::string& url, int32_t channel = 1)
    {
        if (m_api->SetIPAddr(url.c_str()) != Ok)
        {
            return ::testing::AssertionFailure() << "address refused: " << url;
        }
        const int32_t uid = openWhenServed();
        if (uid <= 0)
        {
            return ::testing::AssertionFailure() << "Open gave " << uid << " for " << url;
        }
        const int32_t played = m_api->PlayLive(channel, nullptr, 0, nullptr);
        if (played != Ok)
        {
            return ::testing::AssertionFailure() << "PlayLive gave " << played << " for " << url;
        }
        return ::testing::AssertionSuccess();
    }

    std::vector<std::uint32_t> pixels() { return m_windows->read(m_window, kWidth, kHeight); }

    std::string errorsSeen() const { return m_listener.errorTexts(); }

    // Polls the window until `done` holds for its pixels; false after 15 s.
    bool waitForPixels(const std::function<bool(const std::vector<std::uint32_t>&)>& done)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (std::chrono::steady_clock::now() < deadline)
        {
            if (done(pixels()))
            {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    static bool showsNoSignal(const std::vector<std::uint32_t>& pixels)
    {
        const auto background = std::count(pixels.begin(), pixels.end(), kNoSignalBackground);
        return !pixels.empty() && background > static_cast<long>(pixels.size()) / 2;
    }

    static bool showsVideo(const std::vector<std::uint32_t>& pixels)
    {
        return !pixels.empty() && pixels.front() != TestWindows::kWhite &&
               pixels.back() != TestWindows::kWhite && !showsNoSignal(pixels) &&
               std::any_of(pixels.begin(), pixels.end(), [](std::uint32_t p) { return p != 0; });
    }

    // A picture covers the window, and then a different one does.
    ::testing::AssertionResult videoMoves()
    {
        std::vector<std::uint32_t> first;
        if (!waitForPixels(
                [&](const std::vector<std::uint32_t>& now)
                {
                    first = now;
                    return showsVideo(now);
                }))
        {
            return ::testing::AssertionFailure() << "no picture covered the window";
        }
        if (!waitForPixels([&](const std::vector<std::uint32_t>& now)
                           { return showsVideo(now) && now != first; }))
        {
            return ::testing::AssertionFailure() << "the picture never changed";
        }
        return ::testing::AssertionSuccess();
    }

    static std::unique_ptr<RtspCamera> s_camera;
    std::uint32_t m_window = 0;
};

std::unique_ptr<RtspCamera> CameraPlayTest::s_camera;

} // namespace

TEST_F(CameraPlayTest, EachCodecPlaysMovesAndNamesItsFormat)
{
    HttpCamera http;
    RtspCamera mpeg4({"--mpeg4"});
    ASSERT_TRUE(http.ready());
    ASSERT_TRUE(mpeg4.ready()) << mpeg4.banner();
    const struct
    {
        std::string url;
        int32_t packedSize;
        int32_t format;
    } cameras[] = {
        {s_camera->url("/h264"), 640 * 65536 + 480, 3},
        {s_camera->url("/h265"), 640 * 65536 + 480, 6},
        // A 2 KB SEI unit in the description, cut short by libavformat.
        {s_camera->url("/h265-sei"), 640 * 65536 + 480, 6},
        {s_camera->url("/jpeg"), 640 * 65536 + 480, 0},
        {s_camera->url("/h264-bframes"), 640 * 65536 + 480, 3},
        {mpeg4.url("/mpeg4"), 640 * 65536 + 480, 1},
        {http.url(), 800 * 65536 + 600, 0},
    };
    for (const auto& camera : cameras)
    {
        m_listener.reset();
        ASSERT_TRUE(play(camera.url));
        EXPECT_TRUE(m_listener.waitFor("dev", 0, 1)) << camera.url;
        EXPECT_TRUE(m_listener.waitFor("play", 1, 1)) << camera.url;
        EXPECT_TRUE(m_listener.waitFor("image", 0, camera.packedSize)) << camera.url;
        EXPECT_TRUE(videoMoves()) << camera.url;
        EXPECT_EQ(m_api->GetStreamFormat(), camera.format) << camera.url;
        EXPECT_EQ(m_listener.count("error"), 0U) << camera.url << ": " << errorsSeen();
        EXPECT_EQ(m_api->PlayControl(1, 1, nullptr, 0, nullptr), 0);
        EXPECT_EQ(m_api->Close(), 0);
        EXPECT_EQ(m_listener.count("alarm"), 0U);
    }
    // The same URL, the same camera; another URL, another.
    ASSERT_EQ(m_api->SetIPAddr(cameras[0].url.c_str()), 0);
    const int32_t uid = m_api->Open();
    EXPECT_GT(uid, 0);
    EXPECT_EQ(m_api->Close(), 0);
    EXPECT_EQ(m_api->Open(), uid);
    EXPECT_EQ(m_api->Close(), 0);
    ASSERT_EQ(m_api->SetIPAddr(cameras[1].url.c_str()), 0);
    const int32_t other = m_api->Open();
    EXPECT_GT(other, 0);
    EXPECT_NE(other, uid);
}

TEST_F(CameraPlayTest, AnotherServerThatServesOverUdpOnlyPlays)
{
    // rtsp-server-perl answers 400, not 461, to RTP interleaved in the RTSP connection; ffmpeg's
    // libx265 writes its options as an SEI unit into the first keyframe.
    RtspCamera relay({"--relay", "--cam-codec", "h265"});
    ASSERT_TRUE(relay.ready()) << relay.banner();
    ASSERT_TRUE(play(relay.url("/cam")));
    EXPECT_TRUE(m_listener.waitFor("image", 0, 640 * 65536 + 480)) << errorsSeen();
    EXPECT_TRUE(videoMoves());
    EXPECT_EQ(m_api->GetStreamFormat(), 6);
    EXPECT_EQ(m_listener.count("error"), 0U) << errorsSeen();
}

TEST_F(CameraPlayTest, CredentialsGoAsTheCameraAsksAndAWrongPathIsNoCamera)
{
    RtspCamera digest({"--auth", "digest"});
    RtspCamera basic({"--auth", "basic"});
    ASSERT_TRUE(digest.ready() && basic.ready());
    for (const RtspCamera* camera : {&digest, &basic})
    {
        m_listener.reset();
        ASSERT_EQ(m_api->SetIPAddr(camera->url("/jpeg").c_str()), 0);
        ASSERT_EQ(m_api->SetUserName("admin"), 0);
        ASSERT_EQ(m_api->SetPassword("wrong"), 0);
        EXPECT_EQ(m_api->Open(), CredentialsRefused);
        EXPECT_TRUE(m_listener.waitFor(
            errorWith(CredentialsRefused, "refused the user name and password")));
        ASSERT_EQ(m_api->SetPassword("secret"), 0);
        ASSERT_GT(m_api->Open(), 0);
        ASSERT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0);
        EXPECT_TRUE(m_listener.waitFor("image", 0, 640 * 65536 + 480));
        EXPECT_EQ(m_api->Close(), 0);
    }
    ASSERT_EQ(m_api->SetIPAddr(s_camera->url("/no/such/stream").c_str()), 0);
    EXPECT_EQ(m_api->Open(), NotVelkorDevice);
    EXPECT_TRUE(m_listener.waitFor(errorWith(NotVelkorDevice, "(RTSP 404)")));
}

TEST_F(CameraPlayTest, ACameraThatComesBackPlaysAsItNowIs)
{
    auto camera = std::make_unique<RtspCamera>(std::vector<std::string>{"--cam-codec", "h264"});
    ASSERT_TRUE(camera->ready());
    const int port = camera->port();
    ASSERT_TRUE(play(camera->url("/cam")));
    ASSERT_TRUE(m_listener.waitFor("image", 0, 640 * 65536 + 480));
    ASSERT_TRUE(videoMoves());

    camera->kill();
    EXPECT_TRUE(m_listener.waitFor(errorWith(StreamLost)));
    EXPECT_TRUE(m_listener.waitFor("play", 1, 0));
    EXPECT_TRUE(waitForPixels(showsNoSignal)) << "no NO SIGNAL while the camera was gone";

    m_listener.reset();
    camera = std::make_unique<RtspCamera>(
        std::vector<std::string>{"--cam-codec", "h265", "--size", "320x240"}, port);
    ASSERT_TRUE(camera->ready()) << camera->banner();
    EXPECT_TRUE(m_listener.waitFor("play", 1, 1, std::chrono::seconds(15)));
    EXPECT_TRUE(m_listener.waitFor("image", 0, 320 * 65536 + 240));
    EXPECT_TRUE(videoMoves());
    EXPECT_EQ(m_api->GetStreamFormat(), 6);
    EXPECT_EQ(m_listener.count("dev"), 0U) << "a camera has no session to lose or open again";
    EXPECT_FALSE(m_listener.waitFor(errorWith(SessionLost), std::chrono::milliseconds(0)));
}

TEST_F(CameraPlayTest, StopAndCloseDoNotWaitForACameraThatDoesNotAnswer)
{
    // Before the camera, so that it is let go before they wait for what they run.
    std::future<void> stop;
    std::future<void> close;
    RtspCamera camera;
    ASSERT_TRUE(camera.ready());
    ASSERT_TRUE(play(camera.url("/jpeg")));
    ASSERT_TRUE(m_listener.waitFor("image", 0, 640 * 65536 + 480));

    // Stopped, the camera keeps its connections open and answers nothing.
    ::kill(camera.pid(), SIGSTOP);
    EXPECT_TRUE(returnsMeanwhile([&] { m_api->PlayControl(1, 1, nullptr, 0, nullptr); }, stop));

    // Play started while it does not answer hears nothing for 5 s, and then waits for it.
    m_listener.reset();
    EXPECT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0);
    EXPECT_TRUE(m_listener.waitFor(errorWith(StreamLost, "nothing arrived for 5 s")));
    EXPECT_TRUE(waitForPixels(showsNoSignal));
    EXPECT_TRUE(returnsMeanwhile([&] { m_api->Close(); }, close));
    ::kill(camera.pid(), SIGCONT);
}

TEST_F(CameraPlayTest, StopAndCloseDoNotWaitWhileLibavformatWaitsForTheCameraToAnswer)
{
    std::future<void> stop;
    std::future<void> close;
    SilentRtspCamera camera;
    ASSERT_TRUE(play(camera.url()));
    ASSERT_TRUE(camera.waitForConnections(1));
    EXPECT_TRUE(returnsMeanwhile([&] { m_api->PlayControl(1, 1, nullptr, 0, nullptr); }, stop));

    ASSERT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0);
    ASSERT_TRUE(camera.waitForConnections(2));
    EXPECT_TRUE(returnsMeanwhile([&] { m_api->Close(); }, close));
    EXPECT_EQ(m_listener.count("error"), 0U) << errorsSeen();
}

TEST_F(CameraPlayTest, LeavingTheProcessWhileACameraPlaysOrDoesNotAnswerIsClean)
{
    for (const char* how : {"return", "exit"})
    {
        velkortest::ProcessRunner probe;
        ASSERT_TRUE(probe.start({VELKOR_EXIT_PROBE_PATH, s_camera->url("/h264"), how}));
        EXPECT_EQ(probe.waitForExit(std::chrono::seconds(20)), 0) << how;
    }
    // Leaving while libavformat waits for the camera's answer does not wait for it.
    SilentRtspCamera silent;
    int connections = 0;
    for (const char* how : {"return", "exit"})
    {
        velkortest::ProcessRunner probe;
        ASSERT_TRUE(probe.start({VELKOR_EXIT_PROBE_PATH, silent.url(), how, "usr1"}));
        ASSERT_TRUE(silent.waitForConnections(++connections)) << how;
        probe.signal(SIGUSR1);
        EXPECT_EQ(probe.waitForExit(std::chrono::seconds(3)), 0) << how;
    }
}

TEST_F(CameraPlayTest, ChannelFieldAndSettingsTheCameraDecides)
{
    // As camera manuals print it: the scheme in capitals.
    ASSERT_TRUE(play("RTSP" + s_camera->url("/ch1").substr(4)));
    EXPECT_TRUE(m_listener.waitFor("image", 0, 640 * 65536 + 480)) << errorsSeen();
    EXPECT_EQ(m_api->Close(), 0);

    ASSERT_EQ(m_api->SetIPAddr(s_camera->url("/ch1").c_str()), 0);
    ASSERT_GT(openWhenServed(), 0);
    EXPECT_EQ(m_api->PlayLive(2, nullptr, 0, nullptr), ChannelUnknown);
    EXPECT_TRUE(m_listener.waitFor(errorWith(ChannelUnknown, "{channel}")));
    EXPECT_EQ(m_api->Close(), 0);

    ASSERT_TRUE(play(s_camera->url("/ch{channel}"), 2));
    EXPECT_TRUE(m_listener.waitFor("image", 0, 320 * 65536 + 240));

    m_listener.reset();
    EXPECT_EQ(m_api->SetStreamFormat(3), 0);
    EXPECT_TRUE(m_listener.waitFor(
        errorWith(FormatNotServed, "decides its stream format and picture width")));
    m_listener.reset();
    EXPECT_EQ(m_api->SetJPEGResolution(1280), 0);
    EXPECT_TRUE(m_listener.waitFor(
        errorWith(FormatNotServed, "decides its stream format and picture width")));
    EXPECT_TRUE(videoMoves()) << "play did not go on";
    EXPECT_EQ(m_listener.count("play"), 0U);
    EXPECT_EQ(m_api->GetStreamFormat(), 0);
}

TEST_F(CameraPlayTest, WhilePlayWaitsForACameraEachAttemptIsOneQuietQuestion)
{
    ClosingCamera camera;
    ASSERT_TRUE(play(camera.url()));
    EXPECT_TRUE(m_listener.waitFor(errorWith(StreamLost, "it closed the connection")));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (camera.streams() < 4 && std::chrono::steady_clock::now() < deadline)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_GE(camera.streams(), 4) << "play stopped asking";
    EXPECT_EQ(m_api->Close(), 0);
    // Open's DESCRIBE only: the stream's own opening is each attempt's question.
    EXPECT_EQ(camera.questions(), 1);
    // The loss is told once; the attempts that fail tell nothing.
    std::size_t losses = 0;
    for (const RecordedEvent& event : m_listener.events())
    {
        losses += event.kind == "error" && event.a == StreamLost ? 1 : 0;
    }
    EXPECT_EQ(losses, 1U) << errorsSeen();
}

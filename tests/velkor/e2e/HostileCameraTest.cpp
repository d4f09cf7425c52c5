#include "tests/support/ProcessRunner.h"
#include "tests/velkor/support/HostileHttpCamera.h"
#include "tests/velkor/support/HostileRtspCamera.h"
#include "tests/velkor/support/LibraryFixture.h"
#include "tests/velkor/support/LoopbackServer.h"
#include "tests/velkor/support/PeakMemory.h"
#include "velkor/report/ResultCode.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

using namespace velkor;
using velkortest::errorWith;
using velkortest::HostileHttpCamera;
using velkortest::HostileRtspCamera;
using velkortest::LibraryFixture;
using velkortest::LoopbackConnection;
using velkortest::LoopbackServer;
using velkortest::PeakMemory;
using velkortest::RecordedEvent;

namespace
{

constexpr auto kLong = std::chrono::seconds(20);
// The sanitizers hold freed blocks back (AddressSanitizer's quarantine, 256 MB by default) and
// count their shadow memory in the resident size.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr long kSanitizerMegabytes = 768;
#else
constexpr long kSanitizerMegabytes = 0;
#endif
// Without the caps, libavformat collects the endless picture or part whole: several hundred MB.
constexpr long kTestMegabytes = 400 + kSanitizerMegabytes;
constexpr long kProbeMegabytes = 200 + kSanitizerMegabytes;
// The largest block libavformat may take (velkor/README.md), the most of one picture it collects.
constexpr long kAllocationCapKib = 16 << 10;

// The most that a silence text says arrived without a picture: "..., although 14720 KiB arrived".
long mostArrivedBeforeSilence(const std::string& texts)
{
    static const std::regex arrived("although ([0-9]+) KiB arrived");
    long most = 0;
    for (auto it = std::sregex_iterator(texts.begin(), texts.end(), arrived);
         it != std::sregex_iterator(); ++it)
    {
        most = std::max(most, std::stol((*it)[1].str()));
    }
    return most;
}

// Another host, as far as a camera's redirect goes: records every connection and request head,
// and asks each request for Basic credentials, as a host that wants them would.
class RecordingHost
{
public:
    RecordingHost()
        : m_server(
              [this](const std::string&, std::string head, LoopbackConnection& connection)
              {
                  while (!head.empty())
                  {
                      {
                          const std::lock_guard lock(m_mutex);
                          m_heads += head;
                      }
                      const auto cseq = head.find("CSeq: ");
                      connection.send("RTSP/1.0 401 Unauthorized\r\n" +
                                      head.substr(cseq, head.find("\r\n", cseq) - cseq + 2) +
                                      "WWW-Authenticate: Basic realm=\"x\"\r\n"
                                      "Content-Length: 0\r\n\r\n");
                      head = connection.nextHead();
                  }
              })
    {
    }
    int port() const { return m_server.port(); }
    int connections() const { return m_server.accepted(); }
    std::string heads() const
    {
        const std::lock_guard lock(m_mutex);
        return m_heads;
    }

private:
    mutable std::mutex m_mutex;
    std::string m_heads;
    LoopbackServer m_server;
};

// Cameras that answer what no honest camera would, played through the library as the console
// plays them (without a window: what matters is what the library does, not what it shows).
class HostileCameraTest : public LibraryFixture
{
protected:
    ::testing::AssertionResult play(const std::string& url)
    {
        if (m_api->SetIPAddr(url.c_str()) != Ok)
        {
            return ::testing::AssertionFailure() << "address refused: " << url;
        }
        const int32_t uid = m_api->Open();
        if (uid <= 0)
        {
            return ::testing::AssertionFailure() << "Open gave " << uid << " for " << url;
        }
        if (m_api->PlayLive(1, nullptr, 0, nullptr) != Ok)
        {
            return ::testing::AssertionFailure() << "PlayLive refused " << url;
        }
        return ::testing::AssertionSuccess();
    }

    std::string errorsSeen() const { return m_listener.errorTexts(); }

    static bool printable(const std::string& text)
    {
        return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
    }
};

} // namespace

TEST_F(HostileCameraTest, ARedirectAwayIsRefusedAndNothingReachesTheOtherHost)
{
    RecordingHost other;
    const std::string away = "rtsp://127.0.0.1:" + std::to_string(other.port()) + "/elsewhere";
    HostileRtspCamera camera(HostileRtspCamera::Mode::Redirect, away, 1, true);
    ASSERT_EQ(m_api->SetUserName("admin"), Ok);
    ASSERT_EQ(m_api->SetPassword("s3cret"), Ok);
    ASSERT_TRUE(play(camera.url()));
    EXPECT_TRUE(
        m_listener.waitFor(errorWith(StreamRefused, "redirected the stream to " + away), kLong))
        << errorsSeen();
    EXPECT_TRUE(m_listener.waitFor("play", 1, 0, std::chrono::milliseconds(0)) ||
                m_listener.count("play") == 0);
    EXPECT_EQ(other.connections(), 0) << other.heads();
    EXPECT_EQ(other.heads().find("Authorization"), std::string::npos) << other.heads();
}

TEST_F(HostileCameraTest, ARedirectLoopEndsAfterAFewAndItsTextIsPrintableAndShort)
{
    HostileRtspCamera looping(HostileRtspCamera::Mode::Redirect);
    ASSERT_TRUE(play(looping.url()));
    EXPECT_TRUE(m_listener.waitFor(errorWith(StreamRefused, "more than 3 times"), kLong))
        << errorsSeen();
    EXPECT_LE(looping.conversations(), 4);

    // Where a camera points is its own text: escapes, bytes outside ASCII, any length.
    EXPECT_EQ(m_api->Close(), Ok);
    m_listener.reset();
    const std::string garbage = "/\x1B[2J\xFF" + std::string(3000, 'A');
    HostileRtspCamera shouting(HostileRtspCamera::Mode::Redirect, "rtsp://127.0.0.1:1" + garbage);
    ASSERT_TRUE(play(shouting.url()));
    ASSERT_TRUE(m_listener.waitFor(errorWith(StreamRefused, "redirected"), kLong)) << errorsSeen();
    for (const RecordedEvent& event : m_listener.events())
    {
        EXPECT_TRUE(printable(event.text)) << event.text;
        EXPECT_LT(event.text.size(), 400U) << event.text;
    }
}

TEST_F(HostileCameraTest, OpenSaysWhereARedirectPointedWithoutCredentialsAndGoesNowhere)
{
    RecordingHost other;
    const std::string away = "rtsp://127.0.0.1:" + std::to_string(other.port()) + "/elsewhere";
    HostileRtspCamera camera(HostileRtspCamera::Mode::RedirectAtOpen,
                             "rtsp://admin:s3cret@" + away.substr(7), 1, true);
    ASSERT_EQ(m_api->SetUserName("admin"), Ok);
    ASSERT_EQ(m_api->SetPassword("s3cret"), Ok);
    ASSERT_EQ(m_api->SetIPAddr(camera.url().c_str()), Ok);
    EXPECT_EQ(m_api->Open(), NotVelkorDevice);
    EXPECT_TRUE(m_listener.waitFor(
        errorWith(NotVelkorDevice, "redirected the stream to " + away + " (RTSP 302)"), kLong))
        << errorsSeen();
    EXPECT_EQ(errorsSeen().find("s3cret"), std::string::npos) << errorsSeen();
    EXPECT_EQ(other.connections(), 0) << other.heads();
}

TEST_F(HostileCameraTest, ChannelStandsOnlyInThePathAndQuery)
{
    EXPECT_EQ(m_api->SetIPAddr("rtsp://cam{channel}.local/live"), AddressInvalid);
    EXPECT_EQ(m_api->SetIPAddr("rtsp://cam.local:55{channel}/live"), AddressInvalid);
    EXPECT_TRUE(
        m_listener.waitFor(errorWith(AddressInvalid, "{channel} in its host or port"), kLong));
    EXPECT_EQ(m_api->SetIPAddr("rtsp://cam.local/live/ch{channel}?s={channel}"), Ok);
}

TEST_F(HostileCameraTest, OnlyTheFirstOfManyVideoTracksIsSetUp)
{
    HostileRtspCamera camera(HostileRtspCamera::Mode::ManyTracks, {}, 400);
    ASSERT_TRUE(play(camera.url()));
    ASSERT_TRUE(m_listener.waitFor("play", 1, 1, kLong)) << errorsSeen();
    EXPECT_EQ(camera.setups(), 1);
}

TEST_F(HostileCameraTest, AnEndlessPictureIsCutOffWithMemoryBounded)
{
    HostileRtspCamera camera(HostileRtspCamera::Mode::EndlessPicture);
    PeakMemory memory;
    ASSERT_TRUE(play(camera.url()));
    ASSERT_TRUE(m_listener.waitFor("play", 1, 1, kLong)) << errorsSeen();
    // Well past the cap, while it still arrives.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(4);
    while (camera.pictureBytes() < (300LL << 20) && std::chrono::steady_clock::now() < deadline)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    m_api->PlayControl(1, 1, nullptr, 0, nullptr);
    EXPECT_LT(memory.megabytes(), kTestMegabytes) << camera.pictureBytes() << " bytes sent";

    // Played to the silence deadline, the text says what came.
    m_listener.reset();
    ASSERT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), Ok);
    ASSERT_TRUE(m_listener.waitFor(errorWith(StreamLost, "although"), kLong)) << errorsSeen();
    // A loaded machine may take in less than the cap before the silence deadline; a picture
    // that outgrew it must have been cut off.
    if (mostArrivedBeforeSilence(m_listener.errorTexts()) > kAllocationCapKib)
    {
        EXPECT_TRUE(m_listener.waitFor(errorWith(FrameUndecodable, "cut off"), kLong))
            << errorsSeen();
    }
    EXPECT_LT(memory.megabytes(), kTestMegabytes);
    m_api->Close();
}

TEST_F(HostileCameraTest, AnEndlessPictureDoesNotHoldUpTheProcessExit)
{
    HostileRtspCamera camera(HostileRtspCamera::Mode::EndlessPicture);
    velkortest::ProcessRunner probe;
    ASSERT_TRUE(probe.start({VELKOR_EXIT_PROBE_PATH, camera.url(), "exit", "usr1"}));
    const auto deadline = std::chrono::steady_clock::now() + kLong;
    while (camera.pictureBytes() < (300LL << 20) && std::chrono::steady_clock::now() < deadline)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const long megabytes = PeakMemory::highWaterMegabytes(probe.pid());
    EXPECT_GE(megabytes, 0);
    EXPECT_LT(megabytes, kProbeMegabytes) << camera.pictureBytes() << " bytes sent";
    probe.signal(SIGUSR1);
    std::optional<int> status;
    status = probe.waitForExit(kLong);
    EXPECT_EQ(status, 0);
}

TEST_F(HostileCameraTest, AHugeMultipartPartIsCutOffWithMemoryBounded)
{
    HostileHttpCamera camera(HostileHttpCamera::Mode::HugePart);
    PeakMemory memory;
    ASSERT_TRUE(play(camera.url()));
    EXPECT_TRUE(m_listener.waitFor(errorWith(FrameUndecodable, "cut off"), kLong))
        << errorsSeen() << "\n"
        << camera.partBytes() << " bytes sent";
    m_api->PlayControl(1, 1, nullptr, 0, nullptr);
    EXPECT_LT(memory.megabytes(), kTestMegabytes);
    for (const RecordedEvent& event : m_listener.events())
    {
        EXPECT_EQ(event.text.find("Immediate exit requested"), std::string::npos) << event.text;
        EXPECT_EQ(event.text.find("Out of memory"), std::string::npos) << event.text;
    }
}

TEST_F(HostileCameraTest, AHugeHeaderAtOpenIsNamedNotTakenForLackOfMemory)
{
    HostileHttpCamera camera(HostileHttpCamera::Mode::HugeHeader);
    ASSERT_EQ(m_api->SetIPAddr(camera.url().c_str()), Ok);
    EXPECT_EQ(m_api->Open(), DeviceRequestFailed);
    EXPECT_TRUE(m_listener.waitFor(errorWith(DeviceRequestFailed, "header of over 100 KiB"), kLong))
        << errorsSeen();
}

TEST_F(HostileCameraTest, AnHttpRedirectAwayIsRefusedBeforeItConnects)
{
    LoopbackServer other([](const std::string&, const std::string&, LoopbackConnection&) {});
    const std::string away = "http://127.0.0.1:" + std::to_string(other.port()) + "/elsewhere";
    HostileHttpCamera camera(HostileHttpCamera::Mode::Redirect, away);
    ASSERT_EQ(m_api->SetUserName("admin"), Ok);
    ASSERT_EQ(m_api->SetPassword("s3cret"), Ok);
    ASSERT_TRUE(play(camera.url()));
    EXPECT_TRUE(
        m_listener.waitFor(errorWith(StreamRefused, "redirected the stream to " + away), kLong))
        << errorsSeen();
    EXPECT_EQ(other.accepted(), 0);
    EXPECT_EQ(camera.conversations(), 1);
}

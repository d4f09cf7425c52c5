#include "tests/support/Emulator.h"
#include "tests/velkor/support/LibraryFixture.h"
#include "tests/velkor/support/XvfbDisplay.h"
#include "velkor/report/ResultCode.h"
#include "velkor/session/Reconnector.h"

#include <string>

using namespace velkor;
using velkortest::Emulator;
using velkortest::errorWith;
using velkortest::LibraryFixture;
using velkortest::RecordedEvent;

namespace
{

class EndToEndTest : public LibraryFixture
{
protected:
    std::unique_ptr<Emulator> startEmulator(const std::vector<std::string>& options, int port = 0)
    {
        auto emulator = std::make_unique<Emulator>(options, port);
        EXPECT_TRUE(emulator->ready());
        if (emulator->ready())
        {
            pointAt(emulator->port());
        }
        return emulator;
    }

    void expectCredentials(const char* user, const char* password, int32_t expected,
                           const char* what)
    {
        m_api->Close();
        m_listener.reset();
        ASSERT_EQ(m_api->SetUserName(user), 0);
        ASSERT_EQ(m_api->SetPassword(password), 0);
        const int32_t result = m_api->Open();
        if (expected == Ok)
        {
            EXPECT_EQ(result, 777) << what;
            EXPECT_EQ(m_api->GetUID(), 777) << what;
            // The event stream needs the same credentials; channel events prove it got through.
            EXPECT_TRUE(m_listener.waitFor("dev", 1, 1)) << what;
        }
        else
        {
            EXPECT_EQ(result, expected) << what;
            EXPECT_TRUE(m_listener.waitFor(errorWith(expected))) << what;
            EXPECT_EQ(m_api->GetUID(), 0) << what;
        }
    }

    // Plays H.264 at 320 from a device that is then killed; returns the port the device listened
    // on, for a restarted one, once the loss is reported.
    int playUntilTheDeviceIsKilled()
    {
        auto emulator = startEmulator({"--uid", "777"});
        if (!emulator->ready())
        {
            return 0;
        }
        const int port = emulator->port();
        EXPECT_EQ(m_api->SetStreamFormat(3), 0);
        EXPECT_EQ(m_api->SetH264Resolution(320), 0);
        EXPECT_EQ(m_api->Open(), 777);
        EXPECT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0);
        EXPECT_TRUE(m_listener.waitFor("image", 0, 320 * 65536 + 240));
        emulator->kill();
        EXPECT_TRUE(m_listener.waitFor("dev", 0, SessionStatusLost));
        return port;
    }
};

} // namespace

TEST_F(EndToEndTest, OpensAnOpenDeviceAndFollowsItsEvents)
{
    auto emulator = startEmulator({"--uid", "777", "--channels", "3", "--alarm-interval", "1"});
    ASSERT_TRUE(emulator->ready());
    EXPECT_EQ(m_api->Open(), 777);
    EXPECT_TRUE(m_listener.waitFor("dev", 0, SessionStatusConnected));
    for (int channel = 1; channel <= 3; ++channel)
    {
        EXPECT_TRUE(m_listener.waitFor("dev", channel, 1)) << channel;
    }
    ASSERT_TRUE(
        m_listener.waitFor([](const RecordedEvent& event) { return event.kind == "alarm"; }));
    for (const RecordedEvent& event : m_listener.events())
    {
        if (event.kind == "alarm")
        {
            EXPECT_GE(event.a, 1);
            EXPECT_LE(event.a, 3);
            EXPECT_EQ(event.text.size(), std::string("YYYY-MM-DDTHH:MM:SS.mmm").size())
                << event.text;
        }
    }
    EXPECT_EQ(m_api->PlayLive(4, nullptr, 0, nullptr), ChannelUnknown);
    EXPECT_EQ(m_api->Close(), 0);
    EXPECT_EQ(m_api->GetUID(), 0);
}

TEST_F(EndToEndTest, DigestCredentialsRightWrongAndMissing)
{
    auto emulator = startEmulator(
        {"--uid", "777", "--user", "admin", "--password", "p\xC3\xA4ss word", "--auth", "digest"});
    ASSERT_TRUE(emulator->ready());
    expectCredentials("admin", "p\xC3\xA4ss word", Ok, "right");
    expectCredentials("admin", "wrong", CredentialsRefused, "wrong password");
    expectCredentials("someone", "p\xC3\xA4ss word", CredentialsRefused, "wrong user");
    expectCredentials("", "", CredentialsRefused, "missing");
    expectCredentials("admin", "p\xC3\xA4ss word", Ok, "right again");
}

TEST_F(EndToEndTest, BasicCredentialsRightWrongAndMissing)
{
    auto emulator = startEmulator(
        {"--uid", "777", "--user", "admin", "--password", "secret", "--auth", "basic"});
    ASSERT_TRUE(emulator->ready());
    expectCredentials("admin", "secret", Ok, "right");
    expectCredentials("admin", "Secret", CredentialsRefused, "wrong password");
    expectCredentials("", "", CredentialsRefused, "missing");
}

TEST_F(EndToEndTest, LivePlayWithCredentialsDecodesFrames)
{
    auto emulator = startEmulator({"--uid", "777", "--user", "admin", "--password", "secret"});
    ASSERT_TRUE(emulator->ready());
    ASSERT_EQ(m_api->SetUserName("admin"), 0);
    ASSERT_EQ(m_api->SetPassword("secret"), 0);
    ASSERT_EQ(m_api->SetJPEGResolution(2048), 0);
    ASSERT_EQ(m_api->Open(), 777);
    ASSERT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0);
    EXPECT_TRUE(m_listener.waitFor("play", 1, 1));
    EXPECT_TRUE(m_listener.waitFor("image", 0, 2048 * 65536 + 1536));
    EXPECT_EQ(m_api->PlayControl(1, 1, nullptr, 0, nullptr), 0);
    EXPECT_TRUE(m_listener.waitFor("play", 1, 0));
}

TEST_F(EndToEndTest, AKilledDeviceEndsTheSessionAndARestartedOneOpensAgain)
{
    const int port = playUntilTheDeviceIsKilled();
    ASSERT_NE(port, 0);
    EXPECT_TRUE(m_listener.waitFor(errorWith(SessionLost)));
    EXPECT_TRUE(m_listener.waitFor("play", 1, 0));
    EXPECT_EQ(m_api->GetUID(), 0);
    EXPECT_EQ(m_api->PlayControl(1, 1, nullptr, 0, nullptr), 0);

    m_listener.reset();
    EXPECT_EQ(m_api->Open(), DeviceUnreachable);
    auto restarted = startEmulator({"--uid", "777"}, port);
    ASSERT_TRUE(restarted->ready());
    EXPECT_EQ(m_api->Open(), 777);
    EXPECT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0);
    EXPECT_TRUE(m_listener.waitFor("play", 1, 1));
    EXPECT_EQ(m_api->Close(), 0);
}

TEST_F(EndToEndTest, LeavingTheProcessWithStreamsRunningIsClean)
{
    auto emulator = startEmulator({"--uid", "777"});
    ASSERT_TRUE(emulator->ready());
    velkortest::XvfbDisplay display;
    for (const char* how : {"return", "exit"})
    {
        velkortest::ProcessRunner probe;
        ASSERT_TRUE(probe.start({VELKOR_EXIT_PROBE_PATH, std::to_string(emulator->port()), how}));
        EXPECT_EQ(probe.waitForExit(std::chrono::seconds(20)), 0) << how;
    }
    // The probe stops the X server once its window is handed over; leaving must not wait for it.
    velkortest::ProcessRunner probe;
    ASSERT_TRUE(probe.start({VELKOR_EXIT_PROBE_PATH, std::to_string(emulator->port()), "return",
                             std::to_string(display.pid())}));
    const auto exited = probe.waitForExit(std::chrono::seconds(5));
    display.resume();
    EXPECT_EQ(exited, 0) << "leaving main waited for a stopped X server";
}

TEST_F(EndToEndTest, LivePlayComesBackByItselfWhenTheDeviceDoes)
{
    // Play comes back in the format and width it played in (H.264 at 320), not the JPEG default.
    const int port = playUntilTheDeviceIsKilled();
    ASSERT_NE(port, 0);
    EXPECT_TRUE(m_listener.waitFor("play", 1, 0));
    EXPECT_EQ(m_api->GetUID(), 0);

    // Retries are at most the longest pause apart; coming back takes a moment more, longer under
    // the sanitizers.
    const auto retried = 2 * Reconnector::kLongestPause;
    m_listener.reset();
    auto restarted = startEmulator({"--uid", "778"}, port);
    ASSERT_TRUE(restarted->ready());
    EXPECT_TRUE(m_listener.waitFor("dev", 0, SessionStatusConnected, retried));
    EXPECT_TRUE(m_listener.waitFor("play", 1, 1, retried));
    EXPECT_TRUE(m_listener.waitFor("image", 0, 320 * 65536 + 240, retried));
    EXPECT_EQ(m_api->GetUID(), 778);
    EXPECT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), AlreadyPlaying);

    // Close ends the retrying (how soon is velkor_stall_bench's figure): the next device is opened
    // by hand or not at all.
    restarted->kill();
    EXPECT_TRUE(m_listener.waitFor("dev", 0, SessionStatusLost));
    EXPECT_EQ(m_api->Close(), 0);
    auto third = startEmulator({"--uid", "779"}, port);
    ASSERT_TRUE(third->ready());
    EXPECT_EQ(m_api->GetUID(), 0);
    EXPECT_EQ(m_api->Open(), 779);
}

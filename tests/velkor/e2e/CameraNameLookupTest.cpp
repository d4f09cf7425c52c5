#include "tests/support/ProcessRunner.h"
#include "tests/velkor/support/ClosingCamera.h"
#include "tests/velkor/support/LibraryFixture.h"
#include "tests/velkor/support/PrivateResolver.h"
#include "tests/velkor/support/SilentNameServer.h"
#include "velkor/report/ResultCode.h"

#include <chrono>
#include <csignal>
#include <iostream>
#include <string>

using namespace velkor;
using velkortest::ClosingCamera;
using velkortest::LibraryFixture;
using velkortest::PrivateResolver;
using velkortest::SilentNameServer;

namespace
{

// Well inside the lookup that a call must not sit out (the private resolver gives the silent name
// server 30 s), and far beyond what a loaded sanitizer run adds; how quick a call is, the
// benchmarks measure.
constexpr auto kPromptly = std::chrono::seconds(12);
constexpr const char* kName = "camera.test";

PrivateResolver g_resolver;
std::string g_resolverFault;

// Also recorded in the XML report (--gtest_output=xml) under `what`, for comparisons.
template <typename Call> std::chrono::duration<double> timed(const char* what, Call call)
{
    const auto start = std::chrono::steady_clock::now();
    call();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    ::testing::Test::RecordProperty(what, std::to_string(took.count()));
    return took;
}

// A camera named by host name whose name server stops answering: Open gives up in its own time,
// and Stop Live, Close and leaving the process never wait for the lookup. The camera's name is
// in the hosts file while it should resolve, and is taken out to send lookups to the silent name
// server.
class CameraNameLookupTest : public LibraryFixture
{
protected:
    void SetUp() override
    {
        if (!g_resolver.entered())
        {
            GTEST_SKIP() << "no private resolver: " << g_resolverFault;
        }
        ASSERT_TRUE(m_nameServer.ready());
        g_resolver.setHosts({});
        LibraryFixture::SetUp();
    }

    static void nameResolves(bool resolves)
    {
        g_resolver.setHosts(resolves ? std::string("127.0.0.1 ") + kName + "\n" : "");
    }

    SilentNameServer m_nameServer;
    ClosingCamera m_camera;
};

} // namespace

TEST_F(CameraNameLookupTest, OpenGivesUpInItsOwnTimeWhileTheNameServerIsSilent)
{
    ASSERT_EQ(m_api->SetIPAddr(m_camera.url(kName).c_str()), Ok);
    int32_t opened = 0;
    const auto took = timed("open_s", [&] { opened = m_api->Open(); });
    EXPECT_GT(m_nameServer.queries(), 0) << "the lookup never reached the silent name server";
    EXPECT_TRUE(opened == DeviceTimedOut || opened == DeviceUnreachable) << opened;
    // Its connect time is 2 s, the lookup's own 30 s.
    EXPECT_LT(took, kPromptly) << took.count() << " s";
    EXPECT_LT(timed("close_s", [&] { m_api->Close(); }), kPromptly);
}

TEST_F(CameraNameLookupTest, StopLiveAndCloseReturnPromptlyWhilePlayLooksTheNameUp)
{
    nameResolves(true);
    ASSERT_EQ(m_api->SetIPAddr(m_camera.url(kName).c_str()), Ok);
    ASSERT_GT(m_api->Open(), 0);
    nameResolves(false);
    ASSERT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), Ok);
    ASSERT_TRUE(m_nameServer.waitForMoreThan(0));
    const auto stopped =
        timed("stop_live_s", [&] { m_api->PlayControl(1, 1, nullptr, 0, nullptr); });
    EXPECT_LT(stopped, kPromptly) << "Stop Live took " << stopped.count() << " s";

    const int asked = m_nameServer.queries();
    ASSERT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), Ok);
    ASSERT_TRUE(m_nameServer.waitForMoreThan(asked));
    const auto closed = timed("close_s", [&] { m_api->Close(); });
    EXPECT_LT(closed, kPromptly) << "Close took " << closed.count() << " s";
}

TEST_F(CameraNameLookupTest, CloseReturnsPromptlyWhileBringingPlayBackLooksTheNameUp)
{
    nameResolves(true);
    ASSERT_EQ(m_api->SetIPAddr(m_camera.url(kName).c_str()), Ok);
    ASSERT_GT(m_api->Open(), 0);
    ASSERT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), Ok);
    ASSERT_TRUE(m_camera.waitForStream());
    nameResolves(false);
    ASSERT_TRUE(m_nameServer.waitForMoreThan(0));
    const auto closed = timed("close_s", [&] { m_api->Close(); });
    EXPECT_LT(closed, kPromptly) << "Close took " << closed.count() << " s";
}

TEST_F(CameraNameLookupTest, LeavingTheProcessWhileANameLookupHangsIsPrompt)
{
    nameResolves(true);
    velkortest::ProcessRunner probe;
    ASSERT_TRUE(probe.start({VELKOR_EXIT_PROBE_PATH, m_camera.url(kName), "exit", "usr1"}));
    ASSERT_TRUE(m_camera.waitForStream());
    nameResolves(false);
    ASSERT_TRUE(m_nameServer.waitForMoreThan(0));
    std::optional<int> exitCode;
    const auto left = timed("exit_s",
                            [&]
                            {
                                probe.signal(SIGUSR1);
                                exitCode = probe.waitForExit(std::chrono::seconds(45));
                            });
    EXPECT_EQ(exitCode, 0);
    EXPECT_LT(left, kPromptly) << "leaving took " << left.count() << " s";
}

// The namespaces are entered before anything starts a thread.
int main(int argc, char** argv)
{
    if (!g_resolver.enter(g_resolverFault))
    {
        std::cerr << "camera name lookup tests skipped: " << g_resolverFault << "\n";
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

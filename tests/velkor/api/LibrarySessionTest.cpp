#include "tests/velkor/support/FakeDevice.h"
#include "tests/velkor/support/LibraryFixture.h"
#include "tests/velkor/support/TestJpeg.h"
#include "velkor/report/ResultCode.h"
#include "velkor/session/Reconnector.h"
#include "velkor/session/VelkorDevice.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>

using namespace velkor;
using velkortest::errorWith;
using velkortest::FakeDevice;
using velkortest::LibraryFixture;
using velkortest::LoopbackConnection;
using velkortest::LoopbackServer;
using velkortest::RecordedEvent;

namespace
{

int closedPort()
{
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t length = sizeof address;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(probe);
    return ntohs(address.sin_port);
}

// The text of the latest error of this code; other events may have come after it.
std::string lastErrorText(const velkortest::RecordingListener& listener, int32_t code)
{
    const std::vector<RecordedEvent> events = listener.events();
    const auto found = std::find_if(events.rbegin(), events.rend(), errorWith(code));
    return found == events.rend() ? std::string() : found->text;
}

std::string httpResponse(const std::string& status, const std::string& body,
                         const std::string& extra = {})
{
    return "HTTP/1.1 " + status + "\r\n" + extra +
           "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
           body;
}

LoopbackServer::Handler answering(const std::string& response)
{
    return [response](const std::string&, const std::string&, LoopbackConnection& connection)
    { connection.send(response); };
}

std::size_t errorCount(const velkortest::RecordingListener& listener, int32_t code)
{
    const std::vector<RecordedEvent> events = listener.events();
    return static_cast<std::size_t>(std::count_if(events.begin(), events.end(), errorWith(code)));
}

// Well beyond the reconnector's first pause: a device that comes back is asked for its info by
// then, if anything asks at all.
constexpr auto kReconnectorWouldHaveAsked = Reconnector::kFirstPause * 8;

// Holds the dispatcher thread inside the first OnPlayStatus(channel, 1) until released.
class PlayingGate : public IAppListener
{
public:
    void OnPlayStatus(int32_t, int32_t status) override
    {
        std::unique_lock lock(m_mutex);
        if (status != 1 || m_passed)
        {
            return;
        }
        m_entered = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_open; });
        m_passed = true;
    }
    void waitUntilEntered()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_entered; });
    }
    void release()
    {
        {
            std::lock_guard lock(m_mutex);
            m_open = true;
        }
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_entered = false;
    bool m_open = false;
    bool m_passed = false;
};

} // namespace

using SessionTest = LibraryFixture;

TEST_F(SessionTest, OpenAgainstAClosedPortFailsAtOnceWithAnError)
{
    pointAt(closedPort());
    EXPECT_EQ(m_api->Open(), DeviceUnreachable);
    ASSERT_TRUE(m_listener.waitFor(errorWith(DeviceUnreachable)));
    EXPECT_NE(m_listener.events().front().text.find("cannot reach"), std::string::npos);
    EXPECT_EQ(m_api->GetUID(), 0);
}

TEST_F(SessionTest, ListenerRegisteredAtBothSlotsHearsEachEventOnce)
{
    EXPECT_EQ(m_api->Slot296(&m_listener), 0);
    EXPECT_EQ(m_api->Slot042(&m_listener), 0);
    pointAt(closedPort());
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ(m_api->Open(), DeviceUnreachable);
    }
    // Events arrive in order, so once this last one is here every earlier delivery is done.
    LoopbackServer notADevice(answering("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n"));
    pointAt(notADevice.port());
    EXPECT_EQ(m_api->Open(), NotVelkorDevice);
    ASSERT_TRUE(m_listener.waitFor(errorWith(NotVelkorDevice)));
    EXPECT_EQ(m_listener.count("error"), 4U);
}

TEST_F(SessionTest, RefusalsTellWhatKindOfPeerAnswered)
{
    struct Case
    {
        const char* what;
        std::string response;
        int32_t code;
        const char* says;
    };
    const std::vector<Case> cases = {
        {"not a device", httpResponse("200 OK", "hello"), NotVelkorDevice, "not"},
        {"another device", httpResponse("200 OK", "device=other\nuid=12\n"), NotVelkorDevice,
         "not"},
        {"device without uid", httpResponse("200 OK", "device=velkor-device\n"), NotVelkorDevice,
         "not"},
        {"no such path", httpResponse("404 Not Found", ""), NotVelkorDevice, "HTTP 404"},
        {"credentials wanted",
         httpResponse("401 Unauthorized", "",
                      "WWW-Authenticate: Basic realm=\"velkor-device\"\r\n"),
         CredentialsRefused, "requires a user name"},
        {"busy",
         httpResponse("503 Service Unavailable", "too many connections\n", "Retry-After: 1\r\n"),
         DeviceBusy, "device busy"},
        {"not http", "SSH-2.0-OpenSSH_9.2\r\n", DeviceRequestFailed, "failed"},
    };
    for (const Case& test : cases)
    {
        LoopbackServer server(answering(test.response));
        pointAt(server.port());
        m_listener.reset();
        EXPECT_EQ(m_api->Open(), test.code) << test.what;
        EXPECT_TRUE(m_listener.waitFor(errorWith(test.code))) << test.what;
        for (const RecordedEvent& event : m_listener.events())
        {
            EXPECT_NE(event.text.find(test.says), std::string::npos)
                << test.what << ": " << event.text;
        }
        EXPECT_EQ(m_api->GetUID(), 0) << test.what;
    }
}

TEST_F(SessionTest, CredentialsGoOutOnlyAsDigestOrBasic)
{
    std::mutex mutex;
    std::vector<std::string> heads;
    LoopbackServer server(
        [&](const std::string&, const std::string& head, LoopbackConnection& connection)
        {
            {
                std::lock_guard lock(mutex);
                heads.push_back(head);
            }
            connection.send(httpResponse("401 Unauthorized", "", "WWW-Authenticate: NTLM\r\n"));
        });
    pointAt(server.port());
    ASSERT_EQ(m_api->SetUserName("admin"), 0);
    ASSERT_EQ(m_api->SetPassword("secret"), 0);
    EXPECT_EQ(m_api->Open(), CredentialsRefused);
    std::lock_guard lock(mutex);
    for (const std::string& head : heads)
    {
        EXPECT_EQ(head.find("Authorization:"), std::string::npos) << head;
    }
}

TEST_F(SessionTest, TheEventStreamIsKnownByItsContentTypeWhateverTheCase)
{
    FakeDevice::Options options;
    options.eventsContentType = "Text/Event-Stream; charset=utf-8";
    FakeDevice device(options);
    pointAt(device.port());
    ASSERT_GE(m_api->Open(), 0);
    EXPECT_TRUE(m_listener.waitFor("dev", 1, 1));
    ASSERT_EQ(m_api->Close(), 0);
    ASSERT_TRUE(m_listener.waitFor("dev", 0, SessionStatusClosed));
    EXPECT_EQ(errorCount(m_listener, SessionLost), 0U);
}

TEST_F(SessionTest, OpenGivesUpOnASilentPeer)
{
    LoopbackServer server([](const std::string&, const std::string&, LoopbackConnection& connection)
                          { connection.waitUntilStopping(); });
    pointAt(server.port());
    EXPECT_EQ(m_api->Open(), DeviceTimedOut);
    EXPECT_TRUE(m_listener.waitFor(errorWith(DeviceTimedOut)));
}

TEST_F(SessionTest, AListenerCallingBackIntoTheLibraryDoesNotDeadlock)
{
    class Reentrant : public IAppListener
    {
    public:
        explicit Reentrant(DeviceLibrary* api) : m_api(api) {}
        void OnError(int32_t, const char*) override
        {
            if (m_calls++ > 0)
            {
                return;
            }
            char buffer[64];
            m_api->GetIPAddr(buffer, sizeof buffer);
            m_api->SetHttpPort(m_api->GetHttpPort());
            m_api->GetUID();
            m_api->Open();
            m_api->PlayLive(1, nullptr, 0, nullptr);
            m_api->PlayControl(1, 1, nullptr, 0, nullptr);
            m_api->Close();
            m_api->Slot296(this);
            done = true;
        }
        std::atomic<bool> done{false};

    private:
        DeviceLibrary* m_api;
        std::atomic<int> m_calls{0};
    } reentrant(m_api);
    m_api->Slot042(&reentrant);
    pointAt(closedPort());
    EXPECT_LT(m_api->Open(), 0);
    ASSERT_TRUE(m_listener.waitFor([&](const RecordedEvent&) { return reentrant.done.load(); }));
    // The listener's own calls raised errors of their own.
    EXPECT_TRUE(m_listener.waitFor(errorWith(NotOpen)));
    // Unregister before `reentrant` goes out of scope.
    m_api->Slot042(nullptr);
}

TEST_F(SessionTest, SessionReportsTheDeviceAndItsEvents)
{
    FakeDevice device;
    pointAt(device.port());
    EXPECT_EQ(m_api->Open(), 4242);
    EXPECT_EQ(m_api->GetUID(), 4242);
    EXPECT_TRUE(m_listener.waitFor("dev", 0, SessionStatusConnected));
    EXPECT_TRUE(m_listener.waitFor("dev", 1, 1));
    EXPECT_TRUE(m_listener.waitFor("dev", 2, 1));

    // Channels the device does not have are no news: the device has channels 1 and 2.
    device.pushEvent("record", "channel=-2 status=1");
    device.pushEvent("record", "channel=3 status=1");
    device.pushEvent("alarm", "channel=0 type=3 status=1 time=2024-01-02T03:04:05.678");
    device.pushEvent("alarm", "channel=7 type=3 status=1 time=2024-01-02T03:04:05.678");
    device.pushEvent("channel", "channel=3 status=1");
    device.pushEvent("alarm", "channel=2 type=3 status=1 time=2024-01-02T03:04:05.678");
    device.pushEvent("record", "channel=1 status=1");
    device.pushEvent("channel", "channel=2 status=0");
    device.pushEvent("unknown", "channel=2 status=0");
    ASSERT_TRUE(m_listener.waitFor("alarm", 2, 1));
    for (const RecordedEvent& event : m_listener.events())
    {
        if (event.kind == "alarm")
        {
            EXPECT_EQ(event.c, 3);
            EXPECT_EQ(event.text, "2024-01-02T03:04:05.678");
        }
    }
    EXPECT_TRUE(m_listener.waitFor("rec", 1, 1));
    EXPECT_TRUE(m_listener.waitFor("dev", 2, 0));
    for (const RecordedEvent& event : m_listener.events())
    {
        if (event.kind == "rec" || event.kind == "alarm" || (event.kind == "dev" && event.a != 0))
        {
            EXPECT_TRUE(event.a == 1 || event.a == 2) << event.kind << " for channel " << event.a;
        }
    }

    EXPECT_EQ(m_api->Open(), AlreadyOpen);
    EXPECT_TRUE(m_listener.waitFor(errorWith(AlreadyOpen)));
    EXPECT_EQ(m_api->GetUID(), 4242);
    EXPECT_EQ(m_api->Close(), 0);
    EXPECT_EQ(m_api->GetUID(), 0);
    EXPECT_TRUE(m_listener.waitFor("dev", 0, SessionStatusClosed));
    EXPECT_EQ(m_api->Open(), 4242);
}

TEST_F(SessionTest, LivePlayIsRefusedForEachReason)
{
    FakeDevice device;
    pointAt(device.port());
    EXPECT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), NotOpen);
    ASSERT_GE(m_api->Open(), 0);
    EXPECT_EQ(m_api->PlayLive(3, nullptr, 0, nullptr), ChannelUnknown);
    EXPECT_EQ(m_api->PlayLive(0, nullptr, 0, nullptr), ChannelUnknown);
    ASSERT_EQ(m_api->SetStreamFormat(2), 0);
    EXPECT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), FormatNotServed);
    ASSERT_TRUE(m_listener.waitFor(errorWith(FormatNotServed)));
    EXPECT_EQ(lastErrorText(m_listener, FormatNotServed),
              "stream format 2 (Tessel) is not served by this device, which serves JPEG (0), "
              "MPEG-4 (1), H.264 (3) and H.265 (6)");
    ASSERT_EQ(m_api->SetStreamFormat(0), 0);
    int32_t handle = -1;
    EXPECT_EQ(m_api->PlayLive(2, &handle, 0, nullptr), 0);
    EXPECT_EQ(handle, 2);
    EXPECT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), AlreadyPlaying);
    EXPECT_TRUE(m_listener.waitFor(errorWith(ChannelUnknown)));
    EXPECT_TRUE(m_listener.waitFor(errorWith(AlreadyPlaying)));
    EXPECT_TRUE(m_listener.waitFor(errorWith(NotOpen)));
}

TEST_F(SessionTest, LivePlayWithoutAWindowDecodesAndReports)
{
    // No display: a window is accepted, and frames are decoded but drawn nowhere.
    ::unsetenv("DISPLAY");
    EXPECT_EQ(m_api->SetVideoWindow(0x1234), 0);
    FakeDevice device;
    pointAt(device.port());
    ASSERT_EQ(m_api->SetJPEGResolution(320), 0);
    ASSERT_GE(m_api->Open(), 0);
    velkortest::RecordingCallBack callback;
    ASSERT_EQ(m_api->PlayLive(1, nullptr, 1, &callback), 0);
    ASSERT_TRUE(m_listener.waitFor("play", 1, 1));
    ASSERT_TRUE(
        m_listener.waitFor([](const RecordedEvent& event)
                           { return event.kind == "image" && event.b == 320 * 65536 + 240; }));
    ASSERT_TRUE(device.waitForFramesServed(device.framesServed(), 8));
    EXPECT_EQ(m_api->PlayControl(1, 1, nullptr, 0, nullptr), 0);
    const std::vector<int32_t> heard = callback.statuses();
    ASSERT_TRUE(m_listener.waitFor("play", 1, 0));
    // Frames of one size give one OnImage, however many arrived before the stop.
    EXPECT_EQ(m_listener.count("image"), 1U);
    // The callback heard the play begin, and its end only if that came before PlayControl
    // returned: nothing after.
    ASSERT_FALSE(heard.empty());
    EXPECT_EQ(heard.front(), 1);
    EXPECT_EQ(callback.statuses(), heard);
    EXPECT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0);
    EXPECT_EQ(m_api->ClearImage(), 0);
    EXPECT_EQ(m_api->Close(), 0);
    EXPECT_EQ(m_api->GetUID(), 0);
}

TEST_F(SessionTest, ADeviceThatDisappearsEndsTheSessionCleanly)
{
    auto device = std::make_unique<FakeDevice>();
    pointAt(device->port());
    ASSERT_GE(m_api->Open(), 0);
    ASSERT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0);
    ASSERT_TRUE(m_listener.waitFor("image", 0, 640 * 65536 + 480));
    device->stop();
    EXPECT_TRUE(m_listener.waitFor("dev", 0, SessionStatusLost));
    EXPECT_TRUE(m_listener.waitFor(errorWith(SessionLost)));
    EXPECT_TRUE(m_listener.waitFor(errorWith(StreamLost)));
    EXPECT_TRUE(m_listener.waitFor("play", 1, 0));
    EXPECT_EQ(m_api->GetUID(), 0);
    EXPECT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), NotOpen);
    EXPECT_EQ(m_api->PlayControl(1, 1, nullptr, 0, nullptr), 0);

    FakeDevice again;
    pointAt(again.port());
    EXPECT_EQ(m_api->Open(), 4242);
    EXPECT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0);
    EXPECT_EQ(m_api->Close(), 0);
}

TEST_F(SessionTest, AHostileLiveStreamIsAStreamErrorAndNothingWorse)
{
    const std::string head = FakeDevice::multipartHead("velkorframe");
    const std::vector<std::pair<const char*, std::string>> streams = {
        {"oversized part",
         head + "--velkorframe\r\nContent-Type: image/jpeg\r\nContent-Length: 9000000\r\n\r\n"},
        {"oversized part without length",
         head + "--velkorframe\r\n\r\n" + std::string(std::size_t{9} * 1024 * 1024, 'x')},
        {"too many headers", head + "--velkorframe\r\n" +
                                 []
                                 {
                                     std::string headers;
                                     for (int i = 0; i < 40; ++i)
                                     {
                                         headers += "X-H" + std::to_string(i) + ": v\r\n";
                                     }
                                     return headers;
                                 }()},
        {"endless header", head + "--velkorframe\r\nX-Long: " + std::string(100000, 'h')},
        {"no boundary", head + std::string(100000, 'g')},
        {"not multipart",
         "HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\nConnection: close\r\n\r\nxxxx"},
        {"boundary too long",
         "HTTP/1.1 200 OK\r\nContent-Type: multipart/x-mixed-replace; boundary=" +
             std::string(80, 'b') + "\r\nConnection: close\r\n\r\n"},
    };
    for (const auto& [what, bytes] : streams)
    {
        FakeDevice::Options options;
        options.live = [bytes = bytes](LoopbackConnection& connection)
        {
            connection.send(bytes);
            connection.waitUntilStopping();
        };
        FakeDevice device(options);
        pointAt(device.port());
        m_listener.reset();
        ASSERT_GE(m_api->Open(), 0) << what;
        ASSERT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0) << what;
        EXPECT_TRUE(m_listener.waitFor(errorWith(StreamMalformed))) << what;
        EXPECT_EQ(m_api->GetUID(), 4242) << what;
        EXPECT_EQ(m_api->Close(), 0) << what;
        ASSERT_TRUE(m_listener.waitFor("dev", 0, SessionStatusClosed)) << what;
        // A stream that began to play ended it; one refused at its first answer never began.
        std::vector<int32_t> statuses;
        for (const RecordedEvent& event : m_listener.events())
        {
            if (event.kind == "play")
            {
                statuses.push_back(event.b);
            }
        }
        EXPECT_TRUE(statuses.empty() || statuses == (std::vector<int32_t>{1, 0})) << what;
    }
}

TEST_F(SessionTest, UndecodablePicturesAreReportedOnceAndTheStreamGoesOn)
{
    FakeDevice::Options options;
    options.live = [](LoopbackConnection& connection)
    {
        connection.send(FakeDevice::multipartHead("b"));
        const std::string good = velkortest::makeJpeg(64, 48, 1);
        for (int n = 0; n < 10; ++n)
        {
            connection.send(
                FakeDevice::part("b", n % 2 == 0 ? std::string("not a picture") : good));
        }
        // Pictures arrive in order, so once this one is seen every broken one before it was too.
        connection.send(FakeDevice::part("b", velkortest::makeJpeg(80, 60, 1)));
        connection.waitUntilStopping();
    };
    FakeDevice device(options);
    pointAt(device.port());
    ASSERT_GE(m_api->Open(), 0);
    ASSERT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0);
    ASSERT_TRUE(m_listener.waitFor("image", 0, 80 * 65536 + 60));
    EXPECT_TRUE(m_listener.waitFor("image", 0, 64 * 65536 + 48));
    ASSERT_EQ(m_api->Close(), 0);
    ASSERT_TRUE(m_listener.waitFor("dev", 0, SessionStatusClosed));
    EXPECT_EQ(m_listener.count("error"), 1U);
    EXPECT_TRUE(m_listener.waitFor(errorWith(FrameUndecodable), std::chrono::milliseconds(0)));
}

TEST_F(SessionTest, AFloodOfAlarmsNeverCostsTheEventsThatChangeState)
{
    // Holds the dispatcher inside the first alarm until the whole flood and the loss are queued.
    class BlockingListener : public IAppListener
    {
    public:
        void OnAlmStatus(int32_t, int32_t, const char*, int32_t) override
        {
            std::unique_lock lock(m_mutex);
            m_released.wait(lock, [this] { return m_open; });
        }
        void release()
        {
            {
                std::lock_guard lock(m_mutex);
                m_open = true;
            }
            m_released.notify_all();
        }

    private:
        std::mutex m_mutex;
        std::condition_variable m_released;
        bool m_open = false;
    } blocking;
    FakeDevice device;
    pointAt(device.port());
    ASSERT_GE(m_api->Open(), 0);
    m_api->Slot296(&blocking);
    constexpr int kAlarms = 3000;
    for (int i = 0; i < kAlarms; ++i)
    {
        device.pushEvent("alarm", "channel=1 type=1 status=" + std::to_string(i % 2) +
                                      " time=2024-01-02T03:04:05.678");
    }
    // The stream is read in order, so the session ends after every alarm has been queued.
    device.endEventStreams();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (m_api->GetUID() != 0 && std::chrono::steady_clock::now() < deadline)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_EQ(m_api->GetUID(), 0);
    blocking.release();

    EXPECT_TRUE(m_listener.waitFor("dev", 0, SessionStatusLost));
    EXPECT_TRUE(m_listener.waitFor(errorWith(SessionLost)));
    ASSERT_TRUE(m_listener.waitFor(errorWith(EventsDropped)))
        << m_listener.count("alarm") << " alarms heard";
    std::size_t dropped = 0;
    for (const RecordedEvent& event : m_listener.events())
    {
        if (event.a == EventsDropped)
        {
            dropped += std::stoul(event.text.substr(event.text.find_first_of("0123456789")));
        }
    }
    EXPECT_GT(dropped, 0U);
    EXPECT_EQ(m_listener.count("alarm") + dropped, std::size_t{kAlarms});
    m_api->Slot042(nullptr);
}

TEST_F(SessionTest, SilentStreamsAreGivenUpWithinTheirTimes)
{
    using Clock = std::chrono::steady_clock;
    std::mutex mutex;
    Clock::time_point lastPicture;
    FakeDevice::Options options;
    options.keepalive = false;
    options.live = [&](LoopbackConnection& connection)
    {
        connection.send(FakeDevice::multipartHead("b") +
                        FakeDevice::part("b", velkortest::makeJpeg(32, 24, 0)));
        {
            // Live play comes back by itself after the loss; only the first stream counts.
            std::lock_guard lock(mutex);
            if (lastPicture == Clock::time_point{})
            {
                lastPicture = Clock::now();
            }
        }
        connection.waitUntilStopping();
    };
    FakeDevice device(options);
    pointAt(device.port());
    ASSERT_GE(m_api->Open(), 0);
    // The device's last word on its event stream.
    ASSERT_TRUE(m_listener.waitFor("dev", 2, 1));
    ASSERT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0);
    ASSERT_TRUE(m_listener.waitFor("image", 0, 32 * 65536 + 24));

    ASSERT_TRUE(m_listener.waitFor(errorWith(StreamLost), std::chrono::seconds(15)));
    ASSERT_TRUE(m_listener.waitFor(errorWith(SessionLost), std::chrono::seconds(15)));
    std::map<int32_t, Clock::time_point> noticed;
    Clock::time_point lastEvent;
    for (const RecordedEvent& event : m_listener.events())
    {
        if (event.kind == "error")
        {
            noticed.emplace(event.a, event.at);
        }
        else if (event.kind == "dev" && event.a == 2 && lastEvent == Clock::time_point{})
        {
            lastEvent = event.at;
        }
    }
    std::lock_guard lock(mutex);
    // Never early, counted from the last byte (the device stamps it a moment before the library
    // reads it); not much later either, with room for the sanitizers. How late exactly is
    // velkor_stall_bench's figure.
    const auto slack = std::chrono::milliseconds(200);
    EXPECT_GE(noticed[StreamLost] - lastPicture, VelkorDevice::kLiveSilence - slack);
    EXPECT_LE(noticed[StreamLost] - lastPicture, VelkorDevice::kLiveSilence * 3 / 2);
    EXPECT_GE(noticed[SessionLost] - lastEvent, VelkorDevice::kEventSilence - slack);
    EXPECT_LE(noticed[SessionLost] - lastEvent, VelkorDevice::kEventSilence * 3 / 2);
}

TEST_F(SessionTest, EachServedFormatPlaysAtItsOwnWidthFromTheFirstKeyframe)
{
    // Every stream joins between keyframes: what comes before the first is passed over quietly.
    FakeDevice::Options options;
    options.startAt = 4;
    FakeDevice device(options);
    pointAt(device.port());
    ASSERT_EQ(m_api->SetJPEGResolution(320), 0);
    ASSERT_EQ(m_api->SetMPEG4Resolution(320), 0);
    ASSERT_EQ(m_api->SetH264Resolution(640), 0);
    ASSERT_GE(m_api->Open(), 0);
    // H.265 has no width of its own and plays at the H.264 width.
    const std::vector<std::pair<int32_t, int32_t>> formats = {
        {0, 320}, {1, 320}, {3, 640}, {6, 640}};
    for (const auto& [format, width] : formats)
    {
        m_listener.reset();
        ASSERT_EQ(m_api->SetStreamFormat(format), 0);
        ASSERT_EQ(m_api->PlayLive(2, nullptr, 0, nullptr), 0);
        EXPECT_TRUE(m_listener.waitFor("image", 0, width * 65536 + width * 3 / 4)) << format;
        ASSERT_EQ(m_api->PlayControl(1, 1, nullptr, 0, nullptr), 0);
        ASSERT_TRUE(m_listener.waitFor("play", 2, 0));
        EXPECT_EQ(m_listener.count("error"), 0U)
            << format << ": " << m_listener.events().front().text;
    }
    EXPECT_EQ(device.liveRequests(),
              (std::vector<std::string>{"/velkor/live?channel=2&width=320",
                                        "/velkor/live?channel=2&width=320&format=mpeg4",
                                        "/velkor/live?channel=2&width=640&format=h264",
                                        "/velkor/live?channel=2&width=640&format=h265"}));
}

TEST_F(SessionTest, ADeviceOfTheFirstProtocolPlaysJpegAndRefusesTheRest)
{
    FakeDevice::Options options;
    options.info = "device=velkor-device\nuid=4242\nchannels=2\nformats=jpeg\nversion=1\n";
    FakeDevice device(options);
    pointAt(device.port());
    ASSERT_GE(m_api->Open(), 0);
    ASSERT_EQ(m_api->SetStreamFormat(3), 0);
    EXPECT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), FormatNotServed);
    ASSERT_TRUE(m_listener.waitFor(errorWith(FormatNotServed)));
    EXPECT_EQ(lastErrorText(m_listener, FormatNotServed),
              "stream format 3 (H.264) is not served by this device, which serves JPEG (0)");
    ASSERT_EQ(m_api->SetStreamFormat(0), 0);
    ASSERT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0);
    EXPECT_TRUE(m_listener.waitFor("image", 0, 640 * 65536 + 480));
    // Switching while live to what the device does not serve keeps the picture.
    ASSERT_EQ(m_api->SetStreamFormat(6), 0);
    ASSERT_TRUE(m_listener.waitFor(
        [](const RecordedEvent& event)
        {
            return event.kind == "error" &&
                   event.text == "stream format 6 (H.265) is not served by this device, which "
                                 "serves JPEG (0); live play goes on in JPEG at 640";
        }));
    EXPECT_EQ(device.liveRequests(), std::vector<std::string>{"/velkor/live?channel=1&width=640"});
}

TEST_F(SessionTest, FormatAndWidthChangesWhileLiveSwitchTheStreamWithinThePlay)
{
    FakeDevice device;
    pointAt(device.port());
    ASSERT_EQ(m_api->SetStreamFormat(3), 0);
    ASSERT_EQ(m_api->SetH264Resolution(320), 0);
    ASSERT_EQ(m_api->SetMPEG4Resolution(320), 0);
    ASSERT_GE(m_api->Open(), 0);
    ASSERT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0);
    ASSERT_TRUE(m_listener.waitFor("image", 0, 320 * 65536 + 240));

    m_listener.reset();
    ASSERT_EQ(m_api->SetH264Resolution(640), 0);
    EXPECT_TRUE(m_listener.waitFor("image", 0, 640 * 65536 + 480));
    ASSERT_EQ(m_api->SetStreamFormat(1), 0);
    EXPECT_TRUE(m_listener.waitFor("image", 0, 320 * 65536 + 240));
    // Not the format playing: no switch.
    ASSERT_EQ(m_api->SetJPEGResolution(800), 0);
    // Tessel is kept as the setting and reported; MPEG-4 plays on and still follows its width.
    ASSERT_EQ(m_api->SetStreamFormat(2), 0);
    EXPECT_EQ(m_api->GetStreamFormat(), 2);
    ASSERT_TRUE(m_listener.waitFor(errorWith(FormatNotServed)));
    EXPECT_EQ(lastErrorText(m_listener, FormatNotServed),
              "stream format 2 (Tessel) is not served by this device, which serves JPEG (0), "
              "MPEG-4 (1), H.264 (3) and H.265 (6); live play goes on in MPEG-4 at 320");
    m_listener.reset();
    ASSERT_EQ(m_api->SetMPEG4Resolution(640), 0);
    EXPECT_TRUE(m_listener.waitFor("image", 0, 640 * 65536 + 480));

    ASSERT_EQ(m_api->PlayControl(1, 1, nullptr, 0, nullptr), 0);
    ASSERT_TRUE(m_listener.waitFor("play", 1, 0));
    // One play throughout: no status change but the stop.
    EXPECT_EQ(m_listener.count("play"), 1U);
    EXPECT_EQ(m_listener.count("error"), 0U);
    EXPECT_EQ(device.liveRequests(),
              (std::vector<std::string>{"/velkor/live?channel=1&width=320&format=h264",
                                        "/velkor/live?channel=1&width=640&format=h264",
                                        "/velkor/live?channel=1&width=320&format=mpeg4",
                                        "/velkor/live?channel=1&width=640&format=mpeg4"}));
}

TEST_F(SessionTest, PlayThatEndedStaysEndedWhenTheDeviceIsLostAndComesBack)
{
    FakeDevice::Options options;
    options.live = [](LoopbackConnection& connection)
    { connection.send(httpResponse("400 Bad Request", "")); };
    FakeDevice device(options);
    pointAt(device.port());
    ASSERT_GE(m_api->Open(), 0);
    ASSERT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0);
    ASSERT_TRUE(m_listener.waitFor(errorWith(StreamRefused)));
    m_listener.reset();
    device.goAway();
    ASSERT_TRUE(m_listener.waitFor("dev", 0, SessionStatusLost));
    device.comeBack();

    EXPECT_FALSE(device.waitForRequests("/velkor/info", 2, kReconnectorWouldHaveAsked));
    EXPECT_EQ(device.liveRequests().size(), 1U);
    EXPECT_EQ(m_api->GetUID(), 0);
    EXPECT_EQ(m_listener.count("play"), 0U);
}

TEST_F(SessionTest, ACallbackIsNeverCalledOnceStoppingItsPlayReturned)
{
    FakeDevice device;
    pointAt(device.port());
    ASSERT_GE(m_api->Open(), 0);

    // Deliveries still queued when PlayControl returns are dropped.
    PlayingGate gate;
    m_api->Slot296(&gate);
    velkortest::RecordingCallBack queued;
    ASSERT_EQ(m_api->PlayLive(1, nullptr, 1, &queued), 0);
    gate.waitUntilEntered();
    ASSERT_EQ(m_api->PlayControl(1, 1, nullptr, 0, nullptr), 0);
    gate.release();
    ASSERT_TRUE(m_listener.waitFor("play", 1, 0));
    ASSERT_EQ(m_api->Close(), 0);
    ASSERT_TRUE(m_listener.waitFor("dev", 0, SessionStatusClosed));
    EXPECT_EQ(queued.statuses(), std::vector<int32_t>{});
    m_api->Slot042(nullptr);
    m_api->Slot042(&m_listener);

    // One that runs is waited for, and may itself stop the play meanwhile.
    class SlowCallBack : public IAppCallBack
    {
    public:
        explicit SlowCallBack(DeviceLibrary* api) : m_api(api) {}
        void OnPlayStatusCB(int32_t) override
        {
            entered = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            m_api->PlayControl(1, 1, nullptr, 0, nullptr);
            finished = true;
        }
        std::atomic<bool> entered{false};
        std::atomic<bool> finished{false};

    private:
        DeviceLibrary* m_api;
    } slow(m_api);
    ASSERT_GE(m_api->Open(), 0);
    ASSERT_EQ(m_api->PlayLive(1, nullptr, 1, &slow), 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!slow.entered && std::chrono::steady_clock::now() < deadline)
    {
        std::this_thread::yield();
    }
    ASSERT_TRUE(slow.entered);
    ASSERT_EQ(m_api->Close(), 0);
    EXPECT_TRUE(slow.finished);
}

TEST_F(SessionTest, WhatWasSetWhilePlayWaitsIsWhatComesBack)
{
    FakeDevice device;
    pointAt(device.port());
    ASSERT_EQ(m_api->SetStreamFormat(3), 0);
    ASSERT_EQ(m_api->SetH264Resolution(320), 0);
    ASSERT_GE(m_api->Open(), 0);
    ASSERT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0);
    ASSERT_TRUE(m_listener.waitFor("image", 0, 320 * 65536 + 240));

    device.goAway();
    ASSERT_TRUE(m_listener.waitFor("play", 1, 0));
    ASSERT_EQ(m_api->SetH264Resolution(640), 0);
    m_listener.reset();
    device.comeBack();
    EXPECT_TRUE(m_listener.waitFor("image", 0, 640 * 65536 + 480));
    EXPECT_EQ(device.liveRequests().back(), "/velkor/live?channel=1&width=640&format=h264");

    // Back without the format that plays: said so, and play ends without asking for it.
    const std::size_t asked = device.liveRequests().size();
    m_listener.reset();
    device.goAway();
    ASSERT_TRUE(m_listener.waitFor("play", 1, 0));
    device.comeBack("device=velkor-device\nuid=4242\nchannels=2\nformats=jpeg\nversion=2\n");
    ASSERT_TRUE(m_listener.waitFor(errorWith(FormatNotServed)));
    EXPECT_EQ(lastErrorText(m_listener, FormatNotServed),
              "stream format 3 (H.264) is not served by this device, which serves JPEG (0); live "
              "play ends");
    ASSERT_EQ(m_api->Close(), 0);
    ASSERT_TRUE(m_listener.waitFor("dev", 0, SessionStatusClosed));
    EXPECT_EQ(device.liveRequests().size(), asked);
    EXPECT_EQ(errorCount(m_listener, StreamRefused), 0U);
    // Only the loss ended the play that had begun.
    EXPECT_EQ(m_listener.count("play"), 1U);
}

TEST_F(SessionTest, ADeviceThatDropsEveryStreamIsAskedAgainLessAndLessOften)
{
    FakeDevice::Options options;
    options.live = [](LoopbackConnection& connection)
    {
        connection.send(FakeDevice::multipartHead("b") +
                        FakeDevice::part("b", velkortest::makeJpeg(32, 24, 0)));
    };
    FakeDevice device(options);
    pointAt(device.port());
    ASSERT_GE(m_api->Open(), 0);
    ASSERT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0);
    ASSERT_TRUE(device.waitForRequests("/velkor/live", 5, std::chrono::seconds(20)));
    const auto asked = device.requestTimes("/velkor/live");
    // A picture is no sign the stream holds: the pauses keep doubling.
    for (std::size_t n = 1; n < 5; ++n)
    {
        EXPECT_GE(asked[n] - asked[n - 1], Reconnector::kFirstPause * (1 << (n - 1)))
            << "between requests " << n << " and " << n + 1;
    }
}

TEST_F(SessionTest, ADeviceThatComesBackRefusingTheCredentialsIsSaidSoOnceAndAskedAgain)
{
    FakeDevice device;
    pointAt(device.port());
    ASSERT_GE(m_api->Open(), 0);
    ASSERT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0);
    ASSERT_TRUE(m_listener.waitFor("play", 1, 1));
    m_listener.reset();
    const std::size_t asked = device.requestTimes("/velkor/info").size();
    device.goAway(httpResponse("401 Unauthorized", "",
                               "WWW-Authenticate: Basic realm=\"velkor-device\"\r\n"));
    ASSERT_TRUE(device.waitForRequests("/velkor/info", asked + 3));
    device.comeBack();
    ASSERT_TRUE(m_listener.waitFor("play", 1, 1));
    EXPECT_EQ(errorCount(m_listener, CredentialsRefused), 1U);
    EXPECT_NE(lastErrorText(m_listener, CredentialsRefused).find("requires a user name"),
              std::string::npos);
}

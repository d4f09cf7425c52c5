#include "tests/velkor/support/LoopbackServer.h"
#include "tests/velkor/support/TestJpeg.h"
#include "velkor/api/VelkorLibrary.h"
#include "velkor/camera/CameraReader.h"
#include "velkor/camera/CameraUrl.h"
#include "velkor/stats/LiveStatistics.h"

#include <stop_token>

extern "C"
{
#include <libavcodec/packet.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
}

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace velkor;
using velkortest::LoopbackConnection;
using velkortest::LoopbackServer;

namespace
{

// Every how many calls av_read_frame() says EAGAIN first; 0 never.
std::atomic<int> g_againEvery{0};
std::atomic<int> g_againSaid{0};
std::atomic<int> g_calls{0};

} // namespace

// Stands in for libavformat's own, which it calls, for this program's reads: libavformat says
// EAGAIN of a read that found nothing yet only on a few paths a test cannot provoke at will.
extern "C" int av_read_frame(AVFormatContext* context, AVPacket* packet)
{
    using Read = int (*)(AVFormatContext*, AVPacket*);
    static const auto real = reinterpret_cast<Read>(dlsym(RTLD_NEXT, "av_read_frame"));
    const int every = g_againEvery.load();
    if (every > 0 && g_calls++ % every == 0)
    {
        ++g_againSaid;
        return AVERROR(EAGAIN);
    }
    return real(context, packet);
}

namespace
{

std::string part(const std::string& picture)
{
    return "--frame\r\nContent-Type: image/jpeg\r\nContent-Length: " +
           std::to_string(picture.size()) + "\r\n\r\n" + picture + "\r\n";
}

// A multipart JPEG camera sending a picture every 40 ms on each connection: good ones, or, while
// garbage() is set, parts no decoder takes.
class PacedCamera
{
public:
    PacedCamera()
        : m_server([this](const std::string&, const std::string&, LoopbackConnection& connection)
                   { serve(connection); })
    {
    }

    std::string url() const { return "http://127.0.0.1:" + std::to_string(m_server.port()) + "/"; }
    void setGarbage(bool garbage) { m_garbage = garbage; }
    int garbageSent() const { return m_garbageSent; }
    void dropConnections() { m_server.dropConnections(); }

private:
    void serve(LoopbackConnection& connection)
    {
        if (!connection.send("HTTP/1.1 200 OK\r\nContent-Type: multipart/x-mixed-replace;"
                             "boundary=frame\r\n\r\n"))
        {
            return;
        }
        for (int i = 0; !connection.stopping(); ++i)
        {
            const bool garbage = m_garbage;
            if (!connection.send(
                    part(garbage ? std::string(600, '\x5A') : velkortest::makeJpeg(64, 48, i % 8))))
            {
                return;
            }
            m_garbageSent += garbage ? 1 : 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        }
    }

    std::atomic<bool> m_garbage{false};
    std::atomic<int> m_garbageSent{0};
    LoopbackServer m_server;
};

bool eventually(const std::function<bool()>& done)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (!done() && std::chrono::steady_clock::now() < deadline)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return done();
}

} // namespace

TEST(CameraReadAgain, ANothingYetFromLibavformatIsAskedAgainNotTakenForALoss)
{
    PacedCamera camera;
    std::stop_source stop;
    CameraReader reader(stop.get_token());
    ASSERT_EQ(reader.open(camera.url(), CameraScheme::Http), CameraReader::Result::Packet)
        << reader.error();
    const std::unique_ptr<AVPacket, void (*)(AVPacket*)> packet(av_packet_alloc(), [](AVPacket* p)
                                                                { av_packet_free(&p); });
    g_againSaid = 0;
    g_calls = 0;
    g_againEvery = 2;
    const std::shared_ptr<void> never(nullptr, [](void*) { g_againEvery = 0; });
    for (int i = 0; i < 10; ++i)
    {
        ASSERT_EQ(reader.read(*packet), CameraReader::Result::Packet)
            << i << ": " << reader.error();
        EXPECT_GT(packet->size, 0);
        av_packet_unref(packet.get());
    }
    // Once before each picture.
    EXPECT_EQ(g_againSaid.load(), 10);
}

// The camera comes back from a loss sending only what does not decode: its stream opens, but
// play is not back until a picture is.
TEST(CameraReconnection, IsCountedWhenAPictureIsBackNotWhenTheStreamOpens)
{
    PacedCamera camera;
    VelkorLibrary library;
    ASSERT_EQ(library.SetIPAddr(camera.url().c_str()), 0);
    ASSERT_GT(library.Open(), 0);
    ASSERT_EQ(library.PlayLive(1, nullptr, 0, nullptr), 0);
    LiveStatistics& statistics = library.statistics();
    ASSERT_TRUE(eventually([&] { return statistics.figures().codec.has_value(); }));

    camera.setGarbage(true);
    camera.dropConnections();
    ASSERT_TRUE(eventually([&] { return statistics.figures().losses == 1; }));
    // Parts of the stream opened again arrive and are found undecodable.
    ASSERT_TRUE(eventually([&] { return statistics.figures().undecodable >= 5; }));
    EXPECT_EQ(statistics.figures().reconnections, 0U);

    camera.setGarbage(false);
    EXPECT_TRUE(eventually([&] { return statistics.figures().reconnections == 1; }));
    EXPECT_EQ(statistics.figures().losses, 1U);
    EXPECT_EQ(library.Close(), 0);
    library.shutdown();
}

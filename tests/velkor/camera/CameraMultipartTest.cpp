#include "tests/velkor/support/LoopbackServer.h"
#include "tests/velkor/support/TestJpeg.h"
#include "velkor/camera/CameraReader.h"
#include "velkor/camera/CameraUrl.h"

extern "C"
{
#include <libavcodec/packet.h>
}

#include <gtest/gtest.h>

#include <memory>
#include <stop_token>
#include <string>
#include <vector>

using namespace velkor;
using velkortest::LoopbackConnection;
using velkortest::LoopbackServer;

namespace
{

// A multipart JPEG camera whose pictures 2 and 6 (from 0) declare a Content-Length that lies:
// 300 bytes too many (the picture swallows the head of the next one) and half the truth.
class LyingLengthCamera
{
public:
    static constexpr int kParts = 10;

    LyingLengthCamera()
        : m_server([this](const std::string&, const std::string&, LoopbackConnection& connection)
                   { serve(connection); })
    {
        for (int i = 0; i < kParts; ++i)
        {
            m_pictures.push_back(velkortest::makeJpeg(64, 48, i));
        }
    }

    std::string url() const { return "http://127.0.0.1:" + std::to_string(m_server.port()) + "/"; }
    const std::string& picture(int i) const { return m_pictures[static_cast<std::size_t>(i)]; }

private:
    void serve(LoopbackConnection& connection)
    {
        std::string body = "HTTP/1.1 200 OK\r\nContent-Type: multipart/x-mixed-replace;"
                           "boundary=frame\r\n\r\n";
        for (int i = 0; i < kParts; ++i)
        {
            std::size_t declared = picture(i).size();
            declared = i == 2 ? declared + 300 : i == 6 ? declared / 2 : declared;
            body += "--frame\r\nContent-Type: image/jpeg\r\nContent-Length: " +
                    std::to_string(declared) + "\r\n\r\n" + picture(i) + "\r\n";
        }
        connection.send(body);
        connection.waitUntilStopping();
    }

    std::vector<std::string> m_pictures;
    LoopbackServer m_server;
};

} // namespace

TEST(CameraMultipart, APartWhoseLengthLiesIsSkippedToTheNextBoundaryAndReadingGoesOn)
{
    LyingLengthCamera camera;
    std::stop_source stop;
    CameraReader reader(stop.get_token());
    ASSERT_EQ(reader.open(camera.url(), CameraScheme::Http), CameraReader::Result::Packet)
        << reader.error();
    const std::unique_ptr<AVPacket, void (*)(AVPacket*)> packet(av_packet_alloc(), [](AVPacket* p)
                                                                { av_packet_free(&p); });
    std::vector<int> whole;
    int skipped = 0;
    while (whole.empty() || whole.back() != LyingLengthCamera::kParts - 1)
    {
        ASSERT_EQ(reader.read(*packet), CameraReader::Result::Packet) << reader.error();
        skipped += reader.skippedToBoundary() ? 1 : 0;
        const std::string bytes(reinterpret_cast<const char*>(packet->data),
                                static_cast<std::size_t>(packet->size));
        for (int i = 0; i < LyingLengthCamera::kParts; ++i)
        {
            if (bytes == camera.picture(i))
            {
                whole.push_back(i);
            }
        }
        av_packet_unref(packet.get());
    }
    // Picture 3 is lost to the length picture 2 declares, and the rest of picture 6 to the
    // search for a boundary.
    EXPECT_EQ(whole, (std::vector<int>{0, 1, 4, 5, 7, 8, 9}));
    EXPECT_EQ(skipped, 2);
}

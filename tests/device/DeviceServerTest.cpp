#include "device/DeviceServer.h"

#include "device/DeviceConfig.h"
#include "tests/device/HttpConnection.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <filesystem>
#include <thread>

namespace velkordevice
{

namespace
{

// The server in this process, so that its sockets can be inspected.
class DeviceServerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DeviceConfig config;
        config.port = 0;
        config.channels = 1;
        config.alarmIntervalSeconds = 0;
        m_server = std::make_unique<DeviceServer>(config);
        m_port = m_server->bind();
        ASSERT_GT(m_port, 0);
        m_thread = std::thread([this] { m_server->run(); });
    }
    void TearDown() override
    {
        m_server->stop();
        m_thread.join();
    }

    // The server's end of the connection whose client end has `clientPort`, or -1.
    static int serverEndOf(int clientPort)
    {
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        {
            const int fd = std::stoi(entry.path().filename().string());
            sockaddr_in peer{};
            socklen_t size = sizeof peer;
            if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &size) == 0 &&
                peer.sin_family == AF_INET && ntohs(peer.sin_port) == clientPort)
            {
                return fd;
            }
        }
        return -1;
    }

    std::unique_ptr<DeviceServer> m_server;
    int m_port = 0;
    std::thread m_thread;
};

// Without it a reply written in two pieces waits for the client's delayed ACK (about 40 ms).
TEST_F(DeviceServerTest, AcceptedSocketsSendWithoutNagleDelay)
{
    HttpConnection events;
    ASSERT_TRUE(events.open(m_port));
    ASSERT_TRUE(events.sendGet("/velkor/events"));
    auto head = events.readHead();
    ASSERT_TRUE(head);
    ASSERT_EQ(head->status, 200);
    const int serverEnd = serverEndOf(events.localPort());
    ASSERT_GE(serverEnd, 0);
    int noDelay = 0;
    socklen_t size = sizeof noDelay;
    ASSERT_EQ(getsockopt(serverEnd, IPPROTO_TCP, TCP_NODELAY, &noDelay, &size), 0);
    EXPECT_NE(noDelay, 0);
}

} // namespace

} // namespace velkordevice

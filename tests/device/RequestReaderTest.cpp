#include "device/RequestReader.h"

#include <gtest/gtest.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

namespace velkordevice
{

namespace
{

using namespace std::chrono_literals;
using Outcome = RequestReader::Outcome;

// The device's end and the client's end of a connection.
class RequestReaderTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, m_ends), 0); }
    void TearDown() override
    {
        close(m_ends[0]);
        close(m_ends[1]);
    }
    void send(const std::string& bytes)
    {
        ASSERT_EQ(::send(m_ends[1], bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
    }
    int device() const { return m_ends[0]; }

    // Long enough never to be reached where a test expects an answer at once.
    RequestLimits m_limits{8192, 8192, 16384, 4096, 10s, 10s, 10s, 100};
    int m_ends[2] = {-1, -1};
};

TEST_F(RequestReaderTest, PipelinedRequestsComeOneByOneWithTheirBodies)
{
    const std::string first = "GET /a HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc";
    const std::string second = "GET /b HTTP/1.1\nHost: x\n\n";
    send("\r\n" + first + second + "GET /c");
    m_limits.idle = 50ms;
    RequestReader reader(device(), m_limits);
    ASSERT_EQ(reader.next(), Outcome::Request);
    EXPECT_EQ(reader.request(), first);
    reader.consume();
    ASSERT_EQ(reader.next(), Outcome::Request);
    EXPECT_EQ(reader.request(), second);
    reader.consume();
    send(" HTTP/1.1\r\n\r\n");
    ASSERT_EQ(reader.next(), Outcome::Request);
    EXPECT_EQ(reader.request(), "GET /c HTTP/1.1\r\n\r\n");
    reader.consume();
    EXPECT_EQ(reader.next(), Outcome::Idle);
}

// Each is refused with the bytes shown, none of them whole: waiting for more would time out.
TEST_F(RequestReaderTest, LimitsAreEnforcedAsSoonAsTheyArePassed)
{
    const std::string get = "GET / HTTP/1.1\r\n";
    const std::string line = "X: " + std::string(8000, 'a') + "\r\n";
    const std::pair<std::string, int> cases[] = {
        {"GET /" + std::string(8190, 'a'), 414},
        {get + "X: " + std::string(8200, 'a'), 431},
        {get + line + line + line, 431},
        {get + "Content-Length: 4097\r\n", 413},
        {get + "Content-Length: 1099511627776\r\n", 413},
        {get + "Content-Length: 5\r\nContent-Length: 6\r\n", 400},
        {get + "Content-Length: 5, 5\r\n", 400},
        {get + "Content-Length: -1\r\n", 400},
        {get + "Transfer-Encoding: chunked\r\n", 411},
        {get + "Host: x\r\n folded\r\n", 400},
        {get + "Host : x\r\n", 400},
        {get + "no colon\r\n", 400},
    };
    for (const auto& [bytes, status] : cases)
    {
        TearDown();
        SetUp();
        send(bytes);
        RequestReader reader(device(), m_limits);
        EXPECT_EQ(reader.next(), Outcome::Refused) << bytes.substr(0, 40);
        EXPECT_EQ(reader.refusalStatus(), status) << bytes.substr(0, 40);
    }
}

TEST_F(RequestReaderTest, AWholeRequestMustArriveWithinTheDeadlineHoweverItDrips)
{
    m_limits.arrival = 300ms;
    std::atomic<bool> dripping = true;
    // A header line every 50 ms: no single read waits long, yet the request never ends.
    std::thread client(
        [this, &dripping]
        {
            const std::string line = "GET / HTTP/1.1\r\n";
            ::send(m_ends[1], line.data(), line.size(), MSG_NOSIGNAL);
            while (dripping)
            {
                ::send(m_ends[1], "X: 1\r\n", 6, MSG_NOSIGNAL);
                std::this_thread::sleep_for(50ms);
            }
        });
    RequestReader reader(device(), m_limits);
    const Outcome outcome = reader.next();
    dripping = false;
    client.join();
    EXPECT_EQ(outcome, Outcome::Refused);
    EXPECT_EQ(reader.refusalStatus(), 408);
}

TEST_F(RequestReaderTest, SilenceCloseAndWakeEndTheWait)
{
    m_limits.idle = 50ms;
    EXPECT_EQ(RequestReader(device(), m_limits).next(), Outcome::Idle);

    const int wake = eventfd(1, EFD_CLOEXEC);
    m_limits.idle = 10s;
    EXPECT_EQ(RequestReader(device(), m_limits, wake).next(), Outcome::Closed);
    close(wake);

    send("GET / HTTP/1.1\r\n");
    shutdown(m_ends[1], SHUT_WR);
    EXPECT_EQ(RequestReader(device(), m_limits).next(), Outcome::Closed);
}

} // namespace

} // namespace velkordevice

#pragma once

#include <poll.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace velkordevice
{

// Closes sockets whose last reply is sent, after reading and discarding what the peer still
// sends for a while: closing with unread input would reset the connection, and the peer could
// lose the reply. One thread serves them all, so a flood of refusals costs no thread each.
class LingeringCloser
{
public:
    explicit LingeringCloser(std::chrono::milliseconds linger = std::chrono::seconds(2),
                             std::size_t capacity = 512);
    ~LingeringCloser();
    LingeringCloser(const LingeringCloser&) = delete;
    LingeringCloser& operator=(const LingeringCloser&) = delete;

    // Takes the socket over: no more is sent on it, and it is closed once the peer closes, the
    // linger time is over, or the closer is full and this socket is the oldest.
    void close(int socket);

private:
    struct Lingering
    {
        int socket;
        std::chrono::steady_clock::time_point until;
    };

    void run();
    // Moves the sockets handed over since into `lingering`; false once stopping.
    bool takeIncoming(std::deque<Lingering>& lingering);
    // Closes those whose peer closed or whose time is over; `waits` holds what poll() saw.
    void closeFinished(std::deque<Lingering>& lingering, const std::vector<pollfd>& waits);
    void wake();

    std::chrono::milliseconds m_linger;
    std::size_t m_capacity;
    int m_wakeFd;
    std::mutex m_mutex;
    std::deque<Lingering> m_incoming;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace velkordevice

#include "device/LingeringCloser.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <vector>

namespace velkordevice
{

LingeringCloser::LingeringCloser(std::chrono::milliseconds linger, std::size_t capacity)
    : m_linger(linger), m_capacity(capacity), m_wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    m_thread = std::thread([this] { run(); });
}

LingeringCloser::~LingeringCloser()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    wake();
    m_thread.join();
    for (const Lingering& waiting : m_incoming)
    {
        ::close(waiting.socket);
    }
    ::close(m_wakeFd);
}

void LingeringCloser::close(int socket)
{
    shutdown(socket, SHUT_WR);
    {
        std::lock_guard lock(m_mutex);
        if (!m_stopping)
        {
            m_incoming.push_back({socket, std::chrono::steady_clock::now() + m_linger});
            socket = -1;
        }
    }
    if (socket >= 0)
    {
        ::close(socket);
        return;
    }
    wake();
}

void LingeringCloser::wake()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
}

void LingeringCloser::run()
{
    std::deque<Lingering> lingering;
    std::vector<pollfd> waits;
    while (takeIncoming(lingering))
    {
        while (lingering.size() > m_capacity)
        {
            ::close(lingering.front().socket);
            lingering.pop_front();
        }
        const auto now = std::chrono::steady_clock::now();
        auto timeout = std::chrono::milliseconds(-1);
        waits.assign(1, pollfd{m_wakeFd, POLLIN, 0});
        for (const Lingering& waiting : lingering)
        {
            waits.push_back({waiting.socket, POLLIN, 0});
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(waiting.until - now);
            timeout = timeout.count() < 0 ? left : std::min(timeout, left);
        }
        poll(waits.data(), waits.size(),
             timeout.count() < 0 ? -1
                                 : static_cast<int>(std::max<std::int64_t>(0, timeout.count())));
        if ((waits[0].revents & POLLIN) != 0)
        {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t got = ::read(m_wakeFd, &count, sizeof count);
        }
        closeFinished(lingering, waits);
    }
    for (const Lingering& waiting : lingering)
    {
        ::close(waiting.socket);
    }
}

bool LingeringCloser::takeIncoming(std::deque<Lingering>& lingering)
{
    std::lock_guard lock(m_mutex);
    if (m_stopping)
    {
        return false;
    }
    lingering.insert(lingering.end(), m_incoming.begin(), m_incoming.end());
    m_incoming.clear();
    return true;
}

void LingeringCloser::closeFinished(std::deque<Lingering>& lingering,
                                    const std::vector<pollfd>& waits)
{
    std::array<char, 4096> discard{};
    const auto now = std::chrono::steady_clock::now();
    std::deque<Lingering> kept;
    for (std::size_t i = 0; i < lingering.size(); ++i)
    {
        bool done = now >= lingering[i].until;
        if (!done && waits[i + 1].revents != 0)
        {
            const ssize_t got =
                recv(lingering[i].socket, discard.data(), discard.size(), MSG_DONTWAIT);
            done = got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR);
        }
        if (done)
        {
            ::close(lingering[i].socket);
        }
        else
        {
            kept.push_back(lingering[i]);
        }
    }
    lingering.swap(kept);
}

} // namespace velkordevice

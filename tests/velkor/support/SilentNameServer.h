#pragma once

#include <atomic>
#include <thread>

namespace velkortest
{

// A name server on 127.0.0.1:53 (UDP) that never answers, counting the queries it gets, so a
// test can see that a lookup really waits on it.
class SilentNameServer
{
public:
    SilentNameServer();
    ~SilentNameServer();
    SilentNameServer(const SilentNameServer&) = delete;
    SilentNameServer& operator=(const SilentNameServer&) = delete;

    bool ready() const { return m_socket >= 0; }
    int queries() const { return m_queries.load(); }
    // Whether more than `count` queries came, within 10 s.
    bool waitForMoreThan(int count) const;

private:
    void receive();

    int m_socket = -1;
    std::atomic<int> m_queries{0};
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};

} // namespace velkortest

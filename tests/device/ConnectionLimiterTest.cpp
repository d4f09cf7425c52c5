#include "device/ConnectionLimiter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>

namespace velkordevice
{

namespace
{

using namespace std::chrono_literals;

TEST(ConnectionLimiterTest, JobsBeyondTheLimitRunMarkedAsRejected)
{
    ConnectionLimiter limiter(2);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::promise<bool> a, b, c;

    auto job = [released](std::promise<bool>& flag)
    {
        return [&flag, released]
        {
            flag.set_value(ConnectionLimiter::rejectingThisThread());
            released.wait();
        };
    };
    limiter.enqueue(job(a));
    limiter.enqueue(job(b));
    limiter.enqueue(job(c));
    EXPECT_FALSE(a.get_future().get());
    EXPECT_FALSE(b.get_future().get());
    EXPECT_TRUE(c.get_future().get());
    EXPECT_EQ(limiter.active(), 2u);

    release.set_value();
    // Once the held jobs end, a new one is served normally again.
    std::promise<bool> d;
    for (int i = 0; i < 500 && limiter.active() != 0; ++i)
    {
        std::this_thread::sleep_for(10ms);
    }
    limiter.enqueue([&d] { d.set_value(ConnectionLimiter::rejectingThisThread()); });
    EXPECT_FALSE(d.get_future().get());
    limiter.shutdown();
}

TEST(ConnectionLimiterTest, ShutdownStillRunsQueuedJobs)
{
    std::atomic<int> ran = 0;
    {
        ConnectionLimiter limiter(1, 1);
        for (int i = 0; i < 4; ++i)
        {
            limiter.enqueue([&ran] { ++ran; });
        }
        limiter.shutdown();
    }
    EXPECT_EQ(ran, 4);
}

} // namespace

} // namespace velkordevice

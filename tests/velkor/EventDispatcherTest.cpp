#include "EventDispatcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using velkor::EventDispatcher;

namespace
{

class CountingListener : public IAppListener
{
public:
    void OnDevStatus(int32_t, int32_t) override { ++calls; }
    std::atomic<int> calls{0};
};

} // namespace

TEST(EventDispatcher, DeliversEachEventOnceToEachListener)
{
    EventDispatcher dispatcher;
    CountingListener first;
    CountingListener second;
    EXPECT_TRUE(dispatcher.addListener(&first));
    EXPECT_FALSE(dispatcher.addListener(&first));
    EXPECT_TRUE(dispatcher.addListener(&second));
    for (int i = 0; i < 5; ++i)
    {
        dispatcher.post([](IAppListener& listener) { listener.OnDevStatus(0, 1); });
    }
    dispatcher.flush();
    EXPECT_EQ(first.calls, 5);
    EXPECT_EQ(second.calls, 5);
}

TEST(EventDispatcher, DeliversOnItsOwnThreadInOrder)
{
    EventDispatcher dispatcher;
    std::vector<int> order;
    std::atomic<bool> onOwnThread{true};
    for (int i = 0; i < 50; ++i)
    {
        dispatcher.postTask(
            [&, i]
            {
                order.push_back(i);
                if (!dispatcher.isDispatcherThread())
                {
                    onOwnThread = false;
                }
            });
    }
    dispatcher.flush();
    ASSERT_EQ(order.size(), 50U);
    for (int i = 0; i < 50; ++i)
    {
        EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
    }
    EXPECT_TRUE(onOwnThread);
}

TEST(EventDispatcher, ListenersMayCallBackIntoIt)
{
    EventDispatcher dispatcher;
    std::atomic<int> nested{0};
    dispatcher.postTask(
        [&]
        {
            CountingListener* late = new CountingListener;
            dispatcher.addListener(late);
            dispatcher.postTask([&] { ++nested; });
            dispatcher.flush();
            dispatcher.clearListeners();
            delete late;
            ++nested;
        });
    dispatcher.flush();
    dispatcher.flush();
    EXPECT_EQ(nested, 2);
}

TEST(EventDispatcher, DropsEventsBeyondItsCapacity)
{
    EventDispatcher dispatcher(4);
    std::atomic<bool> release{false};
    std::atomic<int> ran{0};
    dispatcher.postTask(
        [&]
        {
            while (!release)
            {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    int accepted = 0;
    for (int i = 0; i < 100; ++i)
    {
        accepted += dispatcher.postTask([&] { ++ran; }) ? 1 : 0;
    }
    release = true;
    dispatcher.flush();
    EXPECT_LE(accepted, 5);
    EXPECT_EQ(ran, accepted);
    EXPECT_EQ(dispatcher.droppedCount(), static_cast<std::size_t>(100 - accepted));
}

TEST(EventDispatcher, ClearingWaitsForARunningDelivery)
{
    EventDispatcher dispatcher;
    std::atomic<bool> inside{false};
    std::atomic<bool> finished{false};
    class SlowListener : public IAppListener
    {
    public:
        SlowListener(std::atomic<bool>& in, std::atomic<bool>& done) : m_in(in), m_done(done) {}
        void OnDevStatus(int32_t, int32_t) override
        {
            m_in = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            m_done = true;
        }

    private:
        std::atomic<bool>& m_in;
        std::atomic<bool>& m_done;
    } slow(inside, finished);
    dispatcher.addListener(&slow);
    dispatcher.post([](IAppListener& l) { l.OnDevStatus(0, 0); });
    while (!inside)
    {
        std::this_thread::yield();
    }
    dispatcher.clearListeners();
    EXPECT_TRUE(finished);
    dispatcher.post([](IAppListener& l) { l.OnDevStatus(0, 0); });
    dispatcher.flush();
}

TEST(EventDispatcher, ShutdownDropsWhatIsQueued)
{
    EventDispatcher dispatcher;
    std::atomic<int> ran{0};
    dispatcher.shutdown();
    EXPECT_FALSE(dispatcher.postTask([&] { ++ran; }));
    EXPECT_EQ(ran, 0);
}

#include "velkor/report/EventDispatcher.h"

#include "velkor/report/LiveReporter.h"
#include "velkor/report/PlayCallbacks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <iterator>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using velkor::EventDispatcher;

namespace
{

class CountingListener : public IAppListener
{
public:
    void OnDevStatus(int32_t, int32_t) override { ++calls; }
    std::atomic<int> calls{0};
};

// Keeps what it hears, in order: statuses, errors and picture sizes as lines, alarms counted.
class Recorder : public IAppListener
{
public:
    void OnError(int32_t code, const char* text) override
    {
        log.push_back("error " + std::to_string(code) + " " + text);
    }
    void OnDevStatus(int32_t channel, int32_t status) override
    {
        log.push_back("dev " + std::to_string(channel) + " " + std::to_string(status));
    }
    void OnAlmStatus(int32_t, int32_t, const char*, int32_t) override { ++alarms; }
    void OnImage(int32_t, int32_t packedSize, int32_t) override
    {
        log.push_back("image " + std::to_string(packedSize));
    }
    std::vector<std::string> log;
    int alarms = 0;
};

// Holds the dispatcher thread, with an empty queue, until opened.
class Gate
{
public:
    explicit Gate(EventDispatcher& dispatcher)
    {
        dispatcher.postTask(
            [this]
            {
                std::unique_lock lock(m_mutex);
                m_entered = true;
                m_changed.notify_all();
                m_changed.wait(lock, [this] { return m_open; });
            });
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_entered; });
    }
    void open()
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
};

auto status(int32_t channel, int32_t value)
{
    return [channel, value](IAppListener& listener) { listener.OnDevStatus(channel, value); };
}

void raiseAlarm(IAppListener& listener)
{
    listener.OnAlmStatus(1, 1, "", 1);
}

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

TEST(EventDispatcher, UnderPressureDropsAlarmsMergesStatesAndKeepsTheRest)
{
    Recorder recorder;
    EventDispatcher dispatcher(4);
    dispatcher.addListener(&recorder);
    Gate gate(dispatcher);
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_TRUE(dispatcher.postDroppable(raiseAlarm));
    }
    EXPECT_FALSE(dispatcher.postDroppable(raiseAlarm));
    EXPECT_TRUE(dispatcher.postState(7, status(7, 1)));
    EXPECT_TRUE(dispatcher.postState(7, status(7, 0)));
    EXPECT_TRUE(dispatcher.postState(8, status(8, 1)));
    EXPECT_TRUE(dispatcher.post(status(0, 0)));
    gate.open();
    dispatcher.flush();

    EXPECT_EQ(recorder.alarms, 4);
    // Channel 7's first status gave way to its second; nothing that changes state was lost, and
    // the listeners heard how much was.
    std::vector<std::string> statuses;
    std::vector<std::string> reports;
    for (const std::string& line : recorder.log)
    {
        (line.rfind("error -55 ", 0) == 0 ? reports : statuses).push_back(line);
    }
    EXPECT_EQ(statuses, (std::vector<std::string>{"dev 7 0", "dev 8 1", "dev 0 0"}));
    ASSERT_EQ(reports.size(), 1U);
    EXPECT_NE(reports[0].find(": 2 "), std::string::npos) << reports[0];
    EXPECT_EQ(dispatcher.droppedCount(), 2U);
}

TEST(EventDispatcher, UnderPressureNothingOvertakesWhatWasQueuedBeforeIt)
{
    Recorder recorder;
    EventDispatcher dispatcher(4);
    dispatcher.addListener(&recorder);
    Gate gate(dispatcher);
    // A channel of the old session, the session lost, a new one, and the new one's channel.
    dispatcher.postState(7, status(7, 1));
    dispatcher.post(status(0, 0));
    dispatcher.post(status(0, 1));
    dispatcher.postDroppable(raiseAlarm);
    dispatcher.postState(7, status(7, 0));
    gate.open();
    dispatcher.flush();

    ASSERT_EQ(recorder.log.size(), 4U);
    EXPECT_EQ(std::vector<std::string>(recorder.log.begin(), recorder.log.begin() + 3),
              (std::vector<std::string>{"dev 0 0", "dev 0 1", "dev 7 0"}));
    EXPECT_EQ(recorder.log[3].rfind("error -55 ", 0), 0U) << recorder.log[3];
}

TEST(LiveReporter, UnderPressurePictureSizesAreMergedLikeStatuses)
{
    Recorder recorder;
    EventDispatcher dispatcher(4);
    dispatcher.addListener(&recorder);
    velkor::PlayCallbacks callbacks;
    velkor::LiveReporter reporter(dispatcher, 1, callbacks);
    Gate gate(dispatcher);
    for (int flip = 0; flip < 100; ++flip)
    {
        reporter.onPictureSize(flip % 2 == 0 ? 640 : 320, flip % 2 == 0 ? 480 : 240, 1000);
    }
    reporter.onPictureSize(800, 600, 1000);
    gate.open();
    dispatcher.flush();

    std::vector<std::string> sizes;
    std::copy_if(recorder.log.begin(), recorder.log.end(), std::back_inserter(sizes),
                 [](const std::string& line) { return line.rfind("image ", 0) == 0; });
    EXPECT_LE(sizes.size(), 4U);
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(sizes.back(), "image " + std::to_string(800 * 65536 + 600));
}

TEST(EventDispatcher, AListenerThatThrowsLosesOnlyThatDelivery)
{
    class Throwing : public IAppListener
    {
    public:
        void OnDevStatus(int32_t, int32_t) override { throw std::runtime_error("listener bug"); }
    } throwing;
    CountingListener counting;
    EventDispatcher dispatcher;
    dispatcher.addListener(&throwing);
    dispatcher.addListener(&counting);
    dispatcher.post([](IAppListener& listener) { listener.OnDevStatus(0, 1); },
                    [] { throw std::bad_alloc(); });
    dispatcher.post([](IAppListener& listener) { listener.OnDevStatus(0, 2); });
    dispatcher.flush();
    EXPECT_EQ(counting.calls, 2);
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

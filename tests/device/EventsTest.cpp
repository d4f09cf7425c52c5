#include "device/AlarmSchedule.h"
#include "device/EventBus.h"

#include <gtest/gtest.h>

#include <regex>
#include <thread>

namespace velkordevice
{

namespace
{

using namespace std::chrono_literals;

TEST(EventBusTest, ReadersSeeOnlyEventsAfterTheirPosition)
{
    EventBus bus;
    bus.publish("channel", "channel=1 status=1");
    uint64_t position = bus.latestSequence();
    bus.publish("record", "channel=2 status=1");
    auto events = bus.waitAfter(position, 0ms);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], "event: record\ndata: channel=2 status=1\n\n");
    EXPECT_TRUE(bus.waitAfter(position, 0ms).empty());
}

TEST(EventBusTest, SlowReaderLosesTheOldestEventsOnly)
{
    EventBus bus(3);
    uint64_t position = 0;
    for (int i = 1; i <= 10; ++i)
    {
        bus.publish("alarm", "n=" + std::to_string(i));
    }
    auto events = bus.waitAfter(position, 0ms);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_NE(events[0].find("n=8"), std::string::npos);
    EXPECT_NE(events[2].find("n=10"), std::string::npos);
    EXPECT_EQ(position, 10u);
}

TEST(EventBusTest, PublishWakesAWaiterAndShutdownReleasesIt)
{
    EventBus bus;
    uint64_t position = 0;
    std::thread publisher([&] { bus.publish("alarm", "x=1"); });
    auto events = bus.waitAfter(position, 10s);
    publisher.join();
    EXPECT_EQ(events.size(), 1u);

    std::thread stopper([&] { bus.shutdown(); });
    EXPECT_TRUE(bus.waitAfter(position, 10s).empty());
    stopper.join();
    EXPECT_TRUE(bus.isShutDown());
}

TEST(AlarmScheduleTest, AlarmsRotateOverChannelsAndRecordingFollows)
{
    EventBus bus;
    AlarmSchedule alarms(bus, 2, 0ms);
    uint64_t position = 0;
    alarms.fire();
    alarms.fire();
    alarms.fire();
    const auto events = bus.waitAfter(position, 0ms);
    const std::regex alarm(R"(event: alarm\ndata: channel=(\d) type=1 status=1 )"
                           R"(time=\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}\n\n)");
    ASSERT_EQ(events.size(), 8u);
    std::smatch match;
    ASSERT_TRUE(std::regex_match(events[0], match, alarm)) << events[0];
    EXPECT_EQ(match[1], "1");
    EXPECT_EQ(events[1], "event: record\ndata: channel=1 status=1\n\n");
    EXPECT_EQ(events[2], "event: record\ndata: channel=1 status=0\n\n");
    ASSERT_TRUE(std::regex_match(events[3], match, alarm)) << events[3];
    EXPECT_EQ(match[1], "2");
    EXPECT_EQ(events[4], "event: record\ndata: channel=2 status=1\n\n");
    EXPECT_EQ(events[5], "event: record\ndata: channel=2 status=0\n\n");
    ASSERT_TRUE(std::regex_match(events[6], match, alarm)) << events[6];
    EXPECT_EQ(match[1], "1");
}

} // namespace

} // namespace velkordevice

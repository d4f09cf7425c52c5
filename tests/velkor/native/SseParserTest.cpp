#include "velkor/native/SseParser.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using velkor::SseParser;

namespace
{

using Events = std::vector<std::pair<std::string, std::string>>;

SseParser makeParser(Events& events, std::size_t maxLine = 8192, std::size_t maxData = 65536)
{
    return SseParser([&events](std::string_view type, std::string_view data)
                     { events.emplace_back(type, data); },
                     maxLine, maxData);
}

} // namespace

TEST(SseParser, ReadsEventsWhateverTheSplitAndLineEnds)
{
    const std::string stream =
        "\xEF\xBB\xBF: keepalive\n\n"
        "event: alarm\ndata: channel=1 type=2 status=1 time=2024-01-02T03:04:05.006\n\n"
        "event:record\r\ndata:channel=2 status=0\r\n\r\n"
        "event: channel\rdata: channel=1\rdata: status=1\r\r"
        "data: no type\nid: 7\nretry: 100\nunknownfield\n\n"
        "event: dropped without data\n\n"
        ": comment\n\n";
    for (std::size_t split = 0; split <= stream.size(); ++split)
    {
        Events events;
        SseParser parser = makeParser(events);
        ASSERT_TRUE(parser.feed(stream.data(), split));
        ASSERT_TRUE(parser.feed(stream.data() + split, stream.size() - split));
        ASSERT_EQ(events.size(), 4U) << "split at " << split;
        EXPECT_EQ(
            events[0],
            std::make_pair(std::string("alarm"),
                           std::string("channel=1 type=2 status=1 time=2024-01-02T03:04:05.006")));
        EXPECT_EQ(events[1],
                  std::make_pair(std::string("record"), std::string("channel=2 status=0")));
        EXPECT_EQ(events[2],
                  std::make_pair(std::string("channel"), std::string("channel=1\nstatus=1")));
        EXPECT_EQ(events[3], std::make_pair(std::string("message"), std::string("no type")));
    }
}

TEST(SseParser, HoldsAnUnfinishedEventBack)
{
    Events events;
    SseParser parser = makeParser(events);
    const std::string partial = "event: record\ndata: channel=1 status=1\n";
    ASSERT_TRUE(parser.feed(partial.data(), partial.size()));
    EXPECT_TRUE(events.empty());
    ASSERT_TRUE(parser.feed("\n", 1));
    EXPECT_EQ(events.size(), 1U);
}

TEST(SseParser, RefusesOverlongLinesAndData)
{
    {
        Events events;
        SseParser parser = makeParser(events, 64, 1024);
        const std::string line = "data: " + std::string(100, 'x');
        EXPECT_FALSE(parser.feed(line.data(), line.size()));
        EXPECT_TRUE(parser.failed());
        EXPECT_FALSE(parser.feed("\n\n", 2));
        EXPECT_TRUE(events.empty());
    }
    {
        Events events;
        SseParser parser = makeParser(events, 64, 100);
        std::string stream;
        for (int i = 0; i < 10; ++i)
        {
            stream += "data: " + std::string(20, 'y') + "\n";
        }
        EXPECT_FALSE(parser.feed(stream.data(), stream.size()));
        EXPECT_TRUE(events.empty());
    }
}

TEST(SseParser, SurvivesGarbage)
{
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 200; ++round)
    {
        Events events;
        SseParser parser = makeParser(events, 256, 1024);
        std::string garbage(4096, '\0');
        for (char& c : garbage)
        {
            c = static_cast<char>(byte(random));
        }
        parser.feed(garbage.data(), garbage.size());
        for (const auto& [type, data] : events)
        {
            EXPECT_LE(data.size(), 1024U);
        }
    }
}

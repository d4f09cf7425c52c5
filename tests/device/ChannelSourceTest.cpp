#include "ChannelSource.h"

#include "JpegProbe.h"

#include <gtest/gtest.h>

#include <thread>

namespace velkordevice
{

namespace
{

using namespace std::chrono_literals;

TEST(ChannelSourceTest, ReadersOfAWidthShareEachFrame)
{
    ChannelSource source(1, 50);
    source.start();
    source.addReader(320);
    source.addReader(320);
    auto first = source.waitForFrame(320, 0, 5s);
    ASSERT_TRUE(first);
    EXPECT_EQ(source.waitForFrame(320, first->number, 0ms), first)
        << "both readers get the very same encoded frame";
    auto next = source.waitForFrame(320, first->number + 1, 5s);
    ASSERT_TRUE(next);
    EXPECT_GT(next->number, first->number);
    const auto info = JpegProbe::decode(next->jpeg);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->width, 320);
}

TEST(ChannelSourceTest, OnlyWidthsWithReadersAreProduced)
{
    ChannelSource source(2, 50);
    source.start();
    source.addReader(640);
    ASSERT_TRUE(source.waitForFrame(640, 0, 5s));
    EXPECT_FALSE(source.waitForFrame(320, 0, 100ms));
    source.removeReader(640);
    EXPECT_FALSE(source.waitForFrame(640, 0, 0ms)) << "the last reader's frame is released";
}

TEST(ChannelSourceTest, StopReleasesWaitingReaders)
{
    ChannelSource source(3, 1);
    source.start();
    source.addReader(320);
    ASSERT_TRUE(source.waitForFrame(320, 0, 5s));
    std::thread stopper([&] { source.stop(); });
    EXPECT_FALSE(source.waitForFrame(320, 1'000'000, 30s));
    stopper.join();
    EXPECT_TRUE(source.stopped());
}

} // namespace

} // namespace velkordevice

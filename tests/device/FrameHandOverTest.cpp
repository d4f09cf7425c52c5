#include "device/FrameHandOver.h"

#include "device/FrameRateWatch.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace velkordevice
{

namespace
{

using namespace std::chrono_literals;

std::shared_ptr<const EncodedFrame> frame(std::uint64_t number, bool keyframe)
{
    auto made = std::make_shared<EncodedFrame>();
    made->number = number;
    made->keyframe = keyframe;
    return made;
}

// Publishes frames numbered from `first`; keyframes where `pattern` has a 'K'.
void publish(FrameHandOver& handOver, std::uint64_t first, const std::string& pattern)
{
    for (std::size_t i = 0; i < pattern.size(); ++i)
    {
        handOver.publish(frame(first + i, pattern[i] == 'K'));
    }
}

std::optional<std::uint64_t> take(FrameHandOver& handOver, FrameHandOver::Cursor& cursor)
{
    auto next = handOver.next(cursor, 0ms);
    return next ? std::optional<std::uint64_t>(next->number) : std::nullopt;
}

TEST(FrameHandOverTest, NewReaderStartsAtAKeyframeAndAsksForOneIfNeeded)
{
    FrameHandOver handOver(8);
    publish(handOver, 0, "KPP");
    EXPECT_FALSE(handOver.takeKeyframeRequest());
    auto cursor = handOver.join();
    EXPECT_TRUE(handOver.takeKeyframeRequest()) << "the newest frame is no keyframe";
    EXPECT_FALSE(handOver.takeKeyframeRequest()) << "asked once";
    EXPECT_EQ(take(handOver, cursor), std::nullopt) << "no frame from before the join";
    publish(handOver, 3, "P");
    EXPECT_EQ(take(handOver, cursor), std::nullopt);
    publish(handOver, 4, "KP");
    EXPECT_EQ(take(handOver, cursor), 4u);
    EXPECT_EQ(take(handOver, cursor), 5u);
    EXPECT_EQ(take(handOver, cursor), std::nullopt);

    // Joining right after a keyframe starts at it, with no request.
    publish(handOver, 6, "K");
    auto late = handOver.join();
    EXPECT_FALSE(handOver.takeKeyframeRequest());
    EXPECT_EQ(take(handOver, late), 6u);
}

TEST(FrameHandOverTest, LaggingReaderTakesFramesInOrderAndJumpsToNewerKeyframes)
{
    FrameHandOver handOver(8);
    auto cursor = handOver.join();
    publish(handOver, 10, "KPPP");
    EXPECT_EQ(take(handOver, cursor), 10u);
    EXPECT_EQ(take(handOver, cursor), 11u);
    publish(handOver, 14, "PKPP");
    // 12 and 13 are skipped: the keyframe 15 needs none of them.
    EXPECT_EQ(take(handOver, cursor), 15u);
    EXPECT_EQ(take(handOver, cursor), 16u);
    EXPECT_EQ(take(handOver, cursor), 17u);
    EXPECT_EQ(take(handOver, cursor), std::nullopt);
}

TEST(FrameHandOverTest, ReaderFallenBeyondTheBacklogWaitsForTheNextKeyframe)
{
    FrameHandOver handOver(4);
    auto cursor = handOver.join();
    publish(handOver, 0, "KP");
    EXPECT_EQ(take(handOver, cursor), 0u);
    publish(handOver, 2, "PPPPP"); // 2 falls out of the backlog
    EXPECT_EQ(take(handOver, cursor), std::nullopt);
    publish(handOver, 7, "P");
    EXPECT_EQ(take(handOver, cursor), std::nullopt) << "still no keyframe";
    publish(handOver, 8, "KP");
    EXPECT_EQ(take(handOver, cursor), 8u);
    EXPECT_EQ(take(handOver, cursor), 9u);
}

TEST(FrameHandOverTest, AllKeyframesMeansTheNewestFrame)
{
    FrameHandOver handOver(1);
    publish(handOver, 0, "KK");
    auto cursor = handOver.join();
    EXPECT_EQ(take(handOver, cursor), 1u);
    publish(handOver, 2, "KKK");
    EXPECT_EQ(take(handOver, cursor), 4u);
}

TEST(FrameHandOverTest, CloseWakesAWaitingReader)
{
    FrameHandOver handOver(4);
    auto cursor = handOver.join();
    std::thread closer([&] { handOver.close(); });
    EXPECT_EQ(handOver.next(cursor, 30s), nullptr);
    closer.join();
    EXPECT_TRUE(handOver.closed());
}

TEST(FrameRateWatchTest, ReportsWhenShortThenRepeatsRarelyAndOnceWhenBack)
{
    using Clock = FrameRateWatch::Clock;
    FrameRateWatch watch(25, std::chrono::seconds(1), 3);
    Clock::time_point now{};
    // The reports of `pictures` pictures `step` apart.
    auto run = [&](int pictures, Clock::duration step)
    {
        std::vector<FrameRateWatch::Report> reports;
        for (int i = 0; i < pictures; ++i)
        {
            now += step;
            if (auto report = watch.pictureDone(now))
            {
                reports.push_back(*report);
            }
        }
        return reports;
    };
    EXPECT_TRUE(run(60, 40ms).empty()) << "at the target rate nothing is said";
    // Seven windows at 10 fps: said in the first, then every third.
    const auto slow = run(70, 100ms);
    ASSERT_EQ(slow.size(), 3u);
    EXPECT_TRUE(slow.back().shortOfTarget);
    EXPECT_NEAR(slow.back().framesPerSecond, 10.0, 0.5);
    const auto back = run(100, 40ms);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_FALSE(back.front().shortOfTarget);
    EXPECT_NEAR(back.front().framesPerSecond, 25.0, 0.5);
}

} // namespace

} // namespace velkordevice

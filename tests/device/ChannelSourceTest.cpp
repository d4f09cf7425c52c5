#include "device/ChannelSource.h"

#include "device/FrameHandOver.h"
#include "tests/device/AccessUnitProbe.h"
#include "tests/device/JpegProbe.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace velkordevice
{

namespace
{

using namespace std::chrono_literals;

// A reader that joins now gets first a picture that starts a decodable stream.
void expectJoinAtAKeyframe(FrameHandOver& frames, StreamFormat format)
{
    auto cursor = frames.join();
    auto first = frames.next(cursor, 10s);
    ASSERT_TRUE(first);
    EXPECT_TRUE(AccessUnitProbe::startsStream(format, first->data));
}

TEST(ChannelSourceTest, EachStreamIsEncodedOnceForAllItsReadersAndOnlyWhileRead)
{
    ChannelSource source(1, 50, LoopMode::Never, 60s);
    source.start();
    const StreamKey h264{StreamFormat::H264, 320};
    const StreamKey jpeg{StreamFormat::Jpeg, 320};
    auto first = source.addReader(h264);
    auto second = source.addReader(h264);
    EXPECT_EQ(first, second);
    auto pictures = source.addReader(jpeg);
    EXPECT_EQ(source.activeStreams(), 2u);

    auto cursorA = first->join();
    auto cursorB = second->join();
    auto a = first->next(cursorA, 10s);
    ASSERT_TRUE(a);
    EXPECT_EQ(second->next(cursorB, 10s), a) << "both readers get the very same encoded frame";
    EXPECT_TRUE(a->keyframe);
    EXPECT_TRUE(AccessUnitProbe::startsStream(StreamFormat::H264, a->data));

    auto pictureCursor = pictures->join();
    auto picture = pictures->next(pictureCursor, 10s);
    ASSERT_TRUE(picture);
    const auto info = JpegProbe::decode(picture->data);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->width, 320);

    const auto pausedAt = std::chrono::system_clock::now();
    source.removeReader(h264);
    EXPECT_EQ(source.activeStreams(), 2u) << "one reader is left";
    source.removeReader(h264);
    source.removeReader(jpeg);
    EXPECT_EQ(source.activeStreams(), 0u);
    EXPECT_FALSE(first->closed()) << "the encoder is kept a while for the next reader";

    auto again = source.addReader(h264);
    EXPECT_EQ(again, first) << "the kept encoder serves the reader that comes back";
    auto cursor = again->join();
    auto resumed = again->next(cursor, 10s);
    ASSERT_TRUE(resumed);
    EXPECT_TRUE(resumed->keyframe);
    EXPECT_GE(
        resumed->encodedAtMicros,
        std::chrono::duration_cast<std::chrono::microseconds>(pausedAt.time_since_epoch()).count())
        << "nothing made before the pause is handed out after it";
    source.removeReader(h264);
}

TEST(ChannelSourceTest, AnEncoderWithoutReadersIsReleasedAfterTheKeepTime)
{
    ChannelSource source(4, 25, LoopMode::Never, 100ms);
    source.start();
    const StreamKey key{StreamFormat::H265, 320};
    auto first = source.addReader(key);
    auto cursor = first->join();
    ASSERT_TRUE(first->next(cursor, 10s));
    source.removeReader(key);
    // Only the release closes it; the patience is for a busy machine.
    EXPECT_FALSE(first->next(cursor, 30s));
    EXPECT_TRUE(first->closed());

    auto second = source.addReader(key);
    EXPECT_NE(second, first);
    expectJoinAtAKeyframe(*second, StreamFormat::H265);
    source.removeReader(key);
}

// Played over and over: every picture of the loop in turn, with fresh numbers and times.
TEST(ChannelSourceTest, ALoopedStreamRepeatsItsPicturesWithFreshStamps)
{
    constexpr int kFps = 10;
    constexpr std::size_t kLoop = std::size_t{2} * kFps;
    ChannelSource source(5, kFps, LoopMode::Always);
    source.start();
    const StreamKey key{StreamFormat::H264, 320};
    auto frames = source.addReader(key);
    auto cursor = frames->join();
    std::vector<std::shared_ptr<const EncodedFrame>> got;
    while (got.size() < 2 * kLoop + kFps / 2)
    {
        auto frame = frames->next(cursor, 10s);
        ASSERT_TRUE(frame) << got.size();
        got.push_back(frame);
    }
    EXPECT_TRUE(got.front()->keyframe);
    for (std::size_t i = 0; i + kLoop < got.size(); ++i)
    {
        EXPECT_EQ(got[i + kLoop]->data, got[i]->data) << i;
        EXPECT_GT(got[i + kLoop]->number, got[i]->number) << i;
        EXPECT_GT(got[i + 1]->encodedAtMicros, got[i]->encodedAtMicros) << i;
    }

    expectJoinAtAKeyframe(*frames, StreamFormat::H264);
    source.removeReader(key);
}

// A reader that stops taking frames for longer than the backlog resumes at a keyframe.
TEST(ChannelSourceTest, SlowReaderResumesAtAKeyframe)
{
    ChannelSource source(2, 50);
    source.start();
    const StreamKey key{StreamFormat::H265, 320};
    auto frames = source.addReader(key);
    source.addReader(key);
    auto fast = frames->join();
    auto slow = frames->join();
    std::shared_ptr<const EncodedFrame> slowLast;
    for (int i = 0; i < 3; ++i)
    {
        slowLast = frames->next(slow, 10s);
        ASSERT_TRUE(slowLast);
    }
    ASSERT_FALSE(slowLast->keyframe) << "the slow reader stops between keyframes";

    // Fifty frames are twice the backlog at 50 fps.
    int passed = 0;
    while (passed < 50)
    {
        auto next = frames->next(fast, 10s);
        ASSERT_TRUE(next);
        passed += next->number > slowLast->number ? 1 : 0;
    }

    auto resumed = frames->next(slow, 10s);
    ASSERT_TRUE(resumed);
    EXPECT_GT(resumed->number, slowLast->number + 1);
    EXPECT_TRUE(resumed->keyframe);
    EXPECT_TRUE(AccessUnitProbe::startsStream(StreamFormat::H265, resumed->data));
    source.removeReader(key);
    source.removeReader(key);
}

TEST(ChannelSourceTest, StopReleasesWaitingReaders)
{
    ChannelSource source(3, 1);
    source.start();
    auto frames = source.addReader({StreamFormat::Jpeg, 320});
    auto cursor = frames->join();
    ASSERT_TRUE(frames->next(cursor, 5s));
    std::thread stopper([&] { source.stop(); });
    EXPECT_FALSE(frames->next(cursor, 30s));
    stopper.join();
    EXPECT_TRUE(source.stopped());
    EXPECT_TRUE(source.addReader({StreamFormat::H264, 320})->closed());
}

} // namespace

} // namespace velkordevice

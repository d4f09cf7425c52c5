#include "velkor/decode/CaptureClock.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

using velkor::CaptureClock;

namespace
{

constexpr std::int64_t kTakenAtZero = 1'700'000'000'000'000;
constexpr double kMicrosecondsPerTick = 1e6 / 90000;
constexpr std::int64_t kPicture = 3600;

std::int64_t takenAt(std::int64_t pts)
{
    return kTakenAtZero +
           static_cast<std::int64_t>(static_cast<double>(pts) * kMicrosecondsPerTick);
}

} // namespace

TEST(CaptureClock, PicturesReorderedByTheDecoderKeepTheirOwnCaptureTime)
{
    // I P B B P B B in the order sent; libavformat's parser hands each picture on with the stamp
    // of the next one's first packet, and the first reports come only after two pictures.
    const std::vector<std::int64_t> sent{0, 3, 1, 2, 6, 4, 5, 9, 7, 8};
    CaptureClock clock(kMicrosecondsPerTick, true);
    for (std::size_t i = 0; i < sent.size(); ++i)
    {
        const std::optional<std::int64_t> stamp =
            i + 1 < sent.size() && i >= 2 ? std::optional(takenAt(sent[i + 1] * kPicture))
                                          : std::nullopt;
        clock.packet(sent[i] * kPicture, stamp);
        if (i <= 2)
        {
            EXPECT_FALSE(clock.capturedAt(sent[i] * kPicture)) << "no report yet, picture " << i;
        }
    }
    for (std::int64_t shown = 0; shown <= 8; ++shown)
    {
        EXPECT_EQ(clock.capturedAt(shown * kPicture), takenAt(shown * kPicture)) << shown;
    }
    EXPECT_FALSE(clock.capturedAt(std::nullopt));

    // A whole picture per packet (JPEG): each stamp is its own packet's.
    CaptureClock own(kMicrosecondsPerTick, false);
    own.packet(4 * kPicture, takenAt(4 * kPicture));
    EXPECT_EQ(own.capturedAt(4 * kPicture), takenAt(4 * kPicture));
    EXPECT_EQ(own.capturedAt(5 * kPicture), takenAt(5 * kPicture));
}

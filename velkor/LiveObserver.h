#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace velkor
{

// What became of one part of a live stream.
struct PartOutcome
{
    enum class Result
    {
        // Dropped unseen while waiting for a keyframe.
        Skipped,
        Undecodable,
        Decoded,
        Drawn
    };

    Result result = Result::Skipped;
    std::optional<std::uint64_t> frameNumber;
    // When the device finished the picture, microseconds since the Unix epoch.
    std::optional<std::int64_t> timestamp;
};

// What a live stream reports, from its own thread.
class LiveObserver
{
public:
    virtual ~LiveObserver() = default;
    // The device accepted the stream.
    virtual void onPlaying() = 0;
    // The first picture, and each one whose size differs from the one before.
    virtual void onPictureSize(int width, int height, std::size_t bytes) = 0;
    // A picture that could not be decoded; the stream goes on.
    virtual void onFrameError(int32_t code, const std::string& description) = 0;
    // Every part, once handled; for measuring.
    virtual void onPartDone(const PartOutcome& outcome) = 0;
    // The stream is over: Ok when it was stopped, else the ResultCode of why it ended.
    virtual void onEnded(int32_t code, const std::string& description) = 0;

protected:
    LiveObserver() = default;
    LiveObserver(const LiveObserver&) = default;
    LiveObserver& operator=(const LiveObserver&) = default;
};

} // namespace velkor

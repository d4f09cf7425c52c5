#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace velkor
{

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
    // The stream is over: Ok when it was stopped, else the ResultCode of why it ended.
    virtual void onEnded(int32_t code, const std::string& description) = 0;

protected:
    LiveObserver() = default;
    LiveObserver(const LiveObserver&) = default;
    LiveObserver& operator=(const LiveObserver&) = default;
};

} // namespace velkor

#pragma once

#include "device/BodySink.h"
#include "device/EncodedFrame.h"
#include "device/FrameHandOver.h"
#include "device/StreamKey.h"

#include <memory>
#include <string>

namespace velkordevice
{

class ChannelSource;

// One reader of /velkor/live: registered with its channel for as long as it exists, it sends
// the frames the hand-over gives it each time the socket has taken the previous one, so a slow
// reader skips frames (and, between keyframes, waits for the next one).
class LiveStream
{
public:
    enum class Framing
    {
        // Each frame a part of a multipart/x-mixed-replace body, with its own headers.
        Multipart,
        // The bare elementary stream, as standard tools read it.
        Raw
    };

    static constexpr const char* kBoundary = "velkorframe";

    LiveStream(std::shared_ptr<ChannelSource> source, StreamKey key, Framing framing);
    ~LiveStream();
    LiveStream(const LiveStream&) = delete;
    LiveStream& operator=(const LiveStream&) = delete;

    // Writes at most one frame; false ends the response.
    bool pump(BodySink& sink);

    std::string contentType() const;
    static std::string partHeader(StreamFormat format, const EncodedFrame& frame);

private:
    std::shared_ptr<ChannelSource> m_source;
    StreamKey m_key;
    Framing m_framing;
    std::shared_ptr<FrameHandOver> m_frames;
    FrameHandOver::Cursor m_cursor;
};

} // namespace velkordevice

#pragma once

#include "velkor/decode/StreamFormats.h"

#include <cstdint>

namespace velkor
{

// Where one channel's live pictures come from while it plays: the device's own stream, or any
// other kind of source. A source is made with the PictureSink its pictures go to and the
// LiveObserver it reports to: onEnded(StreamLost) tells live play that it was lost and is worth
// asking for again once the device answers; any other end ends the play.
class StreamSource
{
public:
    virtual ~StreamSource() = default;

    virtual void start(int32_t channel, StreamChoice choice) = 0;
    // Starts it again after a loss, as the attempt to bring play back; a source that asks the
    // device for its stream asks it once. The observer's onEnded(StreamLost) then says that the
    // attempt failed.
    virtual void startAgain(int32_t channel, StreamChoice choice) { start(channel, choice); }
    // Asks for another stream within the same play; nothing happens when it is the one asked for.
    virtual void retune(StreamChoice choice) = 0;
    // Ends the stream at once; the observer hears onEnded(Ok) unless it ended before.
    virtual void stop() = 0;
    virtual bool running() const = 0;

protected:
    StreamSource() = default;
    StreamSource(const StreamSource&) = default;
    StreamSource& operator=(const StreamSource&) = default;
};

} // namespace velkor

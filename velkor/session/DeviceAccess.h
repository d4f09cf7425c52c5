#pragma once

#include "velkor/native/DeviceInfo.h"
#include "velkor/native/EventStream.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>

namespace velkor
{

class LiveObserver;
class PictureSink;
class StreamSource;

// What asking a device who it is gave: its info, or the code and text Open refuses it with.
struct DeviceAnswer
{
    int32_t code = 0;
    std::string description;
    DeviceInfo info;
    // The peer does not speak this kind's protocol at all, so it is no device of this kind.
    bool foreign = false;
};

// How the library reaches one kind of device: the question that opens a session with it, the
// events it raises by itself, and the source of its live pictures. A session keeps one for its
// whole life; live play and the bringing back of a lost device ask the same one.
class DeviceAccess
{
public:
    virtual ~DeviceAccess() = default;

    // "the device at http://127.0.0.1:18080", for messages.
    virtual std::string name() const = 0;
    // Open's question, also asked while live play waits for a lost device; a stop requested
    // meanwhile ends it at once.
    virtual DeviceAnswer identify(const std::stop_token& stop) const = 0;
    // Follows the events the device raises by itself until the stream is stopped or destroyed;
    // `onEnd` is called once if they end by themselves, which loses the session. Null for a
    // device that raises none.
    virtual std::unique_ptr<EventFollower> followEvents(EventStream::EventHandler onEvent,
                                                        EventStream::EndHandler onEnd) const = 0;
    // A source of the device's live pictures, not started yet.
    virtual std::unique_ptr<StreamSource>
    liveSource(PictureSink& output, std::unique_ptr<LiveObserver> observer) const = 0;
    // Whether the device decides its stream format and picture width itself, so that live play
    // neither asks for the ones set nor follows them.
    virtual bool decidesStream() const { return false; }
    // Why live play of `channel`, which `info` does not list, is refused.
    virtual std::string channelRefusal(int32_t channel, const DeviceInfo& info) const;
    // The interface's code of the format that a device which decides its stream sends, once
    // known, while `address` is still the one it was reached at.
    virtual std::optional<int32_t> decidedFormat(const std::string& /*address*/) const
    {
        return std::nullopt;
    }

protected:
    DeviceAccess() = default;
    DeviceAccess(const DeviceAccess&) = default;
    DeviceAccess& operator=(const DeviceAccess&) = default;
};

} // namespace velkor

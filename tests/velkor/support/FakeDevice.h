#pragma once

#include "tests/velkor/support/LoopbackServer.h"
#include "tests/velkor/support/TestVideo.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velkortest
{

// A device speaking the velkor protocol from inside the test, without authentication, whose
// answers a test can replace to play a broken or hostile device.
class FakeDevice
{
public:
    struct Options
    {
        std::string info = "device=velkor-device\nuid=4242\nchannels=2\n"
                           "formats=jpeg,mpeg4,h264,h265\nversion=2\n";
        // Replaces the whole answer to /velkor/live (status line included) when set.
        std::function<void(LoopbackConnection&)> live;
        // Of the served video: frames in the loop, keyframe interval, and the frame each
        // connection starts at (a keyframe, unless a test wants to join mid-stream).
        int frames = 20;
        int keyframeInterval = 10;
        int startAt = 0;
        // How much earlier than the moment it is sent each part's X-Timestamp says.
        std::chrono::milliseconds timestampsLate{0};
        // May change the bytes of the `sent`th part of a connection before it goes out.
        std::function<void(std::size_t sent, std::string& bytes)> mangle;
        // A keepalive comment on the event stream after each second without events.
        bool keepalive = true;
        std::string eventsContentType = "text/event-stream";
    };

    FakeDevice();
    explicit FakeDevice(Options options);
    ~FakeDevice();
    FakeDevice(const FakeDevice&) = delete;
    FakeDevice& operator=(const FakeDevice&) = delete;

    int port() const { return m_server->port(); }
    // Queues one event-stream event (kind and data) for every event stream client.
    void pushEvent(const std::string& kind, const std::string& data);
    // Closes every connection and stops answering, as a device that is switched off.
    void stop();
    // Event streams send what is queued and then end.
    void endEventStreams();
    // As a device that goes away: every connection is dropped and, until comeBack(), each request
    // gets `answer` (nothing at all: the connection closes at once).
    void goAway(std::string answer = {});
    // Serves again, with `info` as its new answer to /velkor/info when given.
    void comeBack(std::optional<std::string> info = {});

    // Pictures sent by the built-in live stream so far.
    std::size_t framesServed() const;
    // True once `count` pictures more than `since` have been sent.
    bool waitForFramesServed(std::size_t since, std::size_t count,
                             std::chrono::milliseconds timeout = std::chrono::seconds(10));

    static std::string multipartHead(const std::string& boundary);
    static std::string part(const std::string& boundary, const std::string& jpeg);
    // A part of boundary velkorframe as a version-2 device sends it, stamped with the time now
    // less `late`.
    static std::string videoPart(const std::string& format, const AccessUnit& unit,
                                 std::uint64_t frameNumber,
                                 std::chrono::milliseconds late = std::chrono::milliseconds(0));
    // Every /velkor/live request so far, path and query.
    std::vector<std::string> liveRequests() const;
    // When each request whose path (query included) begins with `prefix` came, so far.
    std::vector<std::chrono::steady_clock::time_point>
    requestTimes(const std::string& prefix) const;
    // True once `count` such requests have come.
    bool waitForRequests(const std::string& prefix, std::size_t count,
                         std::chrono::milliseconds timeout = std::chrono::seconds(10));

    // Encodes the video of a format at a width now rather than at its first request: libx265
    // alone took 6-10 s on a busy machine, longer than a client waits for a stream's first byte.
    void encodeAhead(const std::string& format, int width) { videoFor(format, width); }

private:
    void handle(const std::string& path, LoopbackConnection& connection);
    void serveEvents(LoopbackConnection& connection);
    void serveLive(const std::string& path, LoopbackConnection& connection);
    bool servesFormat(const std::string& format) const;

    const std::vector<AccessUnit>& videoFor(const std::string& format, int width);

    Options m_options;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::string> m_pending;
    std::vector<std::pair<std::string, std::chrono::steady_clock::time_point>> m_requests;
    std::optional<std::string> m_awayAnswer;
    std::map<std::pair<std::string, int>, std::vector<AccessUnit>> m_videos;
    std::size_t m_framesServed = 0;
    bool m_stopping = false;
    bool m_endingEvents = false;
    std::unique_ptr<LoopbackServer> m_server;
};

} // namespace velkortest

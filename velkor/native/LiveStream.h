#pragma once

#include "velkor/decode/StreamFormats.h"
#include "velkor/live/StreamSource.h"
#include "velkor/net/HttpClient.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>

namespace velkor
{

class FramePipeline;
class LiveObserver;
class PictureSink;

// One channel's live video from a velkor device: GET /velkor/live on a thread of its own, every
// picture through a FramePipeline into the output, and the outcome reported to the observer. The
// stream asked for can change while it plays: the current request ends and the new one starts,
// and the picture switches at the new stream's first keyframe, all within the same play.
class LiveStream final : public StreamSource
{
public:
    enum class Target
    {
        // The request's URL is the device's base (no path); channel and stream make the path.
        DevicePath,
        // The request's URL is the stream's whole address, as a camera named it; the stream
        // cannot be chosen, only taken as it comes.
        WholeUrl
    };

    // `device` holds the URL, credentials and timeouts.
    LiveStream(PictureSink& output, std::unique_ptr<LiveObserver> observer, HttpRequest device,
               Target target = Target::DevicePath);
    ~LiveStream() override;
    LiveStream(const LiveStream&) = delete;
    LiveStream& operator=(const LiveStream&) = delete;

    void start(int32_t channel, StreamChoice choice) override;
    void retune(StreamChoice choice) override;
    void stop() override;
    bool running() const override { return m_running; }

    // The request path for this channel and stream; JPEG is asked for without a format, as
    // version-1 devices know it.
    static std::string pathFor(int32_t channel, StreamChoice choice);

private:
    struct Attempt
    {
        HttpResult result;
        bool notMultipart = false;
    };

    void run(int32_t channel);
    // One request for `choice`, its pictures through `pipeline`; the first stream the device
    // accepts in this play is announced.
    Attempt request(int32_t channel, StreamChoice choice, FramePipeline& pipeline, bool& announced,
                    const std::stop_token& interrupt);
    void reportEnd(const HttpResult& result, bool notMultipart, const std::string& malformed,
                   int32_t channel);

    PictureSink& m_output;
    std::unique_ptr<LiveObserver> m_observer;
    const HttpRequest m_device;
    const Target m_target;
    mutable std::mutex m_mutex;
    StreamChoice m_choice;
    bool m_switching = false;
    bool m_stopping = false;
    // Ends the current request, for a stop or a switch; a new one for each request.
    std::stop_source m_interrupt;
    std::atomic<bool> m_running{false};
    std::jthread m_thread;
};

} // namespace velkor

#pragma once

#include "HttpClient.h"
#include "WorkerThread.h"

#include <cstdint>
#include <memory>

namespace velkor
{

class LiveObserver;
class VideoOutput;

// One channel's live video: GET /velkor/live on a thread of its own, every picture through a
// FramePipeline into the output, and the outcome reported to the observer.
class LiveStream
{
public:
    LiveStream(VideoOutput& output, std::unique_ptr<LiveObserver> observer);
    ~LiveStream();
    LiveStream(const LiveStream&) = delete;
    LiveStream& operator=(const LiveStream&) = delete;

    void start(HttpRequest request, int32_t channel);
    void stop();
    bool running() const { return m_thread.running(); }

private:
    void run(const HttpRequest& request, int32_t channel, const std::atomic<bool>& stop);

    VideoOutput& m_output;
    std::unique_ptr<LiveObserver> m_observer;
    WorkerThread m_thread;
};

} // namespace velkor

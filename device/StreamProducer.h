#pragma once

#include "device/StreamKey.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace velkordevice
{

class FrameHandOver;

// Draws and encodes one stream on a thread of its own, one picture per tick of its channel's
// clock. When encoding takes longer than a tick, the ticks missed are left out rather than
// caught up, so the stream stays live at a lower rate, and stderr says so.
class StreamProducer
{
public:
    using Clock = std::chrono::steady_clock;

    // Pictures are numbered by the ticks of `fps` since `epoch`.
    StreamProducer(int channel, StreamKey key, int fps, Clock::time_point epoch);
    ~StreamProducer();
    StreamProducer(const StreamProducer&) = delete;
    StreamProducer& operator=(const StreamProducer&) = delete;

    void start();
    // Joins the thread and closes the hand-over.
    void stop();
    const std::shared_ptr<FrameHandOver>& frames() const { return m_frames; }

private:
    void run();
    std::string describe() const;

    int m_channel;
    StreamKey m_key;
    int m_fps;
    Clock::duration m_period;
    Clock::time_point m_epoch;
    std::shared_ptr<FrameHandOver> m_frames;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace velkordevice

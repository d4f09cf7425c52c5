#pragma once

#include "EncodedFrame.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace velkordevice
{

class FrameRenderer;

// Produces one channel's frames on its own thread, once per tick and only for the widths that
// have readers; every reader of a width shares the same encoded frame.
class ChannelSource
{
public:
    ChannelSource(int channel, int fps);
    ~ChannelSource();
    ChannelSource(const ChannelSource&) = delete;
    ChannelSource& operator=(const ChannelSource&) = delete;

    void start();
    // Wakes every waiting reader; frames stop.
    void stop();

    void addReader(int width);
    void removeReader(int width);
    // The newest frame of this width if it is numbered `from` or later, waiting up to `timeout`
    // for one. nullptr on timeout or once stopped.
    std::shared_ptr<const EncodedFrame> waitForFrame(int width, uint64_t from,
                                                     std::chrono::milliseconds timeout);
    bool stopped() const;
    int channel() const { return m_channel; }

private:
    struct WidthState
    {
        int readers = 0;
        std::shared_ptr<const EncodedFrame> latest;
    };

    void run();

    int m_channel;
    std::chrono::nanoseconds m_period;
    mutable std::mutex m_mutex;
    std::condition_variable m_frameReady;
    std::condition_variable m_readersChanged;
    std::map<int, WidthState> m_widths;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace velkordevice

#pragma once

#include "device/StreamKey.h"

#include <chrono>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>

namespace velkordevice
{

class FrameHandOver;
class StreamProducer;

// One channel's streams: each (format, width) is drawn and encoded only while it has readers,
// once for all of them, on its own thread.
class ChannelSource
{
public:
    ChannelSource(int channel, int fps);
    ~ChannelSource();
    ChannelSource(const ChannelSource&) = delete;
    ChannelSource& operator=(const ChannelSource&) = delete;

    // Streams are produced from now on; readers added before wait until then.
    void start();
    // Ends every stream; readers added later get a closed hand-over.
    void stop();
    bool stopped() const;

    // Each addReader() is matched by one removeReader() of the same key.
    std::shared_ptr<FrameHandOver> addReader(StreamKey key);
    void removeReader(StreamKey key);
    // Streams being encoded now.
    std::size_t activeStreams() const;
    int channel() const { return m_channel; }

private:
    struct Stream
    {
        int readers = 0;
        std::unique_ptr<StreamProducer> producer;
    };

    int m_channel;
    int m_fps;
    std::chrono::steady_clock::time_point m_epoch;
    mutable std::mutex m_mutex;
    std::map<StreamKey, Stream> m_streams;
    bool m_started = false;
    bool m_stopping = false;
};

} // namespace velkordevice

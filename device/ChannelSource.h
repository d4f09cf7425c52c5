#pragma once

#include "device/DeviceConfig.h"
#include "device/StreamKey.h"

#include <chrono>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>

namespace velkordevice
{

class FrameHandOver;
class FrameLoop;
class StreamProducer;

// One channel's streams: each (format, width) is drawn and encoded only while it has readers,
// once for all of them, on its own thread. Its encoder is kept for a while after the last
// reader left, for the next one; a loop made of a stream is kept for good.
class ChannelSource
{
public:
    static constexpr std::chrono::milliseconds kKeepEncoder{5000};

    ChannelSource(int channel, int fps, LoopMode loop = LoopMode::Auto,
                  std::chrono::milliseconds keepEncoder = kKeepEncoder);
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
    // Streams with readers now.
    std::size_t activeStreams() const;
    int channel() const { return m_channel; }

private:
    struct Stream
    {
        int readers = 0;
        std::unique_ptr<StreamProducer> producer;
        std::shared_ptr<const FrameLoop> loop;
    };

    void startProducer(StreamKey key, Stream& stream);

    int m_channel;
    int m_fps;
    LoopMode m_loopMode;
    std::chrono::milliseconds m_keepEncoder;
    std::chrono::steady_clock::time_point m_epoch;
    mutable std::mutex m_mutex;
    std::map<StreamKey, Stream> m_streams;
    bool m_started = false;
    bool m_stopping = false;
};

} // namespace velkordevice

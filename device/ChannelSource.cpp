#include "device/ChannelSource.h"

#include "device/FrameHandOver.h"
#include "device/StreamProducer.h"

#include <vector>

namespace velkordevice
{

ChannelSource::ChannelSource(int channel, int fps, LoopMode loop,
                             std::chrono::milliseconds keepEncoder)
    : m_channel(channel), m_fps(fps), m_loopMode(loop), m_keepEncoder(keepEncoder),
      m_epoch(std::chrono::steady_clock::now())
{
}

ChannelSource::~ChannelSource()
{
    stop();
}

void ChannelSource::start()
{
    std::lock_guard lock(m_mutex);
    if (m_started || m_stopping)
    {
        return;
    }
    m_started = true;
    for (auto& [key, stream] : m_streams)
    {
        if (stream.producer)
        {
            stream.producer->start();
        }
    }
}

void ChannelSource::stop()
{
    std::vector<std::unique_ptr<StreamProducer>> ending;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        for (auto& [key, stream] : m_streams)
        {
            if (stream.producer)
            {
                ending.push_back(std::move(stream.producer));
            }
        }
    }
    // Joined outside the lock: a producer may be in the middle of a picture.
    ending.clear();
}

bool ChannelSource::stopped() const
{
    std::lock_guard lock(m_mutex);
    return m_stopping;
}

std::shared_ptr<FrameHandOver> ChannelSource::addReader(StreamKey key)
{
    std::unique_ptr<StreamProducer> released;
    std::lock_guard lock(m_mutex);
    Stream& stream = m_streams[key];
    ++stream.readers;
    if (m_stopping)
    {
        auto closed = std::make_shared<FrameHandOver>(1);
        closed->close();
        return closed;
    }
    if (stream.producer && stream.readers == 1 && !stream.producer->resume())
    {
        if (auto loop = stream.producer->loop())
        {
            stream.loop = std::move(loop);
        }
        // Its thread has ended: destroying it waits for nothing.
        released = std::move(stream.producer);
    }
    if (!stream.producer)
    {
        startProducer(key, stream);
    }
    return stream.producer->frames();
}

void ChannelSource::startProducer(StreamKey key, Stream& stream)
{
    StreamProducer::Settings settings;
    settings.channel = m_channel;
    settings.key = key;
    settings.fps = m_fps;
    settings.epoch = m_epoch;
    settings.loop = m_loopMode;
    settings.keep = m_keepEncoder;
    stream.producer = std::make_unique<StreamProducer>(settings, stream.loop);
    if (m_started)
    {
        stream.producer->start();
    }
}

void ChannelSource::removeReader(StreamKey key)
{
    std::lock_guard lock(m_mutex);
    auto it = m_streams.find(key);
    if (it != m_streams.end() && --it->second.readers == 0 && it->second.producer)
    {
        it->second.producer->pause();
    }
}

std::size_t ChannelSource::activeStreams() const
{
    std::lock_guard lock(m_mutex);
    std::size_t count = 0;
    for (const auto& [key, stream] : m_streams)
    {
        count += stream.readers > 0 ? 1 : 0;
    }
    return count;
}

} // namespace velkordevice

#include "device/ChannelSource.h"

#include "device/FrameHandOver.h"
#include "device/StreamProducer.h"

#include <vector>

namespace velkordevice
{

ChannelSource::ChannelSource(int channel, int fps)
    : m_channel(channel), m_fps(fps), m_epoch(std::chrono::steady_clock::now())
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
        stream.producer->start();
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
    std::lock_guard lock(m_mutex);
    Stream& stream = m_streams[key];
    ++stream.readers;
    if (m_stopping)
    {
        auto closed = std::make_shared<FrameHandOver>(1);
        closed->close();
        return closed;
    }
    if (!stream.producer)
    {
        stream.producer = std::make_unique<StreamProducer>(m_channel, key, m_fps, m_epoch);
        if (m_started)
        {
            stream.producer->start();
        }
    }
    return stream.producer->frames();
}

void ChannelSource::removeReader(StreamKey key)
{
    std::unique_ptr<StreamProducer> ending;
    {
        std::lock_guard lock(m_mutex);
        auto it = m_streams.find(key);
        if (it == m_streams.end() || --it->second.readers > 0)
        {
            return;
        }
        ending = std::move(it->second.producer);
        m_streams.erase(it);
    }
    // Outside the lock, so the channel's other readers are not held up while it finishes.
    ending.reset();
}

std::size_t ChannelSource::activeStreams() const
{
    std::lock_guard lock(m_mutex);
    std::size_t count = 0;
    for (const auto& [key, stream] : m_streams)
    {
        count += stream.producer ? 1 : 0;
    }
    return count;
}

} // namespace velkordevice

#include "ChannelSource.h"

#include "FrameRenderer.h"

#include <algorithm>
#include <vector>

namespace velkordevice
{

ChannelSource::ChannelSource(int channel, int fps)
    : m_channel(channel), m_period(std::chrono::nanoseconds(1'000'000'000LL / fps))
{
}

ChannelSource::~ChannelSource()
{
    stop();
}

void ChannelSource::start()
{
    std::lock_guard lock(m_mutex);
    if (m_thread.joinable() || m_stopping)
    {
        return;
    }
    m_thread = std::thread([this] { run(); });
}

void ChannelSource::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_frameReady.notify_all();
    m_readersChanged.notify_all();
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
    {
        m_thread.join();
    }
}

bool ChannelSource::stopped() const
{
    std::lock_guard lock(m_mutex);
    return m_stopping;
}

void ChannelSource::addReader(int width)
{
    {
        std::lock_guard lock(m_mutex);
        ++m_widths[width].readers;
    }
    m_readersChanged.notify_all();
}

void ChannelSource::removeReader(int width)
{
    std::lock_guard lock(m_mutex);
    auto it = m_widths.find(width);
    if (it != m_widths.end() && --it->second.readers <= 0)
    {
        m_widths.erase(it);
    }
}

std::shared_ptr<const EncodedFrame> ChannelSource::waitForFrame(int width, uint64_t from,
                                                                std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    std::shared_ptr<const EncodedFrame> frame;
    m_frameReady.wait_for(lock, timeout,
                          [&]
                          {
                              if (m_stopping)
                              {
                                  return true;
                              }
                              auto it = m_widths.find(width);
                              if (it != m_widths.end() && it->second.latest &&
                                  it->second.latest->number >= from)
                              {
                                  frame = it->second.latest;
                              }
                              return frame != nullptr;
                          });
    return m_stopping ? nullptr : frame;
}

void ChannelSource::run()
{
    using Clock = std::chrono::steady_clock;
    // Renderers live on this thread only; they are dropped with the last reader of their width.
    std::map<int, std::unique_ptr<FrameRenderer>> renderers;
    const Clock::time_point start = Clock::now();
    uint64_t tick = 0;

    std::unique_lock lock(m_mutex);
    while (!m_stopping)
    {
        if (m_widths.empty())
        {
            renderers.clear();
            m_readersChanged.wait(lock, [this] { return m_stopping || !m_widths.empty(); });
            continue;
        }
        std::vector<int> widths;
        for (const auto& [width, state] : m_widths)
        {
            widths.push_back(width);
        }
        lock.unlock();

        std::erase_if(
            renderers, [&](const auto& entry)
            { return std::find(widths.begin(), widths.end(), entry.first) == widths.end(); });
        const auto wallClock = std::chrono::system_clock::now();
        std::vector<std::pair<int, std::shared_ptr<const EncodedFrame>>> produced;
        for (int width : widths)
        {
            auto& renderer = renderers[width];
            if (!renderer)
            {
                renderer = std::make_unique<FrameRenderer>(m_channel, width);
            }
            produced.emplace_back(width, renderer->render(tick, wallClock));
        }

        lock.lock();
        for (auto& [width, frame] : produced)
        {
            auto it = m_widths.find(width);
            if (it != m_widths.end() && frame)
            {
                it->second.latest = std::move(frame);
            }
        }
        lock.unlock();
        m_frameReady.notify_all();

        // Ticks are counted from the start so a late frame is skipped rather than caught up.
        const auto elapsed = Clock::now() - start;
        const uint64_t nextTick = static_cast<uint64_t>(elapsed / m_period) + 1;
        tick = std::max(tick + 1, nextTick);
        lock.lock();
        m_readersChanged.wait_until(lock, start + m_period * static_cast<int64_t>(tick),
                                    [this] { return m_stopping; });
    }
}

} // namespace velkordevice

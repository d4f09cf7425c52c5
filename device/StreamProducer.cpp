#include "device/StreamProducer.h"

#include "device/FrameGeometry.h"
#include "device/FrameHandOver.h"
#include "device/FrameRateWatch.h"
#include "device/FrameRenderer.h"

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace velkordevice
{

namespace
{

constexpr auto kRateWindow = std::chrono::seconds(5);
// While a stream stays short of its rate, it is said again once a minute.
constexpr int kRepeatWindows = 12;

std::size_t backlogFor(StreamKey key, int fps)
{
    // Every JPEG picture is a keyframe: a lagging reader always jumps to the newest. Otherwise a
    // reader may lag half a second before it has to wait for a keyframe.
    return key.format == StreamFormat::Jpeg ? 1 : static_cast<std::size_t>(std::max(2, fps / 2));
}

void log(const std::string& line)
{
    std::cerr << ("velkor-device: " + line + "\n") << std::flush;
}

} // namespace

StreamProducer::StreamProducer(int channel, StreamKey key, int fps, Clock::time_point epoch)
    : m_channel(channel), m_key(key), m_fps(fps),
      m_period(std::chrono::duration_cast<Clock::duration>(std::chrono::seconds(1)) / fps),
      m_epoch(epoch), m_frames(std::make_shared<FrameHandOver>(backlogFor(key, fps)))
{
}

StreamProducer::~StreamProducer()
{
    stop();
}

void StreamProducer::start()
{
    std::lock_guard lock(m_mutex);
    if (!m_thread.joinable() && !m_stopping)
    {
        m_thread = std::thread([this] { run(); });
    }
}

void StreamProducer::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
    {
        m_thread.join();
    }
    m_frames->close();
}

std::string StreamProducer::describe() const
{
    char text[64];
    std::snprintf(text, sizeof text, "channel %d %s %dx%d", m_channel,
                  StreamFormats::name(m_key.format).c_str(), m_key.width,
                  FrameGeometry::heightFor(m_key.width));
    return text;
}

void StreamProducer::run()
{
    FrameRenderer renderer(m_channel, m_key, m_fps);
    if (!renderer.ready())
    {
        log("cannot encode " + describe() + ": " + renderer.error());
        m_frames->close();
        return;
    }
    FrameRateWatch watch(m_fps, kRateWindow, kRepeatWindows);
    auto tick = static_cast<std::uint64_t>((Clock::now() - m_epoch) / m_period);

    std::unique_lock lock(m_mutex);
    while (!m_stopping)
    {
        lock.unlock();
        auto frame = renderer.render(tick, std::chrono::system_clock::now(),
                                     m_frames->takeKeyframeRequest());
        if (!frame)
        {
            log("stopped encoding " + describe() + ": " + renderer.error());
            m_frames->close();
            return;
        }
        m_frames->publish(std::move(frame));

        const auto now = Clock::now();
        if (const auto report = watch.pictureDone(now))
        {
            char rate[96];
            std::snprintf(rate, sizeof rate,
                          report->shortOfTarget ? "encodes only %.1f of %d frames per second; "
                                                  "frames are left out"
                                                : "back to %.1f of %d frames per second",
                          report->framesPerSecond, m_fps);
            log(describe() + " " + rate);
        }
        // Ticks are counted from the epoch so a late picture is skipped rather than caught up.
        tick = std::max(tick + 1, static_cast<std::uint64_t>((now - m_epoch) / m_period) + 1);
        lock.lock();
        m_wake.wait_until(lock, m_epoch + m_period * static_cast<std::int64_t>(tick),
                          [this] { return m_stopping; });
    }
}

} // namespace velkordevice

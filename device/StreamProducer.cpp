#include "device/StreamProducer.h"

#include "device/FrameGeometry.h"
#include "device/FrameHandOver.h"
#include "device/FrameLoop.h"
#include "device/FrameRateWatch.h"
#include "device/FrameRenderer.h"

#include <malloc.h>

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
constexpr int kLoopSeconds = 2;

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

StreamProducer::StreamProducer(const Settings& settings, std::shared_ptr<const FrameLoop> loop)
    : m_settings(settings),
      m_period(std::chrono::duration_cast<Clock::duration>(std::chrono::seconds(1)) / settings.fps),
      m_frames(std::make_shared<FrameHandOver>(backlogFor(settings.key, settings.fps))),
      m_loop(std::move(loop))
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

void StreamProducer::pause()
{
    std::lock_guard lock(m_mutex);
    m_paused = true;
}

bool StreamProducer::resume()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_released)
        {
            return false;
        }
        // What was made before the pause is too old for a reader that comes now.
        m_frames->clear();
        m_paused = false;
    }
    m_wake.notify_all();
    return true;
}

std::shared_ptr<const FrameLoop> StreamProducer::loop() const
{
    std::lock_guard lock(m_mutex);
    return m_loop;
}

std::string StreamProducer::describe() const
{
    char text[64];
    std::snprintf(text, sizeof text, "channel %d %s %dx%d", m_settings.channel,
                  StreamFormats::name(m_settings.key.format).c_str(), m_settings.key.width,
                  FrameGeometry::heightFor(m_settings.key.width));
    return text;
}

void StreamProducer::run()
{
    // A stream that cannot be encoded ends as well; its next reader gets a producer of its own.
    if (prepare())
    {
        produce();
    }
    {
        std::lock_guard lock(m_mutex);
        m_released = true;
    }
    m_frames->close();
    m_frames->clear();
    releaseEncoder();
}

void StreamProducer::produce()
{
    auto tick = static_cast<std::uint64_t>((Clock::now() - m_settings.epoch) / m_period);
    while (waitForTick(tick))
    {
        auto frame = next(tick);
        if (!frame)
        {
            log("stopped encoding " + describe() + ": " + m_renderer->error());
            return;
        }
        m_frames->publish(std::move(frame));
        const auto now = Clock::now();
        watchRate(now);
        // Ticks are counted from the epoch so a late picture is skipped rather than caught up.
        tick =
            std::max(tick + 1, static_cast<std::uint64_t>((now - m_settings.epoch) / m_period) + 1);
    }
}

bool StreamProducer::prepare()
{
    if (m_loop)
    {
        m_mode = Mode::Replay;
        log(describe() + " is played from its loop");
        return true;
    }
    m_renderer =
        std::make_unique<FrameRenderer>(m_settings.channel, m_settings.key, m_settings.fps);
    if (!m_renderer->ready())
    {
        log("cannot encode " + describe() + ": " + m_renderer->error());
        return false;
    }
    m_watch = std::make_unique<FrameRateWatch>(m_settings.fps, kRateWindow, kRepeatWindows);
    if (m_settings.loop == LoopMode::Always)
    {
        startRecording();
    }
    return true;
}

bool StreamProducer::waitForTick(std::uint64_t& tick)
{
    std::unique_lock lock(m_mutex);
    m_wake.wait_until(lock, m_settings.epoch + m_period * static_cast<std::int64_t>(tick),
                      [this] { return m_stopping || m_paused; });
    if (m_paused && !m_stopping)
    {
        if (!m_wake.wait_for(lock, m_settings.keep, [this] { return m_stopping || !m_paused; }))
        {
            return false;
        }
        lock.unlock();
        resumed(tick);
        lock.lock();
    }
    return !m_stopping;
}

void StreamProducer::resumed(std::uint64_t& tick)
{
    tick = std::max(tick, static_cast<std::uint64_t>((Clock::now() - m_settings.epoch) / m_period));
    // The pause is no shortfall of the encoder's.
    if (m_watch)
    {
        m_watch = std::make_unique<FrameRateWatch>(m_settings.fps, kRateWindow, kRepeatWindows);
    }
    // A reader that comes now starts at once at the loop's first picture, a keyframe.
    m_replayIndex = 0;
}

std::shared_ptr<const EncodedFrame> StreamProducer::next(std::uint64_t tick)
{
    switch (m_mode)
    {
    case Mode::Live:
        return m_renderer->render(tick, std::chrono::system_clock::now(),
                                  m_frames->takeKeyframeRequest());
    case Mode::Recording:
        return record(tick);
    case Mode::Replay:
        return replay(tick);
    }
    return nullptr;
}

void StreamProducer::startRecording()
{
    m_recording =
        std::make_shared<FrameLoop>(static_cast<std::size_t>(kLoopSeconds * m_settings.fps));
    m_mode = Mode::Recording;
}

std::shared_ptr<const EncodedFrame> StreamProducer::record(std::uint64_t tick)
{
    const std::size_t index = m_recording->recorded();
    // The loop starts with a keyframe, to be played again from there.
    auto frame = m_renderer->renderLoopPicture(tick, index, m_recording->length(),
                                               m_frames->takeKeyframeRequest() || index == 0);
    if (!frame)
    {
        return nullptr;
    }
    m_recording->add(frame);
    if (m_recording->complete())
    {
        {
            std::lock_guard lock(m_mutex);
            m_loop = std::move(m_recording);
        }
        m_mode = Mode::Replay;
        m_replayIndex = 0;
        m_watch.reset();
        releaseEncoder();
        char text[96];
        std::snprintf(text, sizeof text,
                      " is looped: %d s encoded ahead of time, played at %d frames per second",
                      kLoopSeconds, m_settings.fps);
        log(describe() + text);
    }
    return frame;
}

std::shared_ptr<const EncodedFrame> StreamProducer::replay(std::uint64_t tick)
{
    // Every picture of the loop is played in turn, so no reader loses a reference; a reader
    // that waits for a keyframe gets the loop's first picture at once.
    if (m_frames->takeKeyframeRequest() && !m_loop->isKeyframe(m_replayIndex))
    {
        m_replayIndex = 0;
    }
    auto frame = m_loop->replay(m_replayIndex, tick);
    m_replayIndex = (m_replayIndex + 1) % m_loop->length();
    return frame;
}

void StreamProducer::watchRate(Clock::time_point now)
{
    const auto report = m_watch ? m_watch->pictureDone(now) : std::nullopt;
    if (!report)
    {
        return;
    }
    const bool toLoop =
        report->shortOfTarget && m_mode == Mode::Live && m_settings.loop == LoopMode::Auto;
    char rate[160];
    std::snprintf(rate, sizeof rate,
                  !report->shortOfTarget ? "back to %.1f of %d frames per second"
                  : toLoop ? "encodes only %.1f of %d frames per second; frames are left out "
                             "until a loop of it is encoded ahead of time"
                           : "encodes only %.1f of %d frames per second; frames are left out",
                  report->framesPerSecond, m_settings.fps);
    log(describe() + " " + rate);
    if (toLoop)
    {
        startRecording();
    }
}

void StreamProducer::releaseEncoder()
{
    if (m_renderer)
    {
        m_renderer.reset();
        // Encoders free much memory in many arenas at once; give it back to the system now.
        malloc_trim(0);
    }
}

} // namespace velkordevice

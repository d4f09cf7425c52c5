#pragma once

#include "device/DeviceConfig.h"
#include "device/EncodedFrame.h"
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
class FrameLoop;
class FrameRateWatch;
class FrameRenderer;

// Draws and encodes one stream on a thread of its own, one picture per tick of its channel's
// clock. When encoding takes longer than a tick, the ticks missed are left out rather than
// caught up, so the stream stays live at a lower rate, and stderr says so; then, unless told
// otherwise, it encodes a loop of a few seconds and plays that at the full rate from then on.
class StreamProducer
{
public:
    using Clock = std::chrono::steady_clock;

    struct Settings
    {
        int channel = 1;
        StreamKey key;
        int fps = 25;
        // Pictures are numbered by the ticks of `fps` since `epoch`.
        Clock::time_point epoch;
        LoopMode loop = LoopMode::Auto;
        // How long a paused stream keeps its encoder.
        Clock::duration keep = std::chrono::seconds(5);
    };

    // With a complete `loop` of the stream, it is played from the start and nothing is encoded.
    explicit StreamProducer(const Settings& settings,
                            std::shared_ptr<const FrameLoop> loop = nullptr);
    ~StreamProducer();
    StreamProducer(const StreamProducer&) = delete;
    StreamProducer& operator=(const StreamProducer&) = delete;

    void start();
    // Joins the thread and closes the hand-over.
    void stop();
    // No picture is made until resume(); after the keep time the encoder is released for good.
    void pause();
    // False once the encoder was released: the stream then needs a new producer.
    bool resume();
    // The loop the stream is played from, once complete; null before.
    std::shared_ptr<const FrameLoop> loop() const;
    const std::shared_ptr<FrameHandOver>& frames() const { return m_frames; }

private:
    enum class Mode
    {
        Live,
        Recording,
        Replay
    };

    void run();
    bool prepare();
    // Publishes a picture each tick until the stream ends.
    void produce();
    // Waits for the tick, and through a pause; false when the stream ends.
    bool waitForTick(std::uint64_t& tick);
    void resumed(std::uint64_t& tick);
    // The picture of this tick, live, recorded into the loop or played from it.
    std::shared_ptr<const EncodedFrame> next(std::uint64_t tick);
    std::shared_ptr<const EncodedFrame> record(std::uint64_t tick);
    std::shared_ptr<const EncodedFrame> replay(std::uint64_t tick);
    void startRecording();
    void watchRate(Clock::time_point now);
    void releaseEncoder();
    std::string describe() const;

    Settings m_settings;
    Clock::duration m_period;
    std::shared_ptr<FrameHandOver> m_frames;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::shared_ptr<const FrameLoop> m_loop;
    bool m_stopping = false;
    bool m_paused = false;
    bool m_released = false;
    std::thread m_thread;

    // Used by the thread only.
    Mode m_mode = Mode::Live;
    std::unique_ptr<FrameRenderer> m_renderer;
    std::unique_ptr<FrameRateWatch> m_watch;
    std::shared_ptr<FrameLoop> m_recording;
    std::size_t m_replayIndex = 0;
};

} // namespace velkordevice

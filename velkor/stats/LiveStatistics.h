#pragma once

#include "velkor/decode/Frame.h"
#include "velkor/decode/StreamFormats.h"
#include "velkor/stats/LiveCounters.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace velkor
{

// The figures of one live play that a person checks first: what arrives, at what rate, how late,
// and what was lost. The stream's thread and the drawing thread count into counters() without
// locks; once a second a snapshot of them is kept, and figures() works out rates from the
// snapshots. Only describing the stream (at its start and when its pictures change) and the
// work of once a second take the lock.
class LiveStatistics
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds kLatencyWindow{5};

    struct Figures
    {
        // Address without credentials, and how the pictures travel.
        std::string source;
        std::string transport;
        std::optional<VideoCodec> codec;
        std::string profile;
        PictureSize size;
        // Why the first picture that could not be decoded could not; shown while none could.
        std::string whyUndecodable;
        // Over the last second.
        double receivedFps = 0;
        double drawnFps = 0;
        double kbitPerSecond = 0;
        std::optional<double> decodeMs;
        // Since play began.
        double kbitPerSecondSincePlay = 0;
        // From the device's timestamp to the picture drawn, over the last kLatencyWindow.
        std::optional<std::size_t> latencyP50Ms;
        std::optional<std::size_t> latencyMaxMs;
        std::optional<std::uint32_t> keyframeInterval;
        // Since play began.
        std::uint64_t replaced = 0;
        std::uint64_t undecodable = 0;
        std::uint64_t concealed = 0;
        // Skipped while waiting for a keyframe, or never sent by the device.
        std::uint64_t leftOut = 0;
        std::uint64_t losses = 0;
        std::uint64_t reconnections = 0;
        std::optional<std::chrono::seconds> sinceLoss;
        std::optional<std::chrono::seconds> sinceReconnection;
    };

    LiveCounters& counters() { return m_counters; }

    // A new play: figures count from now, and what describes the stream is forgotten.
    void beginPlay();
    // From the stream's thread, when it starts: `source` without credentials.
    void describeSource(std::string source, std::string transport);
    // The first picture, and each whose codec or size differs.
    void describePictures(VideoCodec codec, std::string profile, PictureSize size);
    // The first picture of the play that could not be decoded, and why.
    void describeUndecodable(std::string reason);
    // Cheap unless a second has passed since the last snapshot kept; from any thread.
    void tick();
    Figures figures();

private:
    struct Sample
    {
        Clock::time_point at;
        LiveCounters::Snapshot counted;
    };

    void keepSampleLocked(Clock::time_point now);

    LiveCounters m_counters;
    std::atomic<Clock::rep> m_nextSample{0};
    std::mutex m_mutex;
    Figures m_description;
    Sample m_start;
    std::deque<Sample> m_samples;
};

} // namespace velkor

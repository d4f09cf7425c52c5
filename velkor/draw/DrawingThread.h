#pragma once

#include "velkor/decode/PictureSink.h"
#include "velkor/draw/DrawingMailbox.h"
#include "velkor/stats/LiveCounters.h"
#include "velkor/stats/LiveStatistics.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

namespace velkor
{

class StatisticsBox;
class VideoOutput;

// The one thread that talks to the X server. Pictures are handed over by reference and never
// waited for (the newest replaces one not drawn yet); setWindow and clear wait for the server's
// answer at most kAnswerTime, after which the server counts as unreachable and its connection is
// cut, so no caller, and no lock a caller needs, ever waits on a stalled X server for long. While
// no signal is shown, the picture says so and counts the time since the loss, once a second.
// While a play runs, a left click into the window shows the play's statistics over the picture,
// and the next hides them, at once; each play starts with them hidden. The server's events wake
// the thread too, so a window uncovered shows its picture again without waiting for the next.
class DrawingThread final : public PictureSink
{
public:
    static constexpr std::chrono::milliseconds kAnswerTime{500};

    DrawingThread();
    ~DrawingThread() override;
    DrawingThread(const DrawingThread&) = delete;
    DrawingThread& operator=(const DrawingThread&) = delete;

    // As VideoOutput::setWindow; a window the server did not judge in time is accepted.
    int32_t setWindow(std::uintptr_t window);
    // Black, and no signal shown any more; drops a picture not drawn yet.
    void clear();
    // Takes the picture for the thread to draw; false before the first window was set. Ends the
    // no-signal picture.
    bool present(Frame& picture) override;
    PictureSize drawnSize() const override;
    // Pictures handed over, drawn and replaced, since the thread started.
    LiveCounters* counters() override;
    LiveStatistics* statistics() override;
    // A play begins or ends: its statistics count from the start, and are hidden either way.
    void beginPlay();
    void endPlay();
    // As a click would, for benchmarks: shown or hidden until the next click or play.
    void showStatistics(bool shown);
    void showNoSignal();
    // The last no-signal picture stays until a picture or a clear replaces it.
    void endNoSignal();
    // Ends the thread, waiting for it no longer than kAnswerTime.
    void shutdown();

private:
    struct State;

    void ensureRunning();
    // Whether the thread answered; when it did not in time, the watchdog gives up on it.
    bool answered(DrawingMailbox::Answer answer);
    static void run(const std::shared_ptr<State>& state);
    // On the thread: false once asked to stop.
    static bool perform(State& state, const DrawingMailbox::Job& job, Frame& picture,
                        Frame& noSignal);
    static void drawNoSignal(State& state, Frame& picture, std::chrono::seconds lost);
    // After the server's events: draws again what a click or an uncovering changed.
    static void refresh(State& state);
    // The box to lay over the picture drawn now, if it is shown.
    static const StatisticsBox* statisticsBox(State& state);

    // Shared with the thread, which may outlive this object when a stalled server holds it.
    std::shared_ptr<State> m_state;
    std::mutex m_lifeMutex;
    bool m_started = false;
    std::thread m_thread;
};

} // namespace velkor

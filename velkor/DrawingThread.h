#pragma once

#include "velkor/PictureSink.h"
#include "velkor/VideoOutput.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace velkor
{

// The one thread that talks to the X server. Pictures are handed over and never waited for (the
// newest replaces one not drawn yet); setWindow and clear wait for the server's answer at most
// kAnswerTime, after which the server counts as unreachable and its connection is cut, so no
// caller, and no lock a caller needs, ever waits on a stalled X server for long. While no signal
// is shown, the picture says so and counts the time since the loss, once a second.
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
    // Copies the picture for the thread to draw; false when it could not be copied. Ends the
    // no-signal picture.
    bool present(const PlanarImage& image) override;
    PictureSize drawnSize() const override;
    void showNoSignal();
    // The last no-signal picture stays until a picture or a clear replaces it.
    void endNoSignal();
    // Ends the thread, waiting for it no longer than kAnswerTime.
    void shutdown();
    // Pictures drawn, and pictures a newer one replaced before they could be drawn, since the
    // thread started: what a measurement of the whole path counts.
    std::uint64_t drawnCount() const;
    std::uint64_t replacedCount() const;

private:
    struct State;

    void ensureRunningLocked();
    bool awaitAnswer(std::unique_lock<std::mutex>& lock, const std::uint64_t& answered,
                     std::uint64_t request);
    static void run(const std::shared_ptr<State>& state);

    // Shared with the thread, which may outlive this object when a stalled server holds it.
    std::shared_ptr<State> m_state;
    std::thread m_thread;
};

} // namespace velkor

#pragma once

#include "velkor/decode/Frame.h"
#include "velkor/draw/NoSignalClock.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>

namespace velkor
{

// What callers ask of the drawing thread, and its answers. A picture is handed over by swapping
// references under the lock: the newest replaces one not drawn yet, and nothing is copied or
// freed while the lock is held. Requests to set the window and to clear are numbered, so a
// caller can wait for the answer to its own. The thread may wait on a socket besides, so that the
// X server's events wake it as promptly as a caller does.
class DrawingMailbox
{
public:
    DrawingMailbox();
    ~DrawingMailbox();
    DrawingMailbox(const DrawingMailbox&) = delete;
    DrawingMailbox& operator=(const DrawingMailbox&) = delete;

    enum class Answer
    {
        Given,
        // The thread ended without answering.
        Exited,
        TimedOut
    };

    struct Job
    {
        enum class Kind
        {
            Window,
            Clear,
            Picture,
            NoSignal,
            // Only the socket next() watched has something to read.
            Events,
            Stop
        };
        Kind kind = Kind::Stop;
        std::uint64_t request = 0;
        std::uintptr_t window = 0;
        std::chrono::seconds lost{0};
    };

    // Callers. Nothing is taken before open() or after close().
    void open();
    // False when it was not open.
    bool close();
    std::uint64_t askWindow(std::uintptr_t window);
    // Also drops a picture not drawn yet and ends the no-signal picture.
    std::uint64_t askClear();
    // Takes the picture, leaving in `picture` the one it replaced, if any, for the caller to
    // free; false when the mailbox is not open.
    bool post(Frame& picture, bool& replaced);
    void showNoSignal();
    void endNoSignal();
    Answer awaitWindow(std::uint64_t request, std::chrono::milliseconds patience);
    // The verdict on the window of `request`; Ok when a later request was answered instead.
    int32_t windowVerdict(std::uint64_t request);
    Answer awaitClear(std::uint64_t request, std::chrono::milliseconds patience);
    bool awaitExit(std::chrono::milliseconds patience);

    // The thread. next() waits for something to do, or for `events` (a socket, when not -1) to be
    // readable; a picture job swaps the picture into `picture`.
    Job next(Frame& picture, int events = -1);
    void answerWindow(std::uint64_t request, int32_t verdict);
    void answerClear(std::uint64_t request);
    // After a failure: every request so far counts as answered, with this verdict.
    void answerAll(int32_t verdict);
    void exited();

private:
    bool workLocked(NoSignalClock::Clock::time_point now) const;
    void wake();
    // Unlocked: false when only a caller's wake or the time ended the wait.
    bool awaitSocket(int events, std::optional<NoSignalClock::Clock::time_point> until);
    Answer await(std::chrono::milliseconds patience, const std::uint64_t& answered,
                 std::uint64_t request);

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_answered;
    // Written at a wake while the thread waits on a socket; -1 when none could be had.
    int m_wakeFd = -1;
    // Set under the lock before the thread lets go of it to wait on the socket, so that a caller
    // who changed something under the lock afterwards sees it.
    std::atomic<bool> m_polling{false};
    bool m_open = false;
    bool m_stopping = false;
    bool m_exited = false;
    std::uintptr_t m_window = 0;
    std::uint64_t m_windowRequest = 0;
    std::uint64_t m_windowTaken = 0;
    std::uint64_t m_windowAnswered = 0;
    int32_t m_windowVerdict = 0;
    std::uint64_t m_clearRequest = 0;
    std::uint64_t m_clearTaken = 0;
    std::uint64_t m_clearAnswered = 0;
    Frame m_picture;
    NoSignalClock m_noSignal;
};

} // namespace velkor

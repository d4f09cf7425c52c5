#pragma once

#include "device/EncodedFrame.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

namespace velkordevice
{

// Passes one stream's encoded frames from its producer to any number of readers, each at its
// own pace, so that no reader ever gets a frame whose references it did not get: a reader
// starts at a keyframe, takes the frames after it in order, skips ahead to a newer keyframe
// whenever one is there, and, if it falls further behind than the frames kept, waits for the
// next keyframe.
class FrameHandOver
{
public:
    // Where a reader stands in the stream.
    struct Cursor
    {
        std::uint64_t next = 0;
        bool synced = false;
    };

    // Keeps the newest `backlog` frames (at least one) for readers that lag.
    explicit FrameHandOver(std::size_t backlog);

    void publish(std::shared_ptr<const EncodedFrame> frame);
    // True once after a reader asked to start at a keyframe that is not there yet.
    bool takeKeyframeRequest();
    // Drops the frames kept; the next reader starts at a keyframe published after.
    void clear();
    // No more frames; waiting readers return at once.
    void close();
    bool closed() const;

    Cursor join();
    // The frame the reader takes next, waiting up to `timeout`; nullptr on timeout or closed.
    std::shared_ptr<const EncodedFrame> next(Cursor& cursor, std::chrono::milliseconds timeout);

private:
    std::shared_ptr<const EncodedFrame> pick(Cursor& cursor) const;
    std::uint64_t endSequence() const;

    std::size_t m_backlog;
    mutable std::mutex m_mutex;
    std::condition_variable m_published;
    std::deque<std::shared_ptr<const EncodedFrame>> m_recent;
    // Position in the stream of m_recent.front().
    std::uint64_t m_firstSequence = 0;
    bool m_keyframeWanted = false;
    bool m_closed = false;
};

} // namespace velkordevice

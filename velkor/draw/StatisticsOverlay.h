#pragma once

#include "velkor/draw/StatisticsBox.h"

#include <atomic>
#include <chrono>
#include <cstdint>

namespace velkor
{

class LiveStatistics;

// Whether the statistics box lies over the picture, and the box itself. Callers show, hide and
// start plays from any thread; the drawing thread applies the clicks and draws. Each play starts
// with the box hidden; a click shows or hides it only while a play runs.
class StatisticsOverlay
{
public:
    void beginPlay();
    void endPlay();
    void show(bool shown);
    bool shown() const;
    // On the drawing thread, with the clicks since the last call: the box to lay over the picture
    // drawn now, worded afresh once a second; null while hidden.
    const StatisticsBox* box(int clicks, LiveStatistics& statistics);

private:
    void startPlay(bool playing);

    // One word, so that a click's toggle, made on the drawing thread, cannot land on a play that
    // began after the click was read: the play's number changes with each start and end, and the
    // toggle is a compare-and-swap against the word it read.
    std::atomic<std::uint64_t> m_state{0};
    // The drawing thread's own.
    StatisticsBox m_box;
    bool m_rendered = false;
    std::chrono::steady_clock::time_point m_nextRender{};
};

} // namespace velkor

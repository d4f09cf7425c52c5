#include "velkor/draw/StatisticsOverlay.h"

#include "velkor/draw/StatisticsText.h"
#include "velkor/stats/LiveStatistics.h"

namespace velkor
{
namespace
{

constexpr auto kStatisticsRefresh = std::chrono::seconds(1);

constexpr std::uint64_t kBoxShown = 1;
constexpr std::uint64_t kPlaying = 2;
constexpr std::uint64_t kPlayStep = 4;

} // namespace

void StatisticsOverlay::beginPlay()
{
    startPlay(true);
}

void StatisticsOverlay::endPlay()
{
    startPlay(false);
}

// A new play's number, `playing` or not, hidden.
void StatisticsOverlay::startPlay(bool playing)
{
    std::uint64_t seen = m_state.load();
    while (!m_state.compare_exchange_weak(seen, (seen & ~(kPlayStep - 1)) + kPlayStep +
                                                    (playing ? kPlaying : 0)))
    {
    }
}

void StatisticsOverlay::show(bool shown)
{
    if (shown)
    {
        m_state.fetch_or(kBoxShown);
    }
    else
    {
        m_state.fetch_and(~kBoxShown);
    }
}

bool StatisticsOverlay::shown() const
{
    return (m_state.load() & kBoxShown) != 0;
}

const StatisticsBox* StatisticsOverlay::box(int clicks, LiveStatistics& statistics)
{
    // Clicks come while the thread draws; an even number of them changes nothing.
    std::uint64_t seen = m_state.load();
    if (clicks % 2 != 0 && (seen & kPlaying) != 0 &&
        m_state.compare_exchange_strong(seen, seen ^ kBoxShown))
    {
        seen ^= kBoxShown;
    }
    if ((seen & kBoxShown) == 0)
    {
        if (m_rendered)
        {
            m_box.forget();
            m_rendered = false;
        }
        return nullptr;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!m_rendered || now >= m_nextRender)
    {
        m_rendered = m_box.render(StatisticsText::lines(statistics.figures()));
        m_nextRender = now + kStatisticsRefresh;
    }
    return m_rendered ? &m_box : nullptr;
}

} // namespace velkor

#include "device/FrameHandOver.h"

#include <algorithm>
#include <utility>

namespace velkordevice
{

FrameHandOver::FrameHandOver(std::size_t backlog) : m_backlog(std::max<std::size_t>(1, backlog)) {}

void FrameHandOver::publish(std::shared_ptr<const EncodedFrame> frame)
{
    {
        std::lock_guard lock(m_mutex);
        m_recent.push_back(std::move(frame));
        if (m_recent.size() > m_backlog)
        {
            m_recent.pop_front();
            ++m_firstSequence;
        }
    }
    m_published.notify_all();
}

bool FrameHandOver::takeKeyframeRequest()
{
    std::lock_guard lock(m_mutex);
    return std::exchange(m_keyframeWanted, false);
}

void FrameHandOver::clear()
{
    std::lock_guard lock(m_mutex);
    m_firstSequence += m_recent.size();
    m_recent.clear();
}

void FrameHandOver::close()
{
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
    }
    m_published.notify_all();
}

bool FrameHandOver::closed() const
{
    std::lock_guard lock(m_mutex);
    return m_closed;
}

std::uint64_t FrameHandOver::endSequence() const
{
    return m_firstSequence + m_recent.size();
}

FrameHandOver::Cursor FrameHandOver::join()
{
    std::lock_guard lock(m_mutex);
    const bool newestIsKeyframe = !m_recent.empty() && m_recent.back()->keyframe;
    if (!newestIsKeyframe)
    {
        m_keyframeWanted = true;
    }
    return Cursor{endSequence() - (newestIsKeyframe ? 1 : 0), false};
}

std::shared_ptr<const EncodedFrame> FrameHandOver::next(Cursor& cursor,
                                                        std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    std::shared_ptr<const EncodedFrame> frame;
    m_published.wait_for(lock, timeout,
                         [&]
                         {
                             frame = m_closed ? nullptr : pick(cursor);
                             return m_closed || frame != nullptr;
                         });
    return frame;
}

std::shared_ptr<const EncodedFrame> FrameHandOver::pick(Cursor& cursor) const
{
    // The newest keyframe the reader has not passed yet: taking it never loses a reference.
    for (std::size_t i = m_recent.size(); i-- > 0;)
    {
        const std::uint64_t sequence = m_firstSequence + i;
        if (sequence < cursor.next)
        {
            break;
        }
        if (m_recent[i]->keyframe)
        {
            cursor = Cursor{sequence + 1, true};
            return m_recent[i];
        }
    }
    if (!cursor.synced)
    {
        return nullptr;
    }
    if (cursor.next < m_firstSequence)
    {
        cursor = Cursor{endSequence(), false};
        return nullptr;
    }
    if (cursor.next < endSequence())
    {
        return m_recent[static_cast<std::size_t>(cursor.next++ - m_firstSequence)];
    }
    return nullptr;
}

} // namespace velkordevice

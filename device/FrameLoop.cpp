#include "device/FrameLoop.h"

#include <chrono>

namespace velkordevice
{

FrameLoop::FrameLoop(std::size_t length) : m_length(length)
{
    m_frames.reserve(length);
}

void FrameLoop::add(std::shared_ptr<const EncodedFrame> frame)
{
    if (!complete())
    {
        m_frames.push_back(std::move(frame));
    }
}

std::shared_ptr<const EncodedFrame> FrameLoop::replay(std::size_t index, std::uint64_t number) const
{
    auto frame = std::make_shared<EncodedFrame>(*m_frames.at(index));
    frame->number = number;
    // The time it is sent: what a client's latency figures are measured against.
    frame->encodedAtMicros = std::chrono::duration_cast<std::chrono::microseconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
    return frame;
}

bool FrameLoop::isKeyframe(std::size_t index) const
{
    return m_frames.at(index)->keyframe;
}

} // namespace velkordevice

#pragma once

#include "device/EncodedFrame.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace velkordevice
{

// A few seconds of one stream encoded ahead of time, to be played over and over at the full
// frame rate where encoding live cannot keep it. It starts with a keyframe, so playing it again
// from the start never loses a reference.
class FrameLoop
{
public:
    explicit FrameLoop(std::size_t length);

    // Recorded in the order they are played; the first must be a keyframe.
    void add(std::shared_ptr<const EncodedFrame> frame);
    std::size_t recorded() const { return m_frames.size(); }
    bool complete() const { return m_frames.size() == m_length; }
    std::size_t length() const { return m_length; }

    // The picture at `index` of the complete loop, as a frame sent now with `number`.
    std::shared_ptr<const EncodedFrame> replay(std::size_t index, std::uint64_t number) const;
    bool isKeyframe(std::size_t index) const;

private:
    std::size_t m_length;
    std::vector<std::shared_ptr<const EncodedFrame>> m_frames;
};

} // namespace velkordevice

#pragma once

#include "EncodedFrame.h"
#include "JpegEncoder.h"
#include "TestPattern.h"

#include <chrono>
#include <memory>
#include <string>

namespace velkordevice
{

// Draws and encodes one channel's pictures at one width.
class FrameRenderer
{
public:
    FrameRenderer(int channel, int width);

    // nullptr if encoding failed.
    std::shared_ptr<const EncodedFrame> render(uint64_t frameNumber,
                                               std::chrono::system_clock::time_point when);
    static std::string caption(int channel, uint64_t frameNumber,
                               std::chrono::system_clock::time_point when, int width, int height);

private:
    int m_channel;
    int m_width;
    int m_height;
    TestPattern m_pattern;
    JpegEncoder m_encoder;
};

} // namespace velkordevice

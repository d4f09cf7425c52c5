#include "FrameRenderer.h"

#include "FrameGeometry.h"
#include "LocalTimestamp.h"

#include <cstdio>

namespace velkordevice
{

FrameRenderer::FrameRenderer(int channel, int width)
    : m_channel(channel), m_width(width), m_height(FrameGeometry::heightFor(width)),
      m_pattern(m_width, m_height)
{
}

std::string FrameRenderer::caption(int channel, uint64_t frameNumber,
                                   std::chrono::system_clock::time_point when, int width,
                                   int height)
{
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "CH%d %s #%06llu %dx%d", channel,
                  LocalTimestamp::format(when, ' ').c_str(),
                  static_cast<unsigned long long>(frameNumber), width, height);
    return buffer;
}

std::shared_ptr<const EncodedFrame>
FrameRenderer::render(uint64_t frameNumber, std::chrono::system_clock::time_point when)
{
    const YuvImage& image =
        m_pattern.render(frameNumber, caption(m_channel, frameNumber, when, m_width, m_height));
    auto frame = std::make_shared<EncodedFrame>();
    frame->number = frameNumber;
    frame->width = m_width;
    frame->height = m_height;
    if (!m_encoder.encode(image, frame->jpeg))
    {
        return nullptr;
    }
    return frame;
}

} // namespace velkordevice

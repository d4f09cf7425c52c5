#include "device/FrameRenderer.h"

#include "device/FrameGeometry.h"
#include "device/JpegEncoder.h"
#include "device/LocalTimestamp.h"
#include "device/VideoEncoder.h"

#include <cstdio>

namespace velkordevice
{

FrameRenderer::FrameRenderer(int channel, StreamKey key, int fps)
    : m_channel(channel), m_width(key.width), m_height(FrameGeometry::heightFor(key.width)),
      m_pattern(m_width, m_height)
{
    if (key.format == StreamFormat::Jpeg)
    {
        m_encoder = std::make_unique<JpegEncoder>();
        return;
    }
    auto video = std::make_unique<VideoEncoder>(key.format, m_width, m_height, fps);
    m_ready = video->ready();
    m_encoder = std::move(video);
}

std::string FrameRenderer::error() const
{
    return m_encoder->lastError();
}

std::string FrameRenderer::caption(int channel, std::uint64_t frameNumber,
                                   std::chrono::system_clock::time_point when, int width,
                                   int height)
{
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "CH%d %s #%06llu %dx%d", channel,
                  LocalTimestamp::format(when, ' ').c_str(),
                  static_cast<unsigned long long>(frameNumber), width, height);
    return buffer;
}

std::string FrameRenderer::loopCaption(int channel, std::size_t index, std::size_t length,
                                       int width, int height)
{
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "CH%d LOOP %03zu/%03zu (ENCODED AHEAD) %dx%d", channel,
                  index + 1, length, width, height);
    return buffer;
}

std::shared_ptr<const EncodedFrame>
FrameRenderer::render(std::uint64_t frameNumber, std::chrono::system_clock::time_point when,
                      bool forceKeyframe)
{
    return encode(frameNumber, frameNumber,
                  caption(m_channel, frameNumber, when, m_width, m_height), forceKeyframe);
}

std::shared_ptr<const EncodedFrame> FrameRenderer::renderLoopPicture(std::uint64_t frameNumber,
                                                                     std::size_t index,
                                                                     std::size_t length,
                                                                     bool forceKeyframe)
{
    return encode(frameNumber, index, loopCaption(m_channel, index, length, m_width, m_height),
                  forceKeyframe);
}

std::shared_ptr<const EncodedFrame> FrameRenderer::encode(std::uint64_t frameNumber,
                                                          std::uint64_t motion,
                                                          std::string_view caption,
                                                          bool forceKeyframe)
{
    if (!m_ready)
    {
        return nullptr;
    }
    const YuvImage& image = m_pattern.render(motion, caption);
    auto frame = std::make_shared<EncodedFrame>();
    frame->number = frameNumber;
    frame->width = m_width;
    frame->height = m_height;
    if (!m_encoder->encode(image, frameNumber, forceKeyframe, frame->data, frame->keyframe))
    {
        return nullptr;
    }
    frame->encodedAtMicros = std::chrono::duration_cast<std::chrono::microseconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
    return frame;
}

} // namespace velkordevice

#include "FramePipeline.h"

#include "LiveObserver.h"
#include "ResultCode.h"
#include "VideoOutput.h"

namespace velkor
{

FramePipeline::FramePipeline(const std::string& boundary, VideoOutput* output,
                             LiveObserver& observer)
    : m_output(output), m_observer(observer),
      m_parser(boundary, [this](const MultipartPart& part) { onPart(part); })
{
}

bool FramePipeline::feed(const std::uint8_t* data, std::size_t size)
{
    return m_parser.feed(data, size);
}

void FramePipeline::onPart(const MultipartPart& part)
{
    const int oldWidth = m_frame.width;
    const int oldHeight = m_frame.height;
    if (!m_decoder.decode(part.body, part.size, m_frame))
    {
        // Once per stream: a device sending nothing but broken pictures must not flood listeners.
        if (!m_decodeErrorReported)
        {
            m_observer.onFrameError(FrameUndecodable,
                                    "a live picture could not be decoded: " + m_decoder.error());
        }
        m_decodeErrorReported = true;
        return;
    }
    ++m_decoded;
    if (m_decoded == 1 || m_frame.width != oldWidth || m_frame.height != oldHeight)
    {
        m_observer.onPictureSize(m_frame.width, m_frame.height, part.size);
    }
    if (m_output != nullptr)
    {
        m_output->present(m_frame);
    }
}

} // namespace velkor

#include "velkor/FramePipeline.h"

#include "velkor/JpegDecoder.h"
#include "velkor/LiveCounters.h"
#include "velkor/LiveObserver.h"
#include "velkor/LivePart.h"
#include "velkor/PictureSink.h"
#include "velkor/ResultCode.h"
#include "velkor/VideoDecoder.h"

#include <string>

namespace velkor
{

FramePipeline::FramePipeline(PictureSink* sink, LiveObserver& observer)
    : m_sink(sink), m_observer(observer), m_counters(sink != nullptr ? sink->counters() : nullptr)
{
}

void FramePipeline::restart(const std::string& boundary, VideoCodec requested)
{
    m_parser.emplace(boundary, [this](const MultipartPart& part) { onPart(part); });
    m_requested = requested;
    m_awaitingKeyframe = true;
    if (m_decoder)
    {
        m_decoder->reset();
    }
    if (m_counters != nullptr)
    {
        m_counters->restart();
    }
}

bool FramePipeline::feed(const std::uint8_t* data, std::size_t size)
{
    return m_parser && m_parser->feed(data, size);
}

void FramePipeline::onPart(const MultipartPart& part)
{
    const LivePart live = LivePart::read(part);
    if (m_counters != nullptr)
    {
        m_counters->countPart(live.frameNumber);
    }
    if (!decodePart(part, live) || m_sink == nullptr)
    {
        return;
    }
    Frame& picture = m_decoder->picture();
    // The device's frame number is the picture's place in the stream's time.
    picture->pts = live.frameNumber ? static_cast<std::int64_t>(*live.frameNumber) : AV_NOPTS_VALUE;
    if (m_sink->present(picture) && m_counters != nullptr)
    {
        m_counters->countHandOver(live.timestamp);
    }
}

bool FramePipeline::decodePart(const MultipartPart& part, const LivePart& live)
{
    if (!decodable(part, live))
    {
        return false;
    }
    const VideoCodec codec = live.codec.value_or(m_requested);
    PictureDecoder& decoder = decoderFor(codec);
    const PictureSize fit = m_sink != nullptr ? m_sink->drawnSize() : PictureSize{};
    if (!decoder.decode(*part.packet, fit))
    {
        reportUndecodable(decoder.error());
        decoder.reset();
        m_awaitingKeyframe = true;
        return false;
    }
    const PictureSize size = decoder.pictureSize();
    if (size.width > kMaxReportedWidth || size.height > kMaxReportedHeight)
    {
        reportUndecodable("its size " + std::to_string(size.width) + "x" +
                          std::to_string(size.height) + " is larger than a picture size can be " +
                          "reported (width at most " + std::to_string(kMaxReportedWidth) +
                          ", height at most " + std::to_string(kMaxReportedHeight) + ")");
        return false;
    }
    ++m_decoded;
    // A part that does not say whether it is a keyframe is believed when the decoder says so.
    const bool keyframe = codec == VideoCodec::Jpeg || live.keyframe.value_or(false);
    if (m_awaitingKeyframe && !keyframe && !decoder.keyframe())
    {
        if (m_counters != nullptr)
        {
            m_counters->countSkipped();
        }
        return false;
    }
    m_awaitingKeyframe = false;
    if (!(size == m_reportedSize))
    {
        m_reportedSize = size;
        m_observer.onPictureSize(size.width, size.height, part.size);
    }
    return true;
}

bool FramePipeline::decodable(const MultipartPart& part, const LivePart& live)
{
    if (!live.codec && part.header("Content-Type"))
    {
        reportUndecodable("its type " + std::string(*part.header("Content-Type")) +
                          " is not one this library decodes");
        return false;
    }
    const bool video = live.codec.value_or(m_requested) != VideoCodec::Jpeg;
    if (m_awaitingKeyframe && video && live.keyframe == false)
    {
        if (m_counters != nullptr)
        {
            m_counters->countSkipped();
        }
        return false;
    }
    return true;
}

PictureDecoder& FramePipeline::decoderFor(VideoCodec codec)
{
    if (!m_decoder || m_decoderCodec != codec)
    {
        if (codec == VideoCodec::Jpeg)
        {
            m_decoder = std::make_unique<JpegDecoder>();
        }
        else
        {
            m_decoder = std::make_unique<VideoDecoder>(codec);
        }
        m_decoderCodec = codec;
    }
    return *m_decoder;
}

void FramePipeline::reportUndecodable(const std::string& reason)
{
    if (m_counters != nullptr)
    {
        m_counters->countUndecodable();
    }
    // Once per play: a device sending nothing but broken pictures must not flood listeners.
    if (!m_decodeErrorReported)
    {
        m_observer.onFrameError(FrameUndecodable, "a live picture could not be decoded: " + reason);
    }
    m_decodeErrorReported = true;
}

} // namespace velkor

#include "velkor/FramePipeline.h"

#include "velkor/JpegDecoder.h"
#include "velkor/LiveObserver.h"
#include "velkor/LivePart.h"
#include "velkor/PictureSink.h"
#include "velkor/ResultCode.h"
#include "velkor/VideoDecoder.h"

#include <string>

namespace velkor
{

FramePipeline::FramePipeline(PictureSink* sink, LiveObserver& observer)
    : m_sink(sink), m_observer(observer)
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
}

bool FramePipeline::feed(const std::uint8_t* data, std::size_t size)
{
    return m_parser && m_parser->feed(data, size);
}

void FramePipeline::onPart(const MultipartPart& part)
{
    const LivePart live = LivePart::read(part);
    PartOutcome outcome;
    outcome.frameNumber = live.frameNumber;
    outcome.timestamp = live.timestamp;
    if (decodePart(part, live, outcome) && m_sink != nullptr && m_sink->present(m_decoder->image()))
    {
        outcome.result = PartOutcome::Result::Drawn;
    }
    m_observer.onPartDone(outcome);
}

bool FramePipeline::decodePart(const MultipartPart& part, const LivePart& live,
                               PartOutcome& outcome)
{
    if (!live.codec && part.header("Content-Type"))
    {
        outcome.result = PartOutcome::Result::Undecodable;
        reportUndecodable("its type " + std::string(*part.header("Content-Type")) +
                          " is not one this library decodes");
        return false;
    }
    const VideoCodec codec = live.codec.value_or(m_requested);
    const bool keyframe = codec == VideoCodec::Jpeg || live.keyframe.value_or(false);
    if (m_awaitingKeyframe && live.keyframe == false && codec != VideoCodec::Jpeg)
    {
        outcome.result = PartOutcome::Result::Skipped;
        return false;
    }
    PictureDecoder& decoder = decoderFor(codec);
    const PictureSize fit = m_sink != nullptr ? m_sink->drawnSize() : PictureSize{};
    if (!decoder.decode(part.body, part.size, fit))
    {
        outcome.result = PartOutcome::Result::Undecodable;
        reportUndecodable(decoder.error());
        decoder.reset();
        m_awaitingKeyframe = true;
        return false;
    }
    const PictureSize size = decoder.pictureSize();
    if (size.width > kMaxReportedWidth || size.height > kMaxReportedHeight)
    {
        outcome.result = PartOutcome::Result::Undecodable;
        reportUndecodable("its size " + std::to_string(size.width) + "x" +
                          std::to_string(size.height) + " is larger than a picture size can be " +
                          "reported (width at most " + std::to_string(kMaxReportedWidth) +
                          ", height at most " + std::to_string(kMaxReportedHeight) + ")");
        return false;
    }
    ++m_decoded;
    // A part that does not say whether it is a keyframe is believed when the decoder says so.
    if (m_awaitingKeyframe && !keyframe && !decoder.keyframe())
    {
        outcome.result = PartOutcome::Result::Skipped;
        return false;
    }
    m_awaitingKeyframe = false;
    outcome.result = PartOutcome::Result::Decoded;
    if (size.width != m_reportedSize.width || size.height != m_reportedSize.height)
    {
        m_reportedSize = size;
        m_observer.onPictureSize(size.width, size.height, part.size);
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
    // Once per play: a device sending nothing but broken pictures must not flood listeners.
    if (!m_decodeErrorReported)
    {
        m_observer.onFrameError(FrameUndecodable, "a live picture could not be decoded: " + reason);
    }
    m_decodeErrorReported = true;
}

} // namespace velkor

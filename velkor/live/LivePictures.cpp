#include "velkor/live/LivePictures.h"

#include "velkor/decode/CaptureClock.h"
#include "velkor/decode/JpegDecoder.h"
#include "velkor/decode/PictureSink.h"
#include "velkor/report/LiveObserver.h"
#include "velkor/report/ResultCode.h"
#include "velkor/stats/LiveCounters.h"
#include "velkor/stats/LiveStatistics.h"

extern "C"
{
#include <libavutil/avutil.h>
}

#include <algorithm>
#include <chrono>

namespace velkor
{

LivePictures::LivePictures(PictureSink* sink, LiveObserver& observer)
    : m_sink(sink), m_observer(observer), m_counters(sink != nullptr ? sink->counters() : nullptr),
      m_statistics(sink != nullptr ? sink->statistics() : nullptr)
{
}

LivePictures::~LivePictures() = default;

void LivePictures::restart(EncodedStream stream)
{
    m_awaitingKeyframe = true;
    if (stream.parameters != nullptr || stream.reordered != m_stream.reordered)
    {
        // Made again for the new description on the next picture.
        m_decoder.reset();
    }
    else if (m_decoder)
    {
        m_decoder->reset();
    }
    m_stream = stream;
    if (m_counters != nullptr)
    {
        m_counters->restart();
    }
}

void LivePictures::show(const AVPacket& packet, const Encoded& encoded)
{
    if (!decode(packet, encoded) || m_sink == nullptr)
    {
        return;
    }
    Frame& picture = m_decoder->picture();
    if (picture.empty())
    {
        // Held back by the decoder, to come out after pictures it goes before.
        return;
    }
    std::optional<std::int64_t> captured = encoded.timestamp;
    if (encoded.clock != nullptr)
    {
        // TurboJPEG knows no presentation time, and a JPEG picture is its own packet's.
        const std::int64_t pts = encoded.codec == VideoCodec::Jpeg ? packet.pts : picture->pts;
        captured =
            encoded.clock->capturedAt(pts != AV_NOPTS_VALUE ? std::optional(pts) : std::nullopt);
    }
    if (encoded.position)
    {
        picture->pts = *encoded.position;
    }
    picture.setCapturedAt(captured);
    if (m_sink->present(picture) && m_counters != nullptr)
    {
        m_counters->countHandOver(captured);
    }
}

bool LivePictures::decode(const AVPacket& packet, const Encoded& encoded)
{
    const bool video = encoded.codec != VideoCodec::Jpeg;
    if (m_awaitingKeyframe && video && encoded.keyframe == false)
    {
        return skip();
    }
    PictureDecoder& decoder = decoderFor(encoded.codec);
    const PictureSize fit = m_sink != nullptr ? m_sink->drawnSize() : PictureSize{};
    const auto decodeStart = std::chrono::steady_clock::now();
    const bool decoded = decoder.decode(packet, fit);
    if (m_counters != nullptr)
    {
        m_counters->countDecoded(static_cast<std::size_t>(packet.size),
                                 std::chrono::duration_cast<std::chrono::microseconds>(
                                     std::chrono::steady_clock::now() - decodeStart));
        for (int i = 0; i < decoder.replacedPictures(); ++i)
        {
            m_counters->countReplaced();
        }
    }
    if (!decoded)
    {
        // The decoder goes on and conceals what referred to this picture, as players do: waiting
        // for the next keyframe stood the picture still for seconds over one lost packet.
        reportUndecodable(decoder.error());
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
    // A picture whose stream does not say whether it is a keyframe is believed when the decoder
    // says so.
    const bool keyframe = !video || encoded.keyframe.value_or(false);
    // What the stream says outranks the decoder, which calls any intra picture a keyframe.
    countKind(!video || encoded.keyframe.value_or(decoder.keyframe()));
    if (m_awaitingKeyframe && !keyframe && !decoder.keyframe())
    {
        return skip();
    }
    m_awaitingKeyframe = false;
    if (decoder.concealed() && m_counters != nullptr)
    {
        m_counters->countConcealed();
    }
    describe(decoder, encoded.codec, static_cast<std::size_t>(packet.size));
    return true;
}

bool LivePictures::skip()
{
    if (m_counters != nullptr)
    {
        m_counters->countSkipped();
    }
    return false;
}

void LivePictures::describe(const PictureDecoder& decoder, VideoCodec codec, std::size_t bytes)
{
    const PictureSize size = decoder.pictureSize();
    if (!(size == m_reportedSize) && size.width > 0)
    {
        m_reportedSize = size;
        m_observer.onPictureSize(size.width, size.height, bytes);
    }
    if (m_statistics != nullptr && (!(size == m_describedSize) || codec != m_describedCodec))
    {
        m_describedSize = size;
        m_describedCodec = codec;
        m_statistics->describePictures(codec, decoder.profile(), size);
    }
}

void LivePictures::countKind(bool keyframe)
{
    if (m_counters == nullptr)
    {
        return;
    }
    if (keyframe)
    {
        m_counters->countKeyframe();
    }
    else
    {
        m_counters->countInterframe();
    }
}

void LivePictures::refuse(const std::string& reason)
{
    reportUndecodable(reason);
}

PictureDecoder& LivePictures::decoderFor(VideoCodec codec)
{
    if (!m_decoder || m_decoderCodec != codec)
    {
        if (codec == VideoCodec::Jpeg)
        {
            m_decoder = std::make_unique<JpegDecoder>();
        }
        else
        {
            m_decoder = std::make_unique<VideoDecoder>(codec, 0, m_stream);
        }
        m_decoderCodec = codec;
    }
    return *m_decoder;
}

void LivePictures::showPlaceholder()
{
    const auto now = std::chrono::steady_clock::now();
    if (m_sink == nullptr || m_reportedSize.width > 0 || now < m_nextPlaceholder)
    {
        return;
    }
    // Once a second: the drawing thread hears a click only when it draws.
    m_nextPlaceholder = now + std::chrono::seconds(1);
    Frame black;
    if (black.allocate(AV_PIX_FMT_YUV420P, 16, 16))
    {
        const AVFrame& frame = *black.get();
        std::fill_n(frame.data[0], frame.linesize[0] * 16, 16);
        std::fill_n(frame.data[1], frame.linesize[1] * 8, 128);
        std::fill_n(frame.data[2], frame.linesize[2] * 8, 128);
        black.setPlaceholder(true);
        m_sink->present(black);
    }
}

void LivePictures::reportUndecodable(const std::string& reason)
{
    if (m_counters != nullptr)
    {
        m_counters->countUndecodable();
    }
    showPlaceholder();
    // Once per play: a device sending nothing but broken pictures must not flood listeners.
    if (!m_decodeErrorReported)
    {
        if (m_statistics != nullptr)
        {
            m_statistics->describeUndecodable(reason);
        }
        m_observer.onFrameError(FrameUndecodable, "a live picture could not be decoded: " + reason);
    }
    m_decodeErrorReported = true;
}

} // namespace velkor

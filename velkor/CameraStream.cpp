#include "velkor/CameraStream.h"

#include "velkor/CameraProbe.h"
#include "velkor/FramePipeline.h"
#include "velkor/JpegDecoder.h"
#include "velkor/LiveObserver.h"
#include "velkor/PictureSink.h"
#include "velkor/ResultCode.h"
#include "velkor/VideoDecoder.h"

extern "C"
{
#include <libavcodec/packet.h>
}

#include <exception>
#include <memory>
#include <vector>

namespace velkor
{
namespace
{

struct PacketDeleter
{
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};

} // namespace

CameraStream::CameraStream(PictureSink& output, std::unique_ptr<LiveObserver> observer,
                           CameraUrl url, Credentials credentials, FormatHook onFormat)
    : m_output(output), m_observer(std::move(observer)), m_url(std::move(url)),
      m_credentials(std::move(credentials)), m_onFormat(std::move(onFormat))
{
}

CameraStream::~CameraStream()
{
    stop();
}

void CameraStream::start(int32_t channel, StreamChoice /*choice*/)
{
    stop();
    m_thread.start(
        [this, channel](StopSignal& stop)
        {
            try
            {
                run(channel, stop);
            }
            catch (const std::exception& error)
            {
                m_observer->onEnded(InternalFailure,
                                    "live play of " + CameraProbe::nameOf(m_url) +
                                        " failed inside the library: " + error.what());
            }
        });
}

void CameraStream::stop()
{
    m_thread.stop();
}

void CameraStream::run(int32_t channel, StopSignal& stop)
{
    m_awaitingKeyframe = true;
    m_reportedWidth = 0;
    m_reportedHeight = 0;
    CameraReader reader(stop);
    const std::string url =
        m_url.withCredentials(channel, m_credentials.userName, m_credentials.password);
    CameraReader::Result result = open(reader, url, stop);
    if (result == CameraReader::Result::Packet)
    {
        m_onFormat(reader.codec());
        m_observer->onPlaying();
        const std::unique_ptr<AVPacket, PacketDeleter> packet(av_packet_alloc());
        if (!packet)
        {
            throw std::bad_alloc();
        }
        while ((result = reader.read(*packet)) == CameraReader::Result::Packet)
        {
            show(*packet, reader.codec(), reader.capturedAt(*packet));
            av_packet_unref(packet.get());
        }
    }
    reportEnd(result, reader, channel);
}

CameraReader::Result CameraStream::open(CameraReader& reader, const std::string& url,
                                        StopSignal& stop)
{
    const auto patience = std::chrono::steady_clock::now() + kTurnedAwayPatience;
    while (true)
    {
        const CameraReader::Result result = reader.open(url, m_url.scheme());
        if (result != CameraReader::Result::Lost || !reader.turnedAway() ||
            std::chrono::steady_clock::now() >= patience)
        {
            return result;
        }
        if (stop.waitFor(std::chrono::milliseconds(50)))
        {
            return CameraReader::Result::Stopped;
        }
    }
}

void CameraStream::show(AVPacket& packet, VideoCodec codec, std::optional<std::int64_t> capturedAt)
{
    PartOutcome outcome;
    outcome.timestamp = capturedAt;
    const bool keyframe = (packet.flags & AV_PKT_FLAG_KEY) != 0;
    if (m_awaitingKeyframe && !keyframe)
    {
        m_observer->onPartDone(outcome);
        return;
    }
    PictureDecoder& decoder = decoderFor(codec);
    if (!decoder.decode(packet.data, static_cast<std::size_t>(packet.size), m_output.drawnSize()))
    {
        outcome.result = PartOutcome::Result::Undecodable;
        reportUndecodable(decoder.error());
        decoder.reset();
        m_awaitingKeyframe = true;
        m_observer->onPartDone(outcome);
        return;
    }
    const PictureSize size = decoder.pictureSize();
    if (size.width > FramePipeline::kMaxReportedWidth ||
        size.height > FramePipeline::kMaxReportedHeight)
    {
        outcome.result = PartOutcome::Result::Undecodable;
        reportUndecodable("its size " + std::to_string(size.width) + "x" +
                          std::to_string(size.height) + " is larger than a picture size can be " +
                          "reported");
        m_observer->onPartDone(outcome);
        return;
    }
    m_awaitingKeyframe = false;
    outcome.result = PartOutcome::Result::Decoded;
    if (size.width != m_reportedWidth || size.height != m_reportedHeight)
    {
        m_reportedWidth = size.width;
        m_reportedHeight = size.height;
        m_observer->onPictureSize(size.width, size.height, static_cast<std::size_t>(packet.size));
    }
    if (m_output.present(decoder.image()))
    {
        outcome.result = PartOutcome::Result::Drawn;
    }
    m_observer->onPartDone(outcome);
}

PictureDecoder& CameraStream::decoderFor(VideoCodec codec)
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

void CameraStream::reportUndecodable(const std::string& reason)
{
    // Once per play, as for a device's stream.
    if (!m_decodeErrorReported)
    {
        m_observer->onFrameError(FrameUndecodable,
                                 "a live picture could not be decoded: " + reason);
    }
    m_decodeErrorReported = true;
}

void CameraStream::reportEnd(CameraReader::Result result, const CameraReader& reader,
                             int32_t channel)
{
    std::string which = "the live stream of " + CameraProbe::nameOf(m_url);
    if (m_url.hasChannelField())
    {
        which += " for channel " + std::to_string(channel);
    }
    switch (result)
    {
    case CameraReader::Result::Stopped:
    case CameraReader::Result::Packet:
        m_observer->onEnded(Ok, {});
        break;
    case CameraReader::Result::Refused:
        m_observer->onEnded(StreamRefused, which + " was refused: " + reader.error());
        break;
    case CameraReader::Result::Lost:
        m_observer->onEnded(StreamLost, which + " was lost: " + reader.error());
        break;
    }
}

} // namespace velkor

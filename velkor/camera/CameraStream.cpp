#include "velkor/camera/CameraStream.h"

#include "velkor/camera/CameraProbe.h"
#include "velkor/decode/CaptureClock.h"
#include "velkor/decode/PictureSink.h"
#include "velkor/live/LivePictures.h"
#include "velkor/report/LiveObserver.h"
#include "velkor/report/ResultCode.h"
#include "velkor/stats/LiveCounters.h"
#include "velkor/stats/LiveStatistics.h"

extern "C"
{
#include <libavcodec/packet.h>
#include <libavformat/version.h>
}

#include "velkor/net/Pause.h"

#include <exception>
#include <memory>

namespace velkor
{
namespace
{

struct PacketDeleter
{
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};

const char* transportName(CameraTransport transport)
{
    switch (transport)
    {
    case CameraTransport::RtspTcp:
        return "RTSP over TCP";
    case CameraTransport::RtspUdp:
        return "RTSP over UDP";
    case CameraTransport::HttpJpeg:
        break;
    }
    return "HTTP JPEG";
}

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
    m_running = true;
    m_thread = std::jthread(
        [this, channel](const std::stop_token& stop)
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
            m_running = false;
        });
}

void CameraStream::startAgain(int32_t channel, StreamChoice choice)
{
    stop();
    m_patience = std::chrono::milliseconds(0);
    start(channel, choice);
}

void CameraStream::stop()
{
    m_thread.request_stop();
    if (m_thread.joinable())
    {
        m_thread.join();
    }
}

void CameraStream::run(int32_t channel, const std::stop_token& stop)
{
    CameraReader reader(stop);
    const std::string url =
        m_url.withCredentials(channel, m_credentials.userName, m_credentials.password);
    CameraReader::Result result = open(reader, url, stop);
    if (result == CameraReader::Result::Packet)
    {
        if (LiveStatistics* statistics = m_output.statistics())
        {
            statistics->describeSource(m_url.forChannel(channel),
                                       transportName(reader.transport()));
        }
        m_onFormat(reader.codec());
        m_observer->onPlaying();
        if (!reader.unusedOptions().empty())
        {
            m_observer->onFrameError(InternalFailure,
                                     "libavformat " + std::string(LIBAVFORMAT_IDENT) +
                                         " did not use the options " + reader.unusedOptions() +
                                         " for " + CameraProbe::nameOf(m_url) +
                                         "; live play goes on without them");
        }
        result = play(reader);
    }
    reportEnd(result, reader, channel);
}

CameraReader::Result CameraStream::play(CameraReader& reader)
{
    const std::unique_ptr<AVPacket, PacketDeleter> packet(av_packet_alloc());
    if (!packet)
    {
        throw std::bad_alloc();
    }
    LivePictures pictures(&m_output, *m_observer);
    pictures.restart({&reader.parameters(), true});
    LiveCounters* counters = m_output.counters();
    LivePictures::Encoded encoded;
    encoded.codec = reader.codec();
    // libavformat parses every codec but JPEG, whose depacketiser gives whole pictures.
    CaptureClock clock(reader.microsecondsPerTick(), reader.codec() != VideoCodec::Jpeg);
    encoded.clock = &clock;
    CameraReader::Result result = CameraReader::Result::Packet;
    std::uint64_t cutOff = 0;
    const auto countCutOff = [&]
    {
        for (; cutOff < reader.picturesCutOff(); ++cutOff)
        {
            pictures.refuse("it was larger than " +
                            std::to_string(CameraReader::kMaxPictureBytes >> 20) +
                            " MiB and was cut off");
        }
    };
    while ((result = reader.read(*packet)) == CameraReader::Result::Packet)
    {
        countCutOff();
        if (counters != nullptr)
        {
            if (reader.skippedToBoundary())
            {
                counters->countUndecodable();
            }
            counters->countPart(std::nullopt);
        }
        encoded.keyframe = (packet->flags & AV_PKT_FLAG_KEY) != 0;
        clock.packet(packet->pts != AV_NOPTS_VALUE ? std::optional(packet->pts) : std::nullopt,
                     reader.capturedAt(*packet));
        pictures.show(*packet, encoded);
        av_packet_unref(packet.get());
    }
    countCutOff();
    return result;
}

CameraReader::Result CameraStream::open(CameraReader& reader, const std::string& url,
                                        const std::stop_token& stop)
{
    const auto patience = std::chrono::steady_clock::now() + m_patience;
    while (true)
    {
        const CameraReader::Result result = reader.open(url, m_url.scheme());
        if (result != CameraReader::Result::Lost || !reader.turnedAway() ||
            std::chrono::steady_clock::now() >= patience)
        {
            return result;
        }
        if (Pause::stopped(stop, std::chrono::milliseconds(50)))
        {
            return CameraReader::Result::Stopped;
        }
    }
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

#include "velkor/camera/CameraReader.h"

#include "common/AsciiText.h"
#include "velkor/camera/LibavLog.h"
#include "velkor/net/Pause.h"

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavcodec/defs.h>
#include <libavcodec/packet.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include <new>

namespace velkor
{
namespace
{

std::optional<VideoCodec> codecOf(AVCodecID id)
{
    switch (id)
    {
    case AV_CODEC_ID_H264:
        return VideoCodec::H264;
    case AV_CODEC_ID_HEVC:
        return VideoCodec::H265;
    case AV_CODEC_ID_MJPEG:
        return VideoCodec::Jpeg;
    case AV_CODEC_ID_MPEG4:
        return VideoCodec::Mpeg4;
    default:
        return std::nullopt;
    }
}

// How a camera that will not interleave RTP in the RTSP connection answers SETUP over TCP: 461
// as RTSP says, or, from servers that take only client ports (rtsp-server-perl), 400 or another
// 4xx. Credentials and paths (401, 403, 404) are no matter of transport.
bool refusesTcp(int code)
{
    return code == AVERROR(EPROTONOSUPPORT) || code == AVERROR_HTTP_BAD_REQUEST ||
           code == AVERROR_HTTP_OTHER_4XX;
}

std::string describe(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// "key=value, ...".
std::string listOf(const AVDictionary* options)
{
    std::string list;
    const AVDictionaryEntry* entry = nullptr;
    while ((entry = av_dict_get(options, "", entry, AV_DICT_IGNORE_SUFFIX)) != nullptr)
    {
        list += std::string(list.empty() ? "" : ", ") + entry->key + "=" + entry->value;
    }
    return list;
}

} // namespace

CameraReader::CameraReader(std::stop_token stop) : m_stop(std::move(stop)), m_input(m_stop)
{
    // Sets up TLS for https cameras, once for the process.
    static const int networkReady = []
    {
        av_max_alloc(kMaxAllocation);
        return avformat_network_init();
    }();
    static_cast<void>(networkReady);
}

CameraReader::~CameraReader()
{
    close();
}

CameraReader::Result CameraReader::open(const std::string& url, CameraScheme scheme)
{
    if (scheme != CameraScheme::Rtsp)
    {
        return openWith(url, nullptr);
    }
    // Interleaved in the RTSP connection first: nothing is lost or reordered, so nothing waits in
    // a reordering queue, and it passes where UDP from the camera would be filtered.
    const Result overTcp = openWith(url, "tcp");
    if (overTcp != Result::Refused || m_transport != CameraTransport::RtspUdp)
    {
        return overTcp;
    }
    // GStreamer's RTSP server answers 503 to a client that comes while the stream it shares is
    // being torn down after its last client left, as the one refused over TCP just did.
    if (Pause::stopped(m_stop, kUdpFallbackPause))
    {
        return Result::Stopped;
    }
    return openWith(url, "udp");
}

CameraReader::Result CameraReader::openWith(const std::string& url, const char* rtspTransport)
{
    close();
    m_turnedAway = false;
    const AVInputFormat* format = nullptr;
    AVDictionary* options = optionsFor(url, rtspTransport, format);
    m_cutOff = 0;
    m_peer = PeerInput();
    m_peerAtPacket.reset();
    const int opened = m_input.open(url, format, &options, kSilence);
    m_unusedOptions = listOf(options);
    av_dict_free(&options);
    m_context = m_input.context();
    if (opened < 0)
    {
        return notOpened(opened, rtspTransport != nullptr);
    }
    m_peer.find(url);
    m_peerAtPacket = m_peer.bytesReceived();
    return chooseVideo();
}

AVDictionary* CameraReader::optionsFor(const std::string& url, const char* rtspTransport,
                                       const AVInputFormat*& format)
{
    AVDictionary* options = nullptr;
    if (rtspTransport != nullptr)
    {
        av_dict_set(&options, "rtsp_transport", rtspTransport, 0);
        av_dict_set(&options, "allowed_media_types", "video", 0);
        // Only the first video track is set up, however many the description offers.
        av_dict_set(&options, "max_streams", "1", 0);
        m_transport = std::string_view(rtspTransport) == "tcp" ? CameraTransport::RtspTcp
                                                               : CameraTransport::RtspUdp;
        return options;
    }
    // The answer was judged at Open; probing it again would only cost time.
    format = av_find_input_format("mpjpeg");
    m_transport = CameraTransport::HttpJpeg;
    // As libcurl checked it at Open: libavformat trusts any certificate unless told.
    if (common::AsciiText::startsWithNoCase(url, "https://"))
    {
        av_dict_set(&options, "tls_verify", "1", 0);
    }
    return options;
}

CameraReader::Result CameraReader::notOpened(int code, bool rtsp)
{
    if (refusesTcp(code) && m_transport == CameraTransport::RtspTcp)
    {
        // The camera does not interleave. UDP is asked next.
        m_transport = CameraTransport::RtspUdp;
        m_error = "it refuses RTSP over TCP";
        return Result::Refused;
    }
    // libavformat's RTSP takes a connection closed before any answer for invalid data.
    if (code == AVERROR_INVALIDDATA && rtsp && !m_stop.stop_requested() && !m_input.overdue())
    {
        m_error = "it closed the connection";
        return Result::Lost;
    }
    return failed(code);
}

CameraReader::Result CameraReader::chooseVideo()
{
    m_videoIndex = av_find_best_stream(m_context, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (m_videoIndex < 0)
    {
        m_error = "it sends no video";
        return Result::Refused;
    }
    for (unsigned i = 0; i < m_context->nb_streams; ++i)
    {
        if (static_cast<int>(i) != m_videoIndex)
        {
            m_context->streams[i]->discard = AVDISCARD_ALL;
        }
    }
    const AVCodecID id = m_context->streams[m_videoIndex]->codecpar->codec_id;
    const auto codec = codecOf(id);
    if (!codec)
    {
        m_error = "it sends video as " + std::string(avcodec_get_name(id)) +
                  ", which the library does not decode";
        return Result::Refused;
    }
    m_codec = *codec;
    return Result::Packet;
}

CameraReader::Result CameraReader::read(AVPacket& packet)
{
    if (m_context == nullptr)
    {
        return Result::Lost;
    }
    m_skippedToBoundary = false;
    const LibavLog::Listening listening(*m_input.log());
    while (true)
    {
        const int got = av_read_frame(m_context, &packet);
        // Nothing there yet, which libavformat may say of a socket it reads without blocking.
        if (got == AVERROR(EAGAIN) && !m_input.overdue())
        {
            if (Pause::stopped(m_stop, kAgainPause))
            {
                return Result::Stopped;
            }
            continue;
        }
        if (got < 0 && !skipToBoundary(got))
        {
            return failed(got);
        }
        if (got < 0)
        {
            continue;
        }
        // A stop cuts the picture being read short, and libavformat hands on what it had.
        if (m_stop.stop_requested())
        {
            av_packet_unref(&packet);
            return Result::Stopped;
        }
        // So does the silence deadline, and what the parser held then is no picture, nor the end
        // of the silence.
        if (m_input.overdue())
        {
            av_packet_unref(&packet);
            return failed(AVERROR_EXIT);
        }
        if (packet.stream_index == m_videoIndex && packet.size > kMaxPictureBytes)
        {
            ++m_cutOff;
        }
        else if (packet.stream_index == m_videoIndex)
        {
            m_input.expectBy(kSilence);
            m_peerAtPacket = m_peer.bytesReceived();
            return Result::Packet;
        }
        av_packet_unref(&packet);
    }
}

bool CameraReader::skipToBoundary(int code)
{
    // A part whose Content-Length lies leaves the mpjpeg demuxer off its boundary, and it says
    // so as invalid data. Each such read consumes one line, so reading on finds the next
    // boundary, as players do, within the silence deadline.
    if (code != AVERROR_INVALIDDATA || m_transport != CameraTransport::HttpJpeg ||
        m_stop.stop_requested() || m_input.overdue())
    {
        return false;
    }
    m_skippedToBoundary = true;
    return true;
}

const AVCodecParameters& CameraReader::parameters() const
{
    return *m_context->streams[m_videoIndex]->codecpar;
}

std::optional<std::int64_t> CameraReader::capturedAt(const AVPacket& packet) const
{
    // The RTP demuxer stamps each packet with the wall-clock time that the camera's last sender
    // report maps its RTP time to.
    std::size_t size = 0;
    const auto* reference = reinterpret_cast<const AVProducerReferenceTime*>(
        av_packet_get_side_data(&packet, AV_PKT_DATA_PRFT, &size));
    if (reference == nullptr || size < sizeof(AVProducerReferenceTime))
    {
        return std::nullopt;
    }
    return reference->wallclock;
}

double CameraReader::microsecondsPerTick() const
{
    return av_q2d(m_context->streams[m_videoIndex]->time_base) * 1e6;
}

std::uint64_t CameraReader::picturesCutOff() const
{
    const LibavLog* log = m_input.log();
    return m_cutOff + (log != nullptr ? log->outgrown() : 0);
}

std::string CameraReader::silence() const
{
    const std::string span = std::to_string(kSilence.count() / 1000) + " s";
    std::string text;
    const auto input = m_peer.bytesReceived();
    // A camera's sender reports and keep-alive answers go on while its video stalls.
    constexpr std::uint64_t kChatter = 16 << 10;
    if (input && m_peerAtPacket && *input - *m_peerAtPacket > kChatter)
    {
        text = "no picture came for " + span + ", although " +
               std::to_string((*input - *m_peerAtPacket) >> 10) + " KiB arrived";
    }
    else
    {
        text = "nothing arrived for " + span;
    }
    if (const std::uint64_t cutOff = picturesCutOff(); cutOff > 0)
    {
        text += "; " + std::to_string(cutOff) + " picture(s) larger than " +
                std::to_string(kMaxPictureBytes >> 20) + " MiB were cut off";
    }
    return text;
}

CameraReader::Result CameraReader::failed(int code)
{
    if (m_stop.stop_requested())
    {
        return Result::Stopped;
    }
    if (std::string refusal = m_input.redirectRefusal(); !refusal.empty())
    {
        m_error = std::move(refusal);
        return Result::Refused;
    }
    if (m_input.overdue())
    {
        m_error = silence();
        return Result::Lost;
    }
    m_turnedAway = code == AVERROR(ECONNREFUSED) || code == AVERROR_HTTP_SERVER_ERROR;
    switch (code)
    {
    case AVERROR_HTTP_UNAUTHORIZED:
        m_error = "it refused the user name and password";
        return Result::Refused;
    case AVERROR_HTTP_FORBIDDEN:
    case AVERROR_HTTP_NOT_FOUND:
        m_error = "it has no stream there (" + describe(code) + ")";
        return Result::Refused;
    case AVERROR_EOF:
        m_error = "it ended the stream";
        return Result::Lost;
    case AVERROR(ECONNRESET):
    case AVERROR(EPIPE):
        m_error = "it closed the connection";
        return Result::Lost;
    case AVERROR(ENOMEM):
        // libavformat collects a picture or an answer whole, and no block outgrows kMaxAllocation.
        ++m_cutOff;
        m_error = "it sent more in one piece than the library takes (a picture is cut off at " +
                  std::to_string(kMaxPictureBytes >> 20) + " MiB)";
        return Result::Lost;
    case AVERROR_EXIT:
        m_error = "the library stopped waiting for it";
        return Result::Lost;
    default:
        m_error = describe(code);
        if (const LibavLog* log = m_input.log(); log != nullptr && !log->last().empty())
        {
            m_error += " (" + log->last() + ")";
        }
        return Result::Lost;
    }
}

void CameraReader::close()
{
    // Sends TEARDOWN to an RTSP camera.
    m_input.close();
    m_context = nullptr;
    m_videoIndex = -1;
}

} // namespace velkor

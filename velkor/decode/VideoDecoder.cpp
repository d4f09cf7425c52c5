#include "velkor/decode/VideoDecoder.h"

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
}

#include <algorithm>
#include <thread>

namespace velkor
{
namespace
{

AVCodecID codecIdOf(VideoCodec codec)
{
    switch (codec)
    {
    case VideoCodec::Mpeg4:
        return AV_CODEC_ID_MPEG4;
    case VideoCodec::H264:
        return AV_CODEC_ID_H264;
    case VideoCodec::H265:
        return AV_CODEC_ID_HEVC;
    case VideoCodec::Jpeg:
        break;
    }
    return AV_CODEC_ID_NONE;
}

std::string describe(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

} // namespace

VideoDecoder::VideoDecoder(VideoCodec codec, int threads, EncodedStream stream)
    : m_reordered(stream.reordered)
{
    const AVCodec* decoder = avcodec_find_decoder(codecIdOf(codec));
    if (decoder == nullptr)
    {
        m_error = "libavcodec has no " + std::string(StreamFormats::name(codec)) + " decoder";
        return;
    }
    const int count = threads > 0 ? threads : defaultThreads();
    int opened = open(*decoder, count, stream.parameters);
    if (opened < 0 && m_context == nullptr && stream.parameters != nullptr)
    {
        // Parameter sets the decoder turns away in a description (a picture size beyond its
        // limits, a malformed SEI) must not cost a stream whose keyframes carry good ones.
        opened = open(*decoder, count, nullptr);
    }
    if (opened < 0 && m_error.empty())
    {
        m_error = "cannot open the " + std::string(StreamFormats::name(codec)) +
                  " decoder: " + describe(opened);
    }
}

int VideoDecoder::open(const AVCodec& decoder, int threads, const AVCodecParameters* parameters)
{
    m_context = avcodec_alloc_context3(&decoder);
    if (m_context == nullptr)
    {
        m_error = "out of memory for the decoder";
        return AVERROR(ENOMEM);
    }
    if (parameters != nullptr && avcodec_parameters_to_context(m_context, parameters) < 0)
    {
        m_error = "out of memory for the stream's parameters";
        avcodec_free_context(&m_context);
        return AVERROR(ENOMEM);
    }
    // One picture in, one out, at once: frame threads would hold pictures back. Not for a
    // reordered stream, whose pictures would come out in the order they were sent.
    if (!m_reordered)
    {
        m_context->flags |= AV_CODEC_FLAG_LOW_DELAY;
    }
    m_context->thread_type = FF_THREAD_SLICE;
    m_context->thread_count = threads;
    // No AV_EF_EXPLODE: damage is concealed and the picture shown, as players do, rather than
    // everything dropped until the next keyframe.
    m_context->max_pixels = kMaxPixels;
    // Broken pictures are reported once through OnError; the decoder's own complaints about each
    // of them would only fill the host's standard error.
    m_context->log_level_offset = AV_LOG_TRACE;
    const int opened = avcodec_open2(m_context, &decoder, nullptr);
    if (opened < 0)
    {
        avcodec_free_context(&m_context);
    }
    return opened;
}

int VideoDecoder::defaultThreads()
{
    // One core stays for receiving and drawing (and, on a small machine, the X server). On two
    // cores a second slice thread made decoding slower as well as dearer (H.265 at 640: 0.31 ms
    // of CPU per picture alone, 0.81 ms with two threads).
    const unsigned cores = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp(cores > 1 ? cores - 1 : 1U, 1U, 4U));
}

VideoDecoder::~VideoDecoder()
{
    avcodec_free_context(&m_context);
}

bool VideoDecoder::decode(const AVPacket& packet, PictureSize /*fit*/)
{
    if (m_context == nullptr)
    {
        return false;
    }
    if (packet.data == nullptr || packet.size <= 0)
    {
        return fail("empty picture");
    }
    m_picture.reset();
    m_concealed = false;
    const int sent = avcodec_send_packet(m_context, &packet);
    if (sent < 0)
    {
        return fail("the decoder refused it", sent);
    }
    bool got = false;
    m_replaced = 0;
    while (true)
    {
        const int received = avcodec_receive_frame(m_context, m_received.get());
        if (received == AVERROR(EAGAIN))
        {
            break;
        }
        if (received < 0)
        {
            return fail("the decoder failed on it", received);
        }
        m_replaced += got ? 1 : 0;
        if (!receive())
        {
            return false;
        }
        got = true;
    }
    return got || m_reordered || fail("it gave no picture");
}

bool VideoDecoder::receive()
{
    const AVFrame& frame = *m_received.get();
    m_concealed = frame.decode_error_flags != 0 || (frame.flags & AV_FRAME_FLAG_CORRUPT) != 0;
    if (static_cast<long long>(frame.width) * frame.height > kMaxPixels)
    {
        m_received.reset();
        return fail("picture too large");
    }
#ifdef AV_FRAME_FLAG_KEY
    m_keyframe = (frame.flags & AV_FRAME_FLAG_KEY) != 0;
#else
    m_keyframe = frame.key_frame != 0;
#endif
    m_pictureSize = {frame.width, frame.height};
    m_picture.take(m_received);
    return true;
}

std::string VideoDecoder::profile() const
{
    const char* name = m_context != nullptr
                           ? avcodec_profile_name(m_context->codec_id, m_context->profile)
                           : nullptr;
    return name != nullptr ? name : std::string();
}

void VideoDecoder::reset()
{
    if (m_context != nullptr)
    {
        avcodec_flush_buffers(m_context);
    }
    m_picture.reset();
}

bool VideoDecoder::fail(std::string reason)
{
    m_error = std::move(reason);
    return false;
}

bool VideoDecoder::fail(const char* what, int code)
{
    return fail(std::string(what) + " (" + describe(code) + ")");
}

} // namespace velkor

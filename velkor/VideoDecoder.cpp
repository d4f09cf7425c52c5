#include "velkor/VideoDecoder.h"

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
}

#include <algorithm>
#include <cstring>
#include <limits>
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

// libavcodec names full-range formats apart; libswscale wants the plain one and a flag.
AVPixelFormat plainFormat(AVPixelFormat format, bool& fullRange)
{
    switch (format)
    {
    case AV_PIX_FMT_YUVJ420P:
        fullRange = true;
        return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P:
        fullRange = true;
        return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P:
        fullRange = true;
        return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P:
        fullRange = true;
        return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P:
        fullRange = true;
        return AV_PIX_FMT_YUV411P;
    default:
        return format;
    }
}

std::string describe(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

} // namespace

VideoDecoder::VideoDecoder(VideoCodec codec, int threads)
{
    const AVCodec* decoder = avcodec_find_decoder(codecIdOf(codec));
    if (decoder == nullptr)
    {
        m_error = "libavcodec has no " + std::string(StreamFormats::name(codec)) + " decoder";
        return;
    }
    m_context = avcodec_alloc_context3(decoder);
    m_packet = av_packet_alloc();
    m_frame = av_frame_alloc();
    m_received = av_frame_alloc();
    if (m_context == nullptr || m_packet == nullptr || m_frame == nullptr || m_received == nullptr)
    {
        m_error = "out of memory for the decoder";
        return;
    }
    // One picture in, one out, at once: frame threads would hold pictures back.
    m_context->flags |= AV_CODEC_FLAG_LOW_DELAY;
    m_context->thread_type = FF_THREAD_SLICE;
    m_context->thread_count = threads > 0 ? threads : defaultThreads();
    // Damage is an error rather than something hidden, so the picture can wait for a keyframe.
    m_context->err_recognition = AV_EF_EXPLODE;
    m_context->max_pixels = kMaxPixels;
    // Broken pictures are reported once through OnError; the decoder's own complaints about each
    // of them would only fill the host's standard error.
    m_context->log_level_offset = AV_LOG_TRACE;
    const int opened = avcodec_open2(m_context, decoder, nullptr);
    if (opened < 0)
    {
        m_error = "cannot open the " + std::string(StreamFormats::name(codec)) +
                  " decoder: " + describe(opened);
        avcodec_free_context(&m_context);
    }
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
    av_frame_free(&m_received);
    av_frame_free(&m_frame);
    av_packet_free(&m_packet);
    avcodec_free_context(&m_context);
}

bool VideoDecoder::decode(const std::uint8_t* data, std::size_t size, PictureSize /*fit*/)
{
    if (m_context == nullptr)
    {
        return false;
    }
    if (data == nullptr || size == 0)
    {
        return fail("empty picture");
    }
    if (size >
        static_cast<std::size_t>(std::numeric_limits<int>::max() - AV_INPUT_BUFFER_PADDING_SIZE))
    {
        return fail("picture too large");
    }
    // libavcodec reads ahead of the data by up to the padding, which must be zero.
    m_padded.resize(size + AV_INPUT_BUFFER_PADDING_SIZE);
    std::memcpy(m_padded.data(), data, size);
    std::memset(m_padded.data() + size, 0, AV_INPUT_BUFFER_PADDING_SIZE);
    m_packet->data = m_padded.data();
    m_packet->size = static_cast<int>(size);
    const int sent = avcodec_send_packet(m_context, m_packet);
    if (sent < 0)
    {
        return fail("the decoder refused it", sent);
    }
    bool got = false;
    while (true)
    {
        // Into a frame of its own: receiving empties the frame it is given, even when no picture
        // comes.
        const int received = avcodec_receive_frame(m_context, m_received);
        if (received == AVERROR(EAGAIN))
        {
            break;
        }
        if (received < 0)
        {
            return fail("the decoder failed on it", received);
        }
        if (m_received->decode_error_flags != 0 || (m_received->flags & AV_FRAME_FLAG_CORRUPT) != 0)
        {
            av_frame_unref(m_received);
            return fail("it is damaged");
        }
        av_frame_unref(m_frame);
        av_frame_move_ref(m_frame, m_received);
        takePicture();
        got = true;
    }
    if (!got)
    {
        return fail("it gave no picture");
    }
    if (static_cast<long long>(m_image.width) * m_image.height > kMaxPixels)
    {
        return fail("picture too large");
    }
    return true;
}

void VideoDecoder::takePicture()
{
    m_image = PlanarImage{};
    m_image.fullRange = m_frame->color_range == AVCOL_RANGE_JPEG;
    m_image.format = plainFormat(static_cast<AVPixelFormat>(m_frame->format), m_image.fullRange);
    m_image.width = m_frame->width;
    m_image.height = m_frame->height;
    for (std::size_t i = 0; i < m_image.planes.size(); ++i)
    {
        m_image.planes[i] = m_frame->data[i];
        m_image.strides[i] = m_frame->linesize[i];
    }
    m_image.colorspace = m_frame->colorspace;
    m_keyframe = m_frame->key_frame != 0;
}

void VideoDecoder::reset()
{
    if (m_context != nullptr)
    {
        avcodec_flush_buffers(m_context);
    }
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

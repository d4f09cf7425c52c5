#include "device/VideoEncoder.h"

#include "device/YuvImage.h"

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

#include <mutex>

namespace velkordevice
{

namespace
{

// A fixed quantiser keeps MPEG-4 pictures sharp at any width without a bit rate per width.
constexpr int kMpeg4Quantiser = 4;

const char* encoderName(StreamFormat format)
{
    switch (format)
    {
    case StreamFormat::Mpeg4:
        return "mpeg4";
    case StreamFormat::H264:
        return "libx264";
    case StreamFormat::H265:
        return "libx265";
    case StreamFormat::Jpeg:
        break;
    }
    return "";
}

std::string errorText(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// The encoder's settings for live viewing, beyond those every codec shares.
AVDictionary* codecOptions(StreamFormat format, AVCodecContext& context)
{
    AVDictionary* options = nullptr;
    switch (format)
    {
    case StreamFormat::Mpeg4:
        context.flags |= AV_CODEC_FLAG_QSCALE;
        context.global_quality = FF_QP2LAMBDA * kMpeg4Quantiser;
        break;
    case StreamFormat::H264:
        av_dict_set(&options, "preset", "superfast", 0);
        av_dict_set(&options, "tune", "zerolatency", 0);
        av_dict_set(&options, "forced-idr", "1", 0);
        break;
    case StreamFormat::H265:
        av_dict_set(&options, "preset", "ultrafast", 0);
        av_dict_set(&options, "tune", "zerolatency", 0);
        av_dict_set(&options, "forced-idr", "1", 0);
        // A closed GOP: every keyframe an IDR that a joining decoder can start at.
        av_dict_set(&options, "x265-params", "log-level=error:open-gop=0:repeat-headers=1", 0);
        break;
    case StreamFormat::Jpeg:
        break;
    }
    return options;
}

void quietLibraryLog()
{
    // libx264 and libx265 report their settings for every encoder they open; the device's
    // stderr is kept for its own messages.
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_ERROR); });
}

} // namespace

VideoEncoder::VideoEncoder(StreamFormat format, int width, int height, int fps)
    : m_converter(width, height)
{
    quietLibraryLog();
    m_ready = open(format, width, height, fps);
}

VideoEncoder::~VideoEncoder()
{
    avcodec_free_context(&m_context);
    av_frame_free(&m_frame);
    av_packet_free(&m_packet);
}

bool VideoEncoder::fail(const std::string& what, int code)
{
    m_error = what;
    if (code < 0)
    {
        m_error += ": " + errorText(code);
    }
    return false;
}

bool VideoEncoder::open(StreamFormat format, int width, int height, int fps)
{
    const AVCodec* codec = avcodec_find_encoder_by_name(encoderName(format));
    if (!codec)
    {
        return fail(std::string("libavcodec has no encoder ") + encoderName(format), 0);
    }
    if (!m_converter.ready())
    {
        return fail(
            "libswscale cannot convert " + std::to_string(width) + "x" + std::to_string(height), 0);
    }
    m_context = avcodec_alloc_context3(codec);
    m_frame = av_frame_alloc();
    m_packet = av_packet_alloc();
    if (!m_context || !m_frame || !m_packet)
    {
        return fail("out of memory", 0);
    }
    m_context->width = width;
    m_context->height = height;
    m_context->pix_fmt = AV_PIX_FMT_YUV420P;
    m_context->time_base = AVRational{1, fps};
    m_context->framerate = AVRational{fps, 1};
    m_context->gop_size = fps;
    m_context->max_b_frames = 0;
    m_context->color_range = AVCOL_RANGE_MPEG;
    m_context->colorspace = AVCOL_SPC_SMPTE170M;
    m_context->color_primaries = AVCOL_PRI_SMPTE170M;
    m_context->color_trc = AVCOL_TRC_SMPTE170M;
    // Streams are encoded side by side, each on its own thread; libx265 keeps its own pool.
    m_context->thread_count = 1;

    AVDictionary* options = codecOptions(format, *m_context);
    const int opened = avcodec_open2(m_context, codec, &options);
    av_dict_free(&options);
    if (opened < 0)
    {
        return fail(std::string("cannot open ") + encoderName(format), opened);
    }

    return allocateFrame(width, height);
}

bool VideoEncoder::allocateFrame(int width, int height)
{
    m_frame->format = AV_PIX_FMT_YUV420P;
    m_frame->width = width;
    m_frame->height = height;
    m_frame->color_range = AVCOL_RANGE_MPEG;
    m_frame->colorspace = AVCOL_SPC_SMPTE170M;
    const int allocated = av_frame_get_buffer(m_frame, 0);
    if (allocated < 0)
    {
        return fail("cannot allocate a frame", allocated);
    }
    return true;
}

bool VideoEncoder::encode(const YuvImage& image, std::uint64_t pictureNumber, bool forceKeyframe,
                          std::vector<unsigned char>& out, bool& keyframe)
{
    if (!m_ready)
    {
        return false;
    }
    // The encoder may still hold references to the last picture's buffer.
    const int writable = av_frame_make_writable(m_frame);
    if (writable < 0)
    {
        return fail("cannot reuse the frame", writable);
    }
    if (!m_converter.convert(image, *m_frame))
    {
        return fail("cannot convert the picture", 0);
    }
    m_frame->pts = static_cast<std::int64_t>(pictureNumber);
    m_frame->pict_type = forceKeyframe ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    m_frame->quality = m_context->global_quality;
    const int sent = avcodec_send_frame(m_context, m_frame);
    if (sent < 0)
    {
        return fail("cannot encode", sent);
    }
    out.clear();
    keyframe = false;
    // Without look-ahead or B-frames each picture comes out at once as one packet.
    int received = 0;
    while ((received = avcodec_receive_packet(m_context, m_packet)) == 0)
    {
        out.insert(out.end(), m_packet->data, m_packet->data + m_packet->size);
        keyframe = keyframe || (m_packet->flags & AV_PKT_FLAG_KEY) != 0;
        av_packet_unref(m_packet);
    }
    if (received != AVERROR(EAGAIN))
    {
        return fail("cannot encode", received);
    }
    if (out.empty())
    {
        return fail("the encoder held the picture back", 0);
    }
    return true;
}

} // namespace velkordevice

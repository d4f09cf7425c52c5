#include "tests/velkor/support/TestVideo.h"

#include "tests/velkor/support/TestJpeg.h"

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

#include <cstdint>
#include <memory>

namespace velkortest
{
namespace
{

struct ContextDeleter
{
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameDeleter
{
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketDeleter
{
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};

// A diagonal ramp that scrolls and a bright block that crosses the picture.
void paint(AVFrame& frame, int index)
{
    for (int y = 0; y < frame.height; ++y)
    {
        std::uint8_t* row = frame.data[0] + static_cast<std::ptrdiff_t>(y) * frame.linesize[0];
        for (int x = 0; x < frame.width; ++x)
        {
            const int shifted = ((x - index * 8) % frame.width + frame.width) % frame.width;
            const bool block =
                shifted < frame.width / 6 && y > frame.height / 3 && y < frame.height * 2 / 3;
            row[x] = block ? 235 : static_cast<std::uint8_t>(32 + (x + y + index * 6) % 160);
        }
    }
    for (int plane = 1; plane < 3; ++plane)
    {
        for (int y = 0; y < frame.height / 2; ++y)
        {
            std::uint8_t* row =
                frame.data[plane] + static_cast<std::ptrdiff_t>(y) * frame.linesize[plane];
            for (int x = 0; x < frame.width / 2; ++x)
            {
                row[x] = static_cast<std::uint8_t>(plane == 1 ? 64 + x % 128 : 192 - y % 128);
            }
        }
    }
}

const char* encoderOf(const std::string& format)
{
    if (format == "mpeg4")
    {
        return "mpeg4";
    }
    if (format == "h264")
    {
        return "libx264";
    }
    if (format == "h265")
    {
        return "libx265";
    }
    return nullptr;
}

std::unique_ptr<AVCodecContext, ContextDeleter> openEncoder(const std::string& format, int width,
                                                            int height, int keyframeInterval)
{
    const AVCodec* codec = avcodec_find_encoder_by_name(encoderOf(format));
    if (codec == nullptr)
    {
        return nullptr;
    }
    std::unique_ptr<AVCodecContext, ContextDeleter> context(avcodec_alloc_context3(codec));
    context->width = width;
    context->height = height;
    context->pix_fmt = AV_PIX_FMT_YUV420P;
    context->time_base = {1, 25};
    context->framerate = {25, 1};
    context->gop_size = keyframeInterval;
    context->max_b_frames = 0;
    context->thread_count = 1;
    // Quiet: x264 prints its statistics when it closes.
    context->log_level_offset = AV_LOG_TRACE;
    if (format == "mpeg4")
    {
        context->bit_rate = 400000;
    }
    if (format == "h264")
    {
        av_opt_set(context->priv_data, "preset", "ultrafast", 0);
        av_opt_set(context->priv_data, "tune", "zerolatency", 0);
    }
    if (format == "h265")
    {
        av_opt_set(context->priv_data, "preset", "ultrafast", 0);
        av_opt_set(context->priv_data, "tune", "zerolatency", 0);
        av_opt_set(context->priv_data, "x265-params",
                   "log-level=error:pools=none:frame-threads=1:open-gop=0", 0);
    }
    if (avcodec_open2(context.get(), codec, nullptr) < 0)
    {
        return nullptr;
    }
    return context;
}

} // namespace

std::vector<AccessUnit> encodeTestVideo(const std::string& format, int width, int height,
                                        int frames, int keyframeInterval)
{
    std::vector<AccessUnit> units;
    if (format == "jpeg")
    {
        for (int i = 0; i < frames; ++i)
        {
            units.push_back({makeJpeg(width, height, i % 4), true});
        }
        return units;
    }
    const auto context = openEncoder(format, width, height, keyframeInterval);
    std::unique_ptr<AVFrame, FrameDeleter> frame(av_frame_alloc());
    std::unique_ptr<AVPacket, PacketDeleter> packet(av_packet_alloc());
    if (!context || !frame || !packet)
    {
        return units;
    }
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = width;
    frame->height = height;
    if (av_frame_get_buffer(frame.get(), 0) < 0)
    {
        return units;
    }
    const auto drain = [&]
    {
        while (avcodec_receive_packet(context.get(), packet.get()) == 0)
        {
            units.push_back({std::string(reinterpret_cast<const char*>(packet->data),
                                         static_cast<std::size_t>(packet->size)),
                             (packet->flags & AV_PKT_FLAG_KEY) != 0});
            av_packet_unref(packet.get());
        }
    };
    for (int i = 0; i < frames; ++i)
    {
        if (av_frame_make_writable(frame.get()) < 0)
        {
            return {};
        }
        paint(*frame, i);
        frame->pts = i;
        if (avcodec_send_frame(context.get(), frame.get()) < 0)
        {
            return {};
        }
        drain();
    }
    avcodec_send_frame(context.get(), nullptr);
    drain();
    return units;
}

std::string contentTypeOf(const std::string& format)
{
    if (format == "mpeg4")
    {
        return "video/MP4V-ES";
    }
    if (format == "h264")
    {
        return "video/H264";
    }
    if (format == "h265")
    {
        return "video/H265";
    }
    return "image/jpeg";
}

} // namespace velkortest

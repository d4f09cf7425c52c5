// What libavformat's options cost in delay on an RTSP camera: GStreamer's RTSP server sends a
// 1280x720 25 fps stream (one keyframe a second) that a keeper client holds running, as a camera
// runs whether anyone watches or not; each set of options below then opens it ROUNDS times and
// reads for 3 s, decoding every packet. Reported: the time to open, to the first packet and to the
// first picture decoded, and the latency from the camera's capture time (its RTCP sender reports,
// as libavformat stamps them on each packet) to the picture decoded.
//
// Usage: velkor_camera_options_bench [ROUNDS=5] [MOUNT=/h264]
#include "bench/support/ProcessClock.h"
#include "tests/support/ProcessRunner.h"
#include "tests/support/RtspCamera.h"

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/time.h>
}

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace
{

struct OptionSet
{
    const char* name;
    std::map<std::string, std::string> options;
    // As players do, to learn what the description leaves out.
    bool findStreamInfo = false;
};

struct Round
{
    double openMs = -1;
    double firstPacketMs = -1;
    double firstPictureMs = -1;
    std::vector<double> latenciesMs;
};

double median(std::vector<double> values)
{
    if (values.empty())
    {
        return -1;
    }
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double msSince(std::int64_t start)
{
    return static_cast<double>(av_gettime_relative() - start) / 1000.0;
}

std::optional<std::int64_t> capturedAt(const AVPacket& packet)
{
    std::size_t size = 0;
    const auto* reference = reinterpret_cast<const AVProducerReferenceTime*>(
        av_packet_get_side_data(&packet, AV_PKT_DATA_PRFT, &size));
    return reference != nullptr ? std::optional(reference->wallclock) : std::nullopt;
}

Round measure(const std::string& url, const OptionSet& set, double seconds)
{
    Round round;
    AVDictionary* options = nullptr;
    for (const auto& [key, value] : set.options)
    {
        av_dict_set(&options, key.c_str(), value.c_str(), 0);
    }
    const std::int64_t start = av_gettime_relative();
    AVFormatContext* context = nullptr;
    const int opened = avformat_open_input(&context, url.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0)
    {
        std::fprintf(stderr, "%s: cannot open %s\n", set.name, url.c_str());
        return round;
    }
    if (set.findStreamInfo)
    {
        avformat_find_stream_info(context, nullptr);
    }
    round.openMs = msSince(start);
    const int video = av_find_best_stream(context, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const AVCodecParameters* parameters = context->streams[video]->codecpar;
    AVCodecContext* decoder = avcodec_alloc_context3(avcodec_find_decoder(parameters->codec_id));
    avcodec_parameters_to_context(decoder, parameters);
    decoder->flags |= AV_CODEC_FLAG_LOW_DELAY;
    avcodec_open2(decoder, decoder->codec, nullptr);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    while (msSince(start) < seconds * 1000 && av_read_frame(context, packet) >= 0)
    {
        if (packet->stream_index == video)
        {
            if (round.firstPacketMs < 0)
            {
                round.firstPacketMs = msSince(start);
            }
            const auto captured = capturedAt(*packet);
            if (avcodec_send_packet(decoder, packet) >= 0)
            {
                while (avcodec_receive_frame(decoder, frame) >= 0)
                {
                    if (round.firstPictureMs < 0)
                    {
                        round.firstPictureMs = msSince(start);
                    }
                    if (captured)
                    {
                        round.latenciesMs.push_back(static_cast<double>(av_gettime() - *captured) /
                                                    1000.0);
                    }
                }
            }
        }
        av_packet_unref(packet);
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&context);
    return round;
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::string mount = argc > 2 ? argv[2] : "/h264";
    av_log_set_level(AV_LOG_ERROR);
    avformat_network_init();
    velkortest::RtspCamera camera({"--size", "1280x720", "--keyframe-interval", "25"});
    if (!camera.ready())
    {
        std::fprintf(stderr, "the RTSP camera did not start: %s\n", camera.banner().c_str());
        return 1;
    }
    const std::string url = camera.url(mount);
    velkortest::ProcessRunner keeper;
    keeper.start({"ffmpeg", "-nostdin", "-loglevel", "quiet", "-rtsp_transport", "tcp", "-i", url,
                  "-c", "copy", "-f", "null", "-"});

    const std::vector<OptionSet> sets{
        {"tcp, stream info found as players do", {{"rtsp_transport", "tcp"}}, true},
        {"tcp, stream info found, probesize 32, analyzeduration 0",
         {{"rtsp_transport", "tcp"}, {"probesize", "32"}, {"analyzeduration", "0"}},
         true},
        {"tcp, description only (the library)", {{"rtsp_transport", "tcp"}}, false},
        {"tcp, description only, fflags nobuffer",
         {{"rtsp_transport", "tcp"}, {"fflags", "nobuffer"}},
         false},
        {"udp, description only", {{"rtsp_transport", "udp"}}, false},
        {"udp, description only, reorder_queue_size 0",
         {{"rtsp_transport", "udp"}, {"reorder_queue_size", "0"}},
         false},
    };
    std::printf("%s at 1280x720 25 fps, keyframe every 25 pictures; %d rounds of 3 s each "
                "(load average %.2f before)\n",
                url.c_str(), rounds, LoadAverage());
    std::printf("%-58s %8s %8s %8s %9s %9s\n", "options", "open", "packet", "picture", "lat p50",
                "lat max");
    for (const OptionSet& set : sets)
    {
        std::vector<double> open;
        std::vector<double> packet;
        std::vector<double> picture;
        std::vector<double> latencies;
        for (int i = 0; i < rounds; ++i)
        {
            const Round round = measure(url, set, 3.0);
            open.push_back(round.openMs);
            packet.push_back(round.firstPacketMs);
            picture.push_back(round.firstPictureMs);
            latencies.insert(latencies.end(), round.latenciesMs.begin(), round.latenciesMs.end());
        }
        std::sort(latencies.begin(), latencies.end());
        std::printf("%-58s %6.0f ms %6.0f ms %6.0f ms %6.1f ms %6.1f ms\n", set.name, median(open),
                    median(packet), median(picture), median(latencies),
                    latencies.empty() ? -1.0 : latencies.back());
    }
    std::printf("medians of the rounds; latency over every picture of every round "
                "(load average %.2f after)\n",
                LoadAverage());
    return 0;
}

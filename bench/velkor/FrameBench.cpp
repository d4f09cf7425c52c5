// What one live frame costs the library, against the bare decode of the same frames: the whole
// path (multipart parsing, decoding, converting, scaling and drawing into an 800 x 600 window on
// DISPLAY) fed parts captured from the emulator, against TurboJPEG's or libavcodec's decode of
// those parts alone with the library's decoder settings. CPU is the whole process's, decoder
// threads included. Without DISPLAY the path stops after decoding.
#include "bench/support/BenchWindow.h"
#include "bench/support/ProcessClock.h"
#include "bench/velkor/StreamCapture.h"
#include "tests/support/Emulator.h"
#include "velkor/decode/PictureSink.h"
#include "velkor/decode/VideoDecoder.h"
#include "velkor/draw/VideoOutput.h"
#include "velkor/native/FramePipeline.h"
#include "velkor/report/LiveObserver.h"
#include "velkor/stats/LiveCounters.h"

#include <benchmark/benchmark.h>
#include <turbojpeg.h>

extern "C"
{
#include <libavcodec/avcodec.h>
}

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace
{

using velkortest::CapturedPart;

constexpr std::size_t kFramesPerStream = 50;

class CountingObserver : public velkor::LiveObserver
{
public:
    void onPlaying() override {}
    void onPictureSize(int, int, std::size_t) override {}
    void onFrameError(int32_t, const std::string&) override { ++errors; }
    void onEnded(int32_t, const std::string&) override {}

    std::size_t errors = 0;
};

// Draws each picture at once on the stream's thread, so that its whole cost is counted.
class DrawingAtOnce : public velkor::PictureSink
{
public:
    explicit DrawingAtOnce(velkor::VideoOutput& output) : m_output(output) {}

    bool present(velkor::Frame& picture) override
    {
        const bool drawn = m_output.draw(picture);
        picture.reset();
        if (drawn)
        {
            m_counters.countDrawn(std::nullopt);
        }
        return drawn;
    }
    velkor::PictureSize drawnSize() const override { return m_output.drawnSize(); }
    velkor::LiveCounters* counters() override { return &m_counters; }

private:
    velkor::VideoOutput& m_output;
    velkor::LiveCounters m_counters;
};

// The emulator's frames of one stream, captured once per run.
const std::vector<CapturedPart>& framesOf(const std::string& format, int width, std::string& error)
{
    static velkortest::Emulator emulator(std::vector<std::string>{"--channels", "1"});
    static std::map<std::pair<std::string, int>, std::vector<CapturedPart>> captured;
    auto& frames = captured[{format, width}];
    if (frames.empty() && emulator.ready())
    {
        frames = velkortest::StreamCapture::capture(
            "http://127.0.0.1:" + std::to_string(emulator.port()) +
                "/velkor/live?channel=1&width=" + std::to_string(width) + "&format=" + format,
            kFramesPerStream, error);
    }
    if (!emulator.ready())
    {
        error = "velkor-device did not start";
    }
    return frames;
}

void bareJpeg(benchmark::State& state, const std::vector<CapturedPart>& frames)
{
    tjhandle handle = tjInitDecompress();
    std::vector<std::uint8_t> pixels;
    std::size_t next = 0;
    for (auto _ : state)
    {
        const std::string& jpeg = frames[next++ % frames.size()].body;
        int width = 0;
        int height = 0;
        int subsampling = 0;
        int colorspace = 0;
        tjDecompressHeader3(handle, reinterpret_cast<const unsigned char*>(jpeg.data()),
                            jpeg.size(), &width, &height, &subsampling, &colorspace);
        pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
        if (tjDecompress2(handle, reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size(),
                          pixels.data(), width, width * 4, height, TJPF_BGRX, TJFLAG_FASTDCT) != 0)
        {
            state.SkipWithError("decode failed");
            break;
        }
    }
    tjDestroy(handle);
}

// libavcodec alone, set up as the library's decoder sets it up.
void bareVideo(benchmark::State& state, velkor::VideoCodec codec,
               const std::vector<CapturedPart>& frames)
{
    const AVCodecID id = codec == velkor::VideoCodec::Mpeg4  ? AV_CODEC_ID_MPEG4
                         : codec == velkor::VideoCodec::H264 ? AV_CODEC_ID_H264
                                                             : AV_CODEC_ID_HEVC;
    const AVCodec* decoder = avcodec_find_decoder(id);
    AVCodecContext* context = avcodec_alloc_context3(decoder);
    context->flags |= AV_CODEC_FLAG_LOW_DELAY;
    context->thread_type = FF_THREAD_SLICE;
    context->thread_count = velkor::VideoDecoder::defaultThreads();
    avcodec_open2(context, decoder, nullptr);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    std::vector<std::vector<std::uint8_t>> padded;
    for (const CapturedPart& part : frames)
    {
        padded.emplace_back(part.body.begin(), part.body.end());
        padded.back().resize(part.body.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    }
    std::size_t next = 0;
    for (auto _ : state)
    {
        const std::size_t index = next++ % frames.size();
        packet->data = padded[index].data();
        packet->size = static_cast<int>(frames[index].body.size());
        int got = 0;
        if (avcodec_send_packet(context, packet) == 0)
        {
            while (avcodec_receive_frame(context, frame) == 0)
            {
                ++got;
            }
        }
        if (got != 1)
        {
            state.SkipWithError("decode failed");
            break;
        }
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&context);
}

void bareDecode(benchmark::State& state, const std::string& format, int width)
{
    std::string error;
    const std::vector<CapturedPart>& frames = framesOf(format, width, error);
    if (frames.empty())
    {
        state.SkipWithError(error.c_str());
        return;
    }
    const auto codec = velkor::StreamFormats::fromProtocolName(format);
    if (codec == velkor::VideoCodec::Jpeg)
    {
        bareJpeg(state, frames);
    }
    else
    {
        bareVideo(state, *codec, frames);
    }
}

void wholeFrame(benchmark::State& state, const std::string& format, int width)
{
    std::string error;
    const std::vector<CapturedPart>& frames = framesOf(format, width, error);
    if (frames.empty())
    {
        state.SkipWithError(error.c_str());
        return;
    }
    static BenchWindow window;
    velkor::VideoOutput output;
    const bool drawing = window.id() != 0 && output.setWindow(window.id()) == 0;
    CountingObserver observer;
    DrawingAtOnce sink(output);
    velkor::FramePipeline pipeline(drawing ? &sink : nullptr, observer);
    pipeline.restart("velkorframe", *velkor::StreamFormats::fromProtocolName(format));
    std::size_t next = 0;
    for (auto _ : state)
    {
        const std::string& part = frames[next++ % frames.size()].bytes;
        if (!pipeline.feed(reinterpret_cast<const std::uint8_t*>(part.data()), part.size()))
        {
            state.SkipWithError(pipeline.error().c_str());
            break;
        }
    }
    if (observer.errors > 0)
    {
        state.SkipWithError("a frame could not be decoded");
    }
    state.counters["drawing"] = drawing ? 1 : 0;
    state.counters["drawn"] = static_cast<double>(sink.counters()->snapshot().drawn);
}

void registerAll()
{
    const std::vector<std::pair<std::string, std::vector<int>>> streams = {
        {"jpeg", {320, 640, 1280, 1920}},
        {"mpeg4", {640}},
        {"h264", {640, 1920}},
        {"h265", {640, 1920}},
    };
    for (const auto& [format, widths] : streams)
    {
        for (const int width : widths)
        {
            const std::string name = format + "/" + std::to_string(width);
            benchmark::RegisterBenchmark(("bareDecode/" + name).c_str(), bareDecode, format, width)
                ->Unit(benchmark::kMillisecond)
                ->MeasureProcessCPUTime();
            benchmark::RegisterBenchmark(("wholeFrame/" + name).c_str(), wholeFrame, format, width)
                ->Unit(benchmark::kMillisecond)
                ->MeasureProcessCPUTime();
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    registerAll();
    benchmark::Initialize(&argc, argv);
    std::printf("load average at the start: %.2f\n", LoadAverage());
    benchmark::RunSpecifiedBenchmarks();
    std::printf("load average at the end: %.2f\n", LoadAverage());
    benchmark::Shutdown();
    return 0;
}

// What drawing a decoded picture into the 800 x 600 video area costs apart from decoding it:
// PictureScaler's conversion and scaling of a 4:2:0 picture of each width the streams offer, and
// the hand-over of a picture to the drawing thread: a reference taken, as a decoder gives one
// out, and swapped into the drawing thread's mailbox under its lock for the one before, which is
// then let go. The hand-over's time bounds how long the lock is held. Set against
// velkor_frame_bench's bareDecode figures, it shows how much of a whole frame the drawing side
// alone takes. The live statistics' box laid over the drawn picture, as each picture gets it while
// the box shows, is set beside the drawing it adds to.
#include "velkor/decode/Frame.h"
#include "velkor/draw/DrawingMailbox.h"
#include "velkor/draw/PictureScaler.h"
#include "velkor/draw/StatisticsBox.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace
{

constexpr velkor::PictureSize kTarget{800, 600};

// A 4:2:0 picture of the given width at 4:3, grey-blue.
void paint(velkor::Frame& picture, int width)
{
    const int height = width * 3 / 4;
    if (!picture.allocate(AV_PIX_FMT_YUV420P, width, height))
    {
        return;
    }
    const std::array<int, 3> values{120, 90, 160};
    for (int plane = 0; plane < 3; ++plane)
    {
        const int rows = plane == 0 ? height : height / 2;
        std::memset(picture->data[plane], values[static_cast<std::size_t>(plane)],
                    static_cast<std::size_t>(picture->linesize[plane]) * rows);
    }
}

void drawInto800x600(benchmark::State& state)
{
    velkor::Frame picture;
    paint(picture, static_cast<int>(state.range(0)));
    constexpr std::size_t kStride = static_cast<std::size_t>(kTarget.width) * 4;
    std::vector<std::uint8_t> pixels(kStride * kTarget.height);
    const velkor::DrawTarget target{
        pixels.data(), kStride, kTarget, {0, 0, kTarget.width, kTarget.height}};
    velkor::PictureScaler scaler;
    for (auto _ : state)
    {
        if (!scaler.draw(picture, target))
        {
            state.SkipWithError("the picture could not be drawn");
            break;
        }
        benchmark::DoNotOptimize(pixels.data());
    }
}

// As long as the box's lines get.
const std::vector<std::string> kStatisticsLines{
    "Source: http://127.0.0.1:18080 channel 1 (velkor HTTP)",
    "Video: H.264 High, 1920x1440",
    "Frames: 25.0 fps received, 25.0 fps drawn",
    "Bitrate: 2410 kbit/s, 2380 kbit/s since play began",
    "Latency: 12 ms median, 31 ms at most (last 5 s)",
    "Decoding: 3.1 ms per picture",
    "Keyframes: every 25 pictures",
    "Pictures: 0 replaced by a newer one, 0 undecodable, 0 concealed, 0 left out",
    "Losses: 1 loss, last 0:12 ago; 1 reconnection, last 0:08 ago"};

// Once a second while the box shows.
void statisticsBoxLaidOut(benchmark::State& state)
{
    velkor::StatisticsBox box;
    for (auto _ : state)
    {
        if (!box.render(kStatisticsLines))
        {
            state.SkipWithError("no box");
            break;
        }
    }
}

// Each picture while the box shows.
void statisticsBoxOver800x600(benchmark::State& state)
{
    constexpr std::size_t kStride = static_cast<std::size_t>(kTarget.width) * 4;
    std::vector<std::uint8_t> pixels(kStride * kTarget.height, 0x80);
    const velkor::DrawTarget target{
        pixels.data(), kStride, kTarget, {0, 0, kTarget.width, kTarget.height}};
    velkor::StatisticsBox box;
    if (!box.render(kStatisticsLines))
    {
        state.SkipWithError("no box");
        return;
    }
    for (auto _ : state)
    {
        box.paintOver(target);
        benchmark::DoNotOptimize(pixels.data());
    }
}

void handOverToTheDrawingThread(benchmark::State& state)
{
    velkor::Frame decoded;
    paint(decoded, static_cast<int>(state.range(0)));
    velkor::Frame picture;
    velkor::DrawingMailbox mailbox;
    mailbox.open();
    bool replaced = false;
    for (auto _ : state)
    {
        if (av_frame_ref(picture.get(), decoded.get()) < 0 || !mailbox.post(picture, replaced))
        {
            state.SkipWithError("the picture could not be handed over");
            break;
        }
        picture.reset();
    }
}

// Every width the streams offer.
void atStreamWidths(benchmark::internal::Benchmark* benchmark)
{
    benchmark->Arg(320)->Arg(640)->Arg(1280)->Arg(1920);
}

} // namespace

BENCHMARK(handOverToTheDrawingThread)
    ->Apply(atStreamWidths)
    ->Unit(benchmark::kMicrosecond)
    ->MeasureProcessCPUTime();

BENCHMARK(drawInto800x600)
    ->Apply(atStreamWidths)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();

BENCHMARK(statisticsBoxLaidOut)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();
BENCHMARK(statisticsBoxOver800x600)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

BENCHMARK_MAIN();

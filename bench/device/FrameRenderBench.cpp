// One channel must draw and encode a 1920x1440 frame in under 33 ms on one core to keep 30 fps.
#include "device/FrameGeometry.h"
#include "device/FrameRenderer.h"
#include "device/JpegEncoder.h"
#include "device/TestPattern.h"

#include <benchmark/benchmark.h>

#include <string>

namespace velkordevice
{

namespace
{

void BM_RenderAndEncode(benchmark::State& state)
{
    const int width = static_cast<int>(state.range(0));
    FrameRenderer renderer(1, {StreamFormat::Jpeg, width}, 25);
    uint64_t frame = 0;
    std::size_t bytes = 0;
    for (auto _ : state)
    {
        auto encoded = renderer.render(frame++, std::chrono::system_clock::now());
        if (!encoded)
        {
            state.SkipWithError("encoding failed");
            break;
        }
        bytes += encoded->data.size();
    }
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["jpeg_bytes"] =
        static_cast<double>(bytes) / static_cast<double>(std::max<int64_t>(1, state.iterations()));
}
BENCHMARK(BM_RenderAndEncode)
    ->Arg(640)
    ->Arg(1920)
    ->Arg(2048)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_DrawPatternOnly(benchmark::State& state)
{
    const int width = static_cast<int>(state.range(0));
    TestPattern pattern(width, FrameGeometry::heightFor(width));
    const std::string caption = "CH1 2026-12-08 14:30:01.234 #000123 1920x1440";
    uint64_t frame = 0;
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(pattern.render(frame++, caption).y());
    }
}
BENCHMARK(BM_DrawPatternOnly)->Arg(1920)->Unit(benchmark::kMillisecond);

void BM_EncodeOnly(benchmark::State& state)
{
    const int width = static_cast<int>(state.range(0));
    TestPattern pattern(width, FrameGeometry::heightFor(width));
    const YuvImage& image = pattern.render(7, "CH1 2026-12-08 14:30:01.234 #000007 1920x1440");
    JpegEncoder encoder;
    std::vector<unsigned char> jpeg;
    for (auto _ : state)
    {
        encoder.encode(image, jpeg);
        benchmark::DoNotOptimize(jpeg.data());
    }
}
BENCHMARK(BM_EncodeOnly)->Arg(1920)->Unit(benchmark::kMillisecond);

} // namespace

} // namespace velkordevice

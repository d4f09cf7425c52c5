// What one picture of each stream costs the emulator: drawing the test pattern and encoding it,
// per format and width, as a stream's thread does once per tick. CPU time is the whole
// process's, so libx265's own worker threads are counted.
#include "bench/support/ProcessClock.h"
#include "device/FrameRenderer.h"
#include "device/StreamFormats.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace velkordevice
{

namespace
{

constexpr int kFps = 25;

void BM_StreamPicture(benchmark::State& state)
{
    const auto format = static_cast<StreamFormat>(state.range(0));
    const int width = static_cast<int>(state.range(1));
    FrameRenderer renderer(1, {format, width}, kFps);
    if (!renderer.ready())
    {
        state.SkipWithError(renderer.error().c_str());
        return;
    }
    std::uint64_t frame = 0;
    std::size_t bytes = 0;
    const double cpuBefore = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
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
    const double pictures = static_cast<double>(std::max<std::int64_t>(1, state.iterations()));
    state.counters["cpu_ms"] =
        (CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpuBefore) * 1000.0 / pictures;
    state.counters["kbytes"] = static_cast<double>(bytes) / 1024.0 / pictures;
    state.counters["load"] = LoadAverage();
    state.SetLabel(StreamFormats::name(format));
}

void streamArguments(benchmark::internal::Benchmark* bench)
{
    for (StreamFormat format : StreamFormats::all())
    {
        for (int width : StreamFormats::widths(format))
        {
            bench->Args({static_cast<std::int64_t>(format), width});
        }
    }
}

// Three keyframe intervals per stream, so keyframes weigh in as they do live.
BENCHMARK(BM_StreamPicture)
    ->Apply(streamArguments)
    ->ArgNames({"format", "width"})
    ->Iterations(std::int64_t{3} * kFps)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

} // namespace velkordevice

// What drawing a decoded picture into the 800 x 600 video area costs apart from decoding it:
// PictureScaler's conversion and scaling of a 4:2:0 picture of each width the streams offer.
// Set against velkor_frame_bench's bareDecode figures, it shows how much of a whole frame the
// drawing side alone takes.
#include "PictureScaler.h"

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace
{

constexpr int kTargetWidth = 800;
constexpr int kTargetHeight = 600;

void drawInto800x600(benchmark::State& state)
{
    const int width = static_cast<int>(state.range(0));
    const int height = width * 3 / 4;
    const auto lumaSize = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::vector<std::uint8_t> luma(lumaSize, 120);
    std::vector<std::uint8_t> blue(lumaSize / 4, 90);
    std::vector<std::uint8_t> red(lumaSize / 4, 160);
    velkor::PlanarImage image;
    image.format = AV_PIX_FMT_YUV420P;
    image.width = width;
    image.height = height;
    image.planes = {luma.data(), blue.data(), red.data(), nullptr};
    image.strides = {width, width / 2, width / 2, 0};

    constexpr std::size_t kStride = static_cast<std::size_t>(kTargetWidth) * 4;
    std::vector<std::uint8_t> target(kStride * kTargetHeight);
    velkor::PictureScaler scaler;
    for (auto _ : state)
    {
        if (!scaler.draw(image, target.data(), kTargetWidth, kTargetHeight, kStride))
        {
            state.SkipWithError("the picture could not be drawn");
            break;
        }
        benchmark::DoNotOptimize(target.data());
    }
}

} // namespace

BENCHMARK(drawInto800x600)
    ->Arg(320)
    ->Arg(640)
    ->Arg(1280)
    ->Arg(1920)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();

BENCHMARK_MAIN();

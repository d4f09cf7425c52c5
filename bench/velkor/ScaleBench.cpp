// What drawing a decoded picture into the 800 x 600 video area costs apart from decoding it:
// PictureScaler's conversion and scaling of a 4:2:0 picture of each width the streams offer, and
// the copy that hands the picture from the stream's thread to the drawing thread. Set against
// velkor_frame_bench's bareDecode figures, it shows how much of a whole frame the drawing side
// alone takes.
#include "velkor/PictureCopy.h"
#include "velkor/PictureScaler.h"

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace
{

constexpr int kTargetWidth = 800;
constexpr int kTargetHeight = 600;

// A 4:2:0 picture of the given width at 4:3, its planes grey-blue.
struct TestPicture
{
    explicit TestPicture(int width)
        : luma(static_cast<std::size_t>(width) * static_cast<std::size_t>(width * 3 / 4), 120),
          blue(luma.size() / 4, 90), red(luma.size() / 4, 160)
    {
        image.format = AV_PIX_FMT_YUV420P;
        image.width = width;
        image.height = width * 3 / 4;
        image.planes = {luma.data(), blue.data(), red.data(), nullptr};
        image.strides = {width, width / 2, width / 2, 0};
    }

    std::vector<std::uint8_t> luma;
    std::vector<std::uint8_t> blue;
    std::vector<std::uint8_t> red;
    velkor::PlanarImage image;
};

void drawInto800x600(benchmark::State& state)
{
    const TestPicture picture(static_cast<int>(state.range(0)));
    const velkor::PlanarImage& image = picture.image;

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

void copyForTheDrawingThread(benchmark::State& state)
{
    const TestPicture picture(static_cast<int>(state.range(0)));
    velkor::PictureCopy copy;
    for (auto _ : state)
    {
        if (!copy.assign(picture.image))
        {
            state.SkipWithError("the picture could not be copied");
            break;
        }
        benchmark::DoNotOptimize(copy.image().planes[0]);
    }
}

// Every width the streams offer.
void atStreamWidths(benchmark::internal::Benchmark* benchmark)
{
    benchmark->Arg(320)->Arg(640)->Arg(1280)->Arg(1920);
}

} // namespace

BENCHMARK(copyForTheDrawingThread)
    ->Apply(atStreamWidths)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();

BENCHMARK(drawInto800x600)
    ->Apply(atStreamWidths)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();

BENCHMARK_MAIN();

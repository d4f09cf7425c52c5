// What one live frame costs: bare TurboJPEG decoding against the library's whole per-frame path
// (multipart parsing, decoding, scaling, drawing). With DISPLAY set the path draws into a
// 800x600 window on that display; without, it stops after decoding.
#include "FramePipeline.h"
#include "JpegDecoder.h"
#include "LiveObserver.h"
#include "VideoOutput.h"
#include "support/TestJpeg.h"

#include <benchmark/benchmark.h>
#include <turbojpeg.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace
{

std::string framePart(const std::string& jpeg)
{
    return "--velkorframe\r\nContent-Type: image/jpeg\r\nContent-Length: " +
           std::to_string(jpeg.size()) + "\r\nX-Frame: 1\r\n\r\n" + jpeg + "\r\n";
}

class QuietObserver : public velkor::LiveObserver
{
public:
    void onPlaying() override {}
    void onPictureSize(int, int, std::size_t) override {}
    void onFrameError(int32_t, const std::string&) override {}
    void onEnded(int32_t, const std::string&) override {}
};

// A mapped window on DISPLAY for the library to draw into, or none without a display.
struct BenchWindow
{
    BenchWindow()
    {
        if (std::getenv("DISPLAY") == nullptr)
        {
            return;
        }
        connection = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(connection) != 0)
        {
            return;
        }
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
        window = xcb_generate_id(connection);
        xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 800, 600, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        xcb_map_window(connection, window);
        std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    }
    ~BenchWindow()
    {
        if (connection != nullptr)
        {
            xcb_disconnect(connection);
        }
    }
    xcb_connection_t* connection = nullptr;
    std::uint32_t window = 0;
};

void bareDecode(benchmark::State& state)
{
    const int width = static_cast<int>(state.range(0));
    const std::string jpeg = velkortest::makeJpeg(width, width * 3 / 4, 0);
    velkor::JpegDecoder decoder;
    velkor::Frame frame;
    for (auto _ : state)
    {
        if (!decoder.decode(reinterpret_cast<const std::uint8_t*>(jpeg.data()), jpeg.size(), frame))
        {
            state.SkipWithError("decode failed");
        }
        benchmark::DoNotOptimize(frame.pixels.data());
    }
    state.counters["jpeg_bytes"] = static_cast<double>(jpeg.size());
}

void wholeFrame(benchmark::State& state)
{
    const int width = static_cast<int>(state.range(0));
    const std::string part = framePart(velkortest::makeJpeg(width, width * 3 / 4, 0));
    static BenchWindow window;
    velkor::VideoOutput output;
    const bool drawing = window.window != 0 && output.setWindow(window.window) == 0;
    QuietObserver observer;
    velkor::FramePipeline pipeline("velkorframe", drawing ? &output : nullptr, observer);
    for (auto _ : state)
    {
        if (!pipeline.feed(reinterpret_cast<const std::uint8_t*>(part.data()), part.size()))
        {
            state.SkipWithError(pipeline.error().c_str());
        }
    }
    state.counters["drawing"] = drawing ? 1 : 0;
    state.counters["frames"] = static_cast<double>(pipeline.framesDecoded());
}

} // namespace

BENCHMARK(bareDecode)->Arg(640)->Arg(1920)->Unit(benchmark::kMillisecond);
BENCHMARK(wholeFrame)->Arg(640)->Arg(1920)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();

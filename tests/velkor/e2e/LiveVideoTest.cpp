#include "tests/support/Emulator.h"
#include "tests/support/ProcessRunner.h"
#include "tests/velkor/support/FakeDevice.h"
#include "tests/velkor/support/ServerPause.h"
#include "tests/velkor/support/TestJpeg.h"
#include "tests/velkor/support/TestWindows.h"
#include "tests/velkor/support/WindowedLibraryFixture.h"
#include "velkor/report/ResultCode.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace velkor;
using velkortest::Emulator;
using velkortest::FakeDevice;
using velkortest::ProcessRunner;
using velkortest::RecordedEvent;
using velkortest::ServerPause;
using velkortest::TestWindows;
using velkortest::WindowedLibraryFixture;

namespace
{

constexpr std::uint32_t kWhite = TestWindows::kWhite;
constexpr std::uint32_t kNoSignalBackground = 0x282C34;
// Polls until `done` holds; false after 10 s.
bool eventually(const std::function<bool()>& done)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline)
    {
        if (done())
        {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// The process's resident memory, in MiB.
long residentMiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
    {
        if (line.rfind("VmRSS:", 0) == 0)
        {
            return std::stol(line.substr(6)) / 1024;
        }
    }
    return -1;
}

std::uint32_t pixelAt(const std::vector<std::uint32_t>& pixels, int width, int x, int y)
{
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                  static_cast<std::size_t>(x)];
}

// The largest difference of one colour channel between two 0xRRGGBB values.
int channelDifference(std::uint32_t a, std::uint32_t b)
{
    int worst = 0;
    for (const int shift : {0, 8, 16})
    {
        worst = std::max(worst, std::abs(static_cast<int>((a >> shift) & 0xFF) -
                                         static_cast<int>((b >> shift) & 0xFF)));
    }
    return worst;
}

// Where the emulator's eight colour bars are sampled, as fractions of the picture: the middle of
// each bar, a third of the way down, clear of the caption above and of the moving block below.
double barX(int bar)
{
    return (bar + 0.5) / 8;
}
constexpr double kBarY = 0.3;

// The first picture ffmpeg decodes from a raw stream, as 0xRRGGBB values; empty when it fails.
std::vector<std::uint32_t> decodedByFfmpeg(const std::string& format, const std::string& url,
                                           int& width, int& height)
{
    const std::string demuxer = format == "h264"    ? "h264"
                                : format == "h265"  ? "hevc"
                                : format == "mpeg4" ? "m4v"
                                                    : "mjpeg";
    const std::string file =
        ::testing::TempDir() + "ffmpeg-" + format + "-" + std::to_string(::getpid()) + ".ppm";
    ProcessRunner ffmpeg;
    if (!ffmpeg.start({"ffmpeg", "-nostdin", "-loglevel", "error", "-probesize", "32", "-f",
                       demuxer, "-i", url, "-frames:v", "1", "-pix_fmt", "rgb24", "-y", file}) ||
        ffmpeg.waitForExit(std::chrono::seconds(60)) != 0)
    {
        return {};
    }
    std::ifstream ppm(file, std::ios::binary);
    std::string magic;
    int maximum = 0;
    ppm >> magic >> width >> height >> maximum;
    ppm.get();
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(ppm)),
                                           std::istreambuf_iterator<char>());
    std::remove(file.c_str());
    if (magic != "P6" || maximum != 255 ||
        bytes.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3)
    {
        return {};
    }
    std::vector<std::uint32_t> pixels;
    for (std::size_t i = 0; i < bytes.size(); i += 3)
    {
        pixels.push_back(
            static_cast<std::uint32_t>(bytes[i] << 16 | bytes[i + 1] << 8 | bytes[i + 2]));
    }
    return pixels;
}

class LiveVideoTest : public WindowedLibraryFixture
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(WindowedLibraryFixture::SetUp());
        m_emulator = std::make_unique<Emulator>(std::vector<std::string>{"--uid", "5"});
        ASSERT_TRUE(m_emulator->ready());
        pointAt(m_emulator->port());
        ASSERT_EQ(m_api->SetJPEGResolution(320), 0);
    }

    void TearDown() override
    {
        WindowedLibraryFixture::TearDown();
        m_emulator.reset();
    }

    // Plays channel 1 into a 320 x 240 window until its video shows.
    void playInto(std::uint32_t window)
    {
        ASSERT_EQ(m_api->SetVideoWindow(window), 0);
        ASSERT_GE(m_api->Open(), 0);
        ASSERT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0);
        ASSERT_TRUE(waitForPixels(window, 320, 240, showsVideo));
    }

    // Polls the window until `done` holds for its pixels; false after 10 s.
    bool waitForPixels(std::uint32_t window, std::uint16_t width, std::uint16_t height,
                       const std::function<bool(const std::vector<std::uint32_t>&)>& done,
                       std::int16_t x = 0, std::int16_t y = 0)
    {
        return eventually([&] { return done(m_windows->read(window, width, height, x, y)); });
    }

    // The window's pixels once pictures are drawn into it and `fresh` more have followed the first.
    std::vector<std::uint32_t> drawnAfter(std::uint32_t window, std::uint16_t width,
                                          std::uint16_t height, int fresh, std::int16_t x = 0,
                                          std::int16_t y = 0)
    {
        std::vector<std::uint32_t> seen;
        bool drawn = waitForPixels(
            window, width, height,
            [&](const std::vector<std::uint32_t>& pixels)
            {
                seen = pixels;
                return !pixels.empty() && pixels[0] != kWhite;
            },
            x, y);
        for (int i = 0; i < fresh && drawn; ++i)
        {
            drawn = waitForPixels(
                window, width, height,
                [&](const std::vector<std::uint32_t>& pixels)
                {
                    const bool moved = pixels != seen;
                    seen = pixels;
                    return moved;
                },
                x, y);
        }
        return drawn ? seen : std::vector<std::uint32_t>{};
    }

    // A patch inside the statistics box's margin, at the window's top left, over light pictures:
    // nothing but the box's background when it shows, the picture when it does not.
    bool statisticsShown(std::uint32_t window, bool shown)
    {
        return waitForPixels(
            window, 4, 4,
            [shown](const std::vector<std::uint32_t>& pixels)
            {
                return !pixels.empty() &&
                       std::all_of(pixels.begin(), pixels.end(),
                                   [shown](std::uint32_t pixel)
                                   {
                                       const int brightest = std::max(
                                           {pixel >> 16 & 0xFF, pixel >> 8 & 0xFF, pixel & 0xFF});
                                       return shown ? brightest <= 0x60 : brightest >= 0xC0;
                                   });
            },
            10, 10);
    }

    static bool allOf(const std::vector<std::uint32_t>& pixels, std::uint32_t value)
    {
        return !pixels.empty() &&
               std::all_of(pixels.begin(), pixels.end(),
                           [value](std::uint32_t pixel) { return pixel == value; });
    }

    // Mostly the no-signal picture's background, with lettering on it.
    static bool showsNoSignal(const std::vector<std::uint32_t>& pixels)
    {
        const auto background = std::count(pixels.begin(), pixels.end(), kNoSignalBackground);
        return !pixels.empty() && background > static_cast<long>(pixels.size()) / 2 &&
               background < static_cast<long>(pixels.size());
    }

    static bool showsVideo(const std::vector<std::uint32_t>& pixels)
    {
        return !pixels.empty() && pixels[0] != kWhite && !showsNoSignal(pixels) &&
               !allOf(pixels, 0);
    }

    std::unique_ptr<Emulator> m_emulator;
};

} // namespace

TEST_F(LiveVideoTest, DrawsChangingPicturesScaledToTheWindowAndClearsToBlack)
{
    // Not the picture's shape, so the scaling shows at the corners.
    const std::uint16_t width = 333;
    const std::uint16_t height = 150;
    const std::uint32_t window = m_windows->create(width, height);
    ASSERT_EQ(m_api->SetVideoWindow(window), 0);
    ASSERT_GE(m_api->Open(), 0);
    ASSERT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0);
    ASSERT_TRUE(m_listener.waitFor("image", 0, 320 * 65536 + 240));

    std::vector<std::uint32_t> first;
    ASSERT_TRUE(waitForPixels(window, width, height,
                              [&](const std::vector<std::uint32_t>& pixels)
                              {
                                  const std::size_t last = pixels.size() - 1;
                                  const bool covered =
                                      pixels.size() == std::size_t{width} * height &&
                                      pixels[0] != kWhite && pixels[width - 1] != kWhite &&
                                      pixels[last - width + 1] != kWhite && pixels[last] != kWhite;
                                  if (covered)
                                      first = pixels;
                                  return covered && !allOf(pixels, 0);
                              }))
        << "the picture never covered the window";
    EXPECT_TRUE(waitForPixels(window, width, height,
                              [&](const std::vector<std::uint32_t>& pixels)
                              { return pixels != first && !allOf(pixels, 0); }))
        << "the picture never changed";

    ASSERT_EQ(m_api->PlayControl(1, 1, nullptr, 0, nullptr), 0);
    ASSERT_TRUE(m_listener.waitFor("play", 1, 0));
    EXPECT_EQ(m_api->ClearImage(), 0);
    EXPECT_TRUE(allOf(m_windows->read(window, width, height), 0));
}

TEST_F(LiveVideoTest, APictureFollowsTheWindowWhenItIsResizedWhilePlaying)
{
    const std::uint32_t window = m_windows->create(320, 240);
    ASSERT_NO_FATAL_FAILURE(playInto(window));
    m_windows->resize(window, 480, 360);
    // The corners the larger window added are covered too.
    EXPECT_TRUE(waitForPixels(window, 480, 360,
                              [](const std::vector<std::uint32_t>& pixels)
                              {
                                  return pixels.size() == std::size_t{480} * 360 &&
                                         pixels[479] != kWhite && pixels.back() != kWhite;
                              }))
        << "the picture kept the window's first size";
}

TEST_F(LiveVideoTest, WhatAnotherWindowUncoversShowsTheLastPictureAgainOrBlackAfterAClear)
{
    const std::uint32_t window = m_windows->create(320, 240);
    ASSERT_NO_FATAL_FAILURE(playInto(window));
    ASSERT_EQ(m_api->PlayControl(1, 1, nullptr, 0, nullptr), 0);
    ASSERT_TRUE(m_listener.waitFor("play", 1, 0));
    // No picture comes any more: what shows now is the last one.
    const std::vector<std::uint32_t> last = m_windows->read(window, 320, 240);
    const auto coverAndUncover = [this]
    {
        // White, over the middle and past the right edge.
        m_windows->destroy(m_windows->create(200, 120, 160, 60));
    };
    coverAndUncover();
    EXPECT_TRUE(waitForPixels(
        window, 320, 240, [&](const std::vector<std::uint32_t>& pixels) { return pixels == last; }))
        << "the covering window's pixels stayed";

    EXPECT_EQ(m_api->ClearImage(), 0);
    coverAndUncover();
    EXPECT_TRUE(
        waitForPixels(window, 320, 240, [](const auto& pixels) { return allOf(pixels, 0); }))
        << "the covering window's pixels stayed after the clear";
}

TEST_F(LiveVideoTest, ABogusWindowIsRefusedAndPlayGoesOnWithoutIt)
{
    EXPECT_EQ(m_api->SetVideoWindow(0x3FFFFF), WindowInvalid);
    EXPECT_EQ(m_api->SetVideoWindow(m_windows->createPixmap(64, 48)), WindowInvalid);
    const std::uint32_t window = m_windows->create(64, 48);
    ASSERT_EQ(m_api->SetVideoWindow(window), 0);
    EXPECT_EQ(m_api->SetVideoWindow(0x3FFFFE), WindowInvalid);
    ASSERT_EQ(m_api->SetVideoWindow(0), 0);
    ASSERT_GE(m_api->Open(), 0);
    ASSERT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0);
    EXPECT_TRUE(m_listener.waitFor("image", 0, 320 * 65536 + 240));
    EXPECT_EQ(m_api->ClearImage(), 0);
    // Nothing was drawn into the window that was let go.
    EXPECT_TRUE(allOf(m_windows->read(window, 64, 48), kWhite));
}

TEST_F(LiveVideoTest, AWindowDestroyedWhilePlayingOnlyEndsDrawingIntoIt)
{
    const std::uint32_t doomed = m_windows->create(200, 150);
    ASSERT_EQ(m_api->SetVideoWindow(doomed), 0);
    ASSERT_GE(m_api->Open(), 0);
    ASSERT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0);
    ASSERT_TRUE(waitForPixels(doomed, 200, 150,
                              [](const auto& pixels)
                              { return !pixels.empty() && pixels[0] != kWhite; }));
    m_windows->destroy(doomed);
    // Painting into the window that is gone, as the next picture would.
    EXPECT_EQ(m_api->ClearImage(), 0);
    ASSERT_EQ(m_api->PlayControl(1, 1, nullptr, 0, nullptr), 0);
    ASSERT_TRUE(m_listener.waitFor("play", 1, 0));

    const std::uint32_t next = m_windows->create(100, 75);
    ASSERT_EQ(m_api->SetVideoWindow(next), 0);
    ASSERT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0);
    EXPECT_TRUE(waitForPixels(
        next, 100, 75, [](const auto& pixels) { return !pixels.empty() && pixels[0] != kWhite; }));
}

TEST_F(LiveVideoTest, AGarbledPictureIsReportedOnceAndThePictureMovesOn)
{
    FakeDevice::Options options;
    options.mangle = [](std::size_t sent, std::string& bytes)
    {
        // A picture between keyframes, all but its start code turned to 0xFF.
        if (sent == 13)
        {
            std::fill(bytes.begin() + 4, bytes.end(), '\xFF');
        }
    };
    FakeDevice device(options);
    for (const char* format : {"mpeg4", "h264", "h265"})
    {
        device.encodeAhead(format, 320);
    }
    pointAt(device.port());
    ASSERT_EQ(m_api->SetMPEG4Resolution(320), 0);
    ASSERT_EQ(m_api->SetH264Resolution(320), 0);
    const std::uint32_t window = m_windows->create(160, 120);
    ASSERT_EQ(m_api->SetVideoWindow(window), 0);
    ASSERT_GE(m_api->Open(), 0);
    for (const int32_t format : {1, 3, 6})
    {
        m_listener.reset();
        ASSERT_EQ(m_api->SetStreamFormat(format), 0);
        ASSERT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0);
        ASSERT_TRUE(
            m_listener.waitFor([](const RecordedEvent& event) { return event.kind == "error"; }))
            << format;
        EXPECT_EQ(m_listener.events().back().a, FrameUndecodable) << format;
        std::vector<std::uint32_t> frozen = m_windows->read(window, 160, 120);
        for (int change = 0; change < 2; ++change)
        {
            ASSERT_TRUE(waitForPixels(window, 160, 120,
                                      [&](const std::vector<std::uint32_t>& pixels)
                                      {
                                          const bool moved = pixels != frozen;
                                          frozen = pixels;
                                          return moved;
                                      }))
                << "the picture did not come back in format " << format;
        }
        ASSERT_EQ(m_api->PlayControl(1, 1, nullptr, 0, nullptr), 0);
        ASSERT_TRUE(m_listener.waitFor("play", 1, 0));
        EXPECT_EQ(m_listener.count("error"), 1U) << format;
    }
}

TEST_F(LiveVideoTest, AStalledXServerHoldsUpNeitherStoppingNorClosing)
{
    const std::uint32_t window = m_windows->create(160, 120);
    ASSERT_EQ(m_api->SetVideoWindow(window), 0);
    ASSERT_GE(m_api->Open(), 0);
    {
        // A call that waited for the server would return only once the pause is lifted. How
        // long the calls take is velkor_stall_bench's to measure.
        const ServerPause pause(display(), std::chrono::seconds(30));
        ASSERT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0);
        // A decoded picture is on its way to the stopped server.
        ASSERT_TRUE(m_listener.waitFor("image", 0, 320 * 65536 + 240));
        m_api->PlayControl(1, 1, nullptr, 0, nullptr);
        EXPECT_TRUE(pause.holding()) << "stopping play waited for the X server";
        m_api->ClearImage();
        EXPECT_TRUE(pause.holding()) << "ClearImage waited for the X server";
        m_api->SetVideoWindow(0);
        EXPECT_TRUE(pause.holding()) << "SetVideoWindow(0) waited for the X server";
        m_api->Close();
        EXPECT_TRUE(pause.holding()) << "Close waited for the X server";
    }
    // Once the server goes on, so does the drawing.
    ASSERT_EQ(m_api->SetVideoWindow(window), 0);
    ASSERT_GE(m_api->Open(), 0);
    ASSERT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0);
    EXPECT_TRUE(waitForPixels(window, 160, 120, showsVideo));
}

TEST_F(LiveVideoTest, ALostDeviceShowsNoSignalUntilPlayComesBackByItself)
{
    const std::uint32_t window = m_windows->create(320, 240);
    ASSERT_NO_FATAL_FAILURE(playInto(window));

    const int port = m_emulator->port();
    m_emulator->kill();
    std::vector<std::uint32_t> lost;
    ASSERT_TRUE(waitForPixels(window, 320, 240,
                              [&](const std::vector<std::uint32_t>& pixels)
                              {
                                  lost = pixels;
                                  return showsNoSignal(pixels);
                              }))
        << "the last picture stayed";
    // The time since the loss goes on.
    EXPECT_TRUE(waitForPixels(window, 320, 240,
                              [&](const std::vector<std::uint32_t>& pixels)
                              { return showsNoSignal(pixels) && pixels != lost; }));

    m_emulator = std::make_unique<Emulator>(std::vector<std::string>{"--uid", "5"}, port);
    ASSERT_TRUE(m_emulator->ready());
    EXPECT_TRUE(waitForPixels(window, 320, 240, showsVideo));
    EXPECT_EQ(m_api->GetUID(), 5);
}

TEST_F(LiveVideoTest, AHugeWindowCostsTheMemoryOfTheScreenNotOfTheWindow)
{
    // 30000 x 20000 pixels, 2.4 GB at four bytes each, of which the 1280 x 1024 screen shows the
    // bottom of the middle, where the picture's ramp moves.
    const std::uint32_t window = m_windows->create(30000, 20000, -15000, -19000);
    ASSERT_EQ(m_api->SetVideoWindow(window), 0);
    ASSERT_GE(m_api->Open(), 0);
    const long before = residentMiB();
    ASSERT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0);
    // The part on the screen shows the picture, several times over.
    ASSERT_FALSE(drawnAfter(window, 320, 240, 3, 15000, 19000).empty());
    EXPECT_LT(residentMiB() - before, 200) << "MiB more than before play";
}

namespace
{

struct ColourCase
{
    std::string format;
    int32_t code = 0;
    int width = 0;
};

void PrintTo(const ColourCase& colours, std::ostream* out)
{
    *out << colours.format << " " << colours.width;
}

// One case a width: where a busy machine cannot encode a width at the full rate, the emulator
// first measures that for 5 s and then encodes a loop ahead, which at every width of H.265 in
// one case took most of the time a test is given.
std::vector<ColourCase> colourCases()
{
    const struct
    {
        const char* format;
        int32_t code;
        std::vector<int> widths;
    } formats[] = {{"jpeg", 0, {320, 640, 800, 960, 1280, 1920, 2048}},
                   {"mpeg4", 1, {320, 640}},
                   {"h264", 3, {320, 640, 800, 960, 1280, 1920}},
                   {"h265", 6, {320, 640, 800, 960, 1280, 1920}}};
    std::vector<ColourCase> cases;
    for (const auto& format : formats)
    {
        for (const int width : format.widths)
        {
            cases.push_back({format.format, format.code, width});
        }
    }
    return cases;
}

class TrueColourTest : public LiveVideoTest, public ::testing::WithParamInterface<ColourCase>
{
protected:
    int32_t setWidth(int width)
    {
        switch (GetParam().code)
        {
        case 0:
            return m_api->SetJPEGResolution(width);
        case 1:
            return m_api->SetMPEG4Resolution(width);
        default:
            return m_api->SetH264Resolution(width);
        }
    }
};

} // namespace

TEST_P(TrueColourTest, TheBarsShowTheColoursFfmpegDecodesInWindowsOfAnySize)
{
    // The console's video area, and one small enough for every reduction a JPEG can be decoded at.
    constexpr std::array<std::pair<std::uint16_t, std::uint16_t>, 2> kWindows{
        {{640, 480}, {200, 150}}};
    constexpr int kTolerance = 6;
    const ColourCase& colours = GetParam();
    ASSERT_EQ(m_api->SetStreamFormat(colours.code), 0);
    ASSERT_GE(m_api->Open(), 0);
    ASSERT_EQ(setWidth(colours.width), 0);
    int worst = 0;
    int decodedWidth = 0;
    int decodedHeight = 0;
    std::vector<std::uint32_t> reference;
    for (const auto& [windowWidth, windowHeight] : kWindows)
    {
        const std::uint32_t window = m_windows->create(windowWidth, windowHeight);
        ASSERT_EQ(m_api->SetVideoWindow(window), 0);
        if (reference.empty())
        {
            ASSERT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0);
            reference = decodedByFfmpeg(
                colours.format,
                "http://127.0.0.1:" + std::to_string(m_emulator->port()) +
                    "/velkor/live?channel=1&width=" + std::to_string(colours.width) +
                    "&format=" + colours.format + "&framing=raw",
                decodedWidth, decodedHeight);
            ASSERT_FALSE(reference.empty()) << "ffmpeg decoded nothing";
        }
        // Three pictures after the first drawn here were decoded for this window's size.
        const std::vector<std::uint32_t> shown = drawnAfter(window, windowWidth, windowHeight, 3);
        ASSERT_FALSE(shown.empty()) << "into " << windowWidth;
        for (int bar = 0; bar < 8; ++bar)
        {
            const std::uint32_t ours =
                pixelAt(shown, windowWidth, static_cast<int>(barX(bar) * windowWidth),
                        static_cast<int>(kBarY * windowHeight));
            const std::uint32_t theirs =
                pixelAt(reference, decodedWidth, static_cast<int>(barX(bar) * decodedWidth),
                        static_cast<int>(kBarY * decodedHeight));
            const int difference = channelDifference(ours, theirs);
            worst = std::max(worst, difference);
            EXPECT_LE(difference, kTolerance)
                << "into " << windowWidth << "x" << windowHeight << ", bar " << bar << ": "
                << std::hex << ours << " where ffmpeg has " << theirs;
        }
        m_windows->destroy(window);
    }
    ASSERT_EQ(m_api->PlayControl(1, 1, nullptr, 0, nullptr), 0);
    RecordProperty("worstDifference", worst);
    std::printf("%s at %d: worst difference from ffmpeg %d levels\n", colours.format.c_str(),
                colours.width, worst);
}

INSTANTIATE_TEST_SUITE_P(Formats, TrueColourTest, ::testing::ValuesIn(colourCases()),
                         [](const auto& info)
                         { return info.param.format + "_" + std::to_string(info.param.width); });

namespace
{

// These JPEGs by turns, 25 a second.
FakeDevice::Options jpegsByTurns(std::vector<std::string> pictures)
{
    FakeDevice::Options options;
    options.live = [pictures = std::move(pictures)](velkortest::LoopbackConnection& connection)
    {
        if (!connection.send(FakeDevice::multipartHead("turns")))
        {
            return;
        }
        for (std::size_t sent = 0; !connection.stopping(); ++sent)
        {
            if (!connection.send(FakeDevice::part("turns", pictures[sent % pictures.size()])))
            {
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        }
    };
    return options;
}

// Solid pictures, white and light grey by turns: the box's dark background shows plainly over
// either, and the change from one to the next shows that pictures are drawn.
FakeDevice::Options solidPictures()
{
    return jpegsByTurns({velkortest::makeSolidJpeg(320, 240, 0xFFFFFF),
                         velkortest::makeSolidJpeg(320, 240, 0xD0D0D0)});
}

// Real button presses, through the X server's test extension.
bool click(int button, int x, int y)
{
    ProcessRunner xdotool;
    return xdotool.start({"xdotool", "mousemove", std::to_string(x), std::to_string(y), "click",
                          std::to_string(button)}) &&
           xdotool.waitForExit(std::chrono::seconds(10)) == 0;
}

} // namespace

TEST_F(LiveVideoTest, APictureKeepsItsShapeBetweenBlackBarsWithTheColoursFfmpegDecodes)
{
    struct Shape
    {
        int width = 0;
        int height = 0;
        std::uint16_t windowWidth = 0;
        std::uint16_t windowHeight = 0;
        // Where the picture must show; black around it.
        int left = 0;
        int top = 0;
        int shownWidth = 0;
        int shownHeight = 0;
    };
    // 16:9 and 4:3 in the console's 4:3 video area, and 4:3 in a 16:9 window.
    const std::array<Shape, 3> shapes{{{640, 360, 640, 480, 0, 60, 640, 360},
                                       {320, 240, 640, 480, 0, 0, 640, 480},
                                       {320, 240, 480, 270, 60, 0, 360, 270}}};
    constexpr int kTolerance = 8;
    for (const Shape& shape : shapes)
    {
        SCOPED_TRACE(std::to_string(shape.width) + "x" + std::to_string(shape.height) + " into " +
                     std::to_string(shape.windowWidth) + "x" + std::to_string(shape.windowHeight));
        const std::string jpeg = velkortest::makeRampJpeg(shape.width, shape.height);
        const std::string file =
            ::testing::TempDir() + "ramp-" + std::to_string(::getpid()) + ".jpg";
        std::ofstream(file, std::ios::binary) << jpeg;
        int decodedWidth = 0;
        int decodedHeight = 0;
        const std::vector<std::uint32_t> reference =
            decodedByFfmpeg("jpeg", file, decodedWidth, decodedHeight);
        std::remove(file.c_str());
        ASSERT_EQ(decodedWidth, shape.width) << "ffmpeg decoded nothing";

        FakeDevice device(jpegsByTurns({jpeg}));
        pointAt(device.port());
        const std::uint16_t width = shape.windowWidth;
        const std::uint16_t height = shape.windowHeight;
        const std::uint32_t window = m_windows->create(width, height);
        ASSERT_EQ(m_api->SetVideoWindow(window), 0);
        ASSERT_GE(m_api->Open(), 0);
        ASSERT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0);
        std::vector<std::uint32_t> shown;
        ASSERT_TRUE(waitForPixels(window, width, height,
                                  [&](const std::vector<std::uint32_t>& pixels)
                                  {
                                      shown = pixels;
                                      return !pixels.empty() && pixels[0] != kWhite &&
                                             pixels.back() != kWhite;
                                  }));
        int worst = 0;
        int wrongBars = 0;
        for (int y = 0; y < height; ++y)
        {
            for (int x = 0; x < width; ++x)
            {
                const std::uint32_t ours = pixelAt(shown, width, x, y);
                const int inX = x - shape.left;
                const int inY = y - shape.top;
                if (inX < 0 || inY < 0 || inX >= shape.shownWidth || inY >= shape.shownHeight)
                {
                    wrongBars += ours != 0 ? 1 : 0;
                    continue;
                }
                worst = std::max(worst, channelDifference(
                                            ours, pixelAt(reference, shape.width,
                                                          inX * shape.width / shape.shownWidth,
                                                          inY * shape.height / shape.shownHeight)));
            }
        }
        EXPECT_EQ(wrongBars, 0) << "pixels of the bars that are not black";
        EXPECT_LE(worst, kTolerance) << "levels from ffmpeg's colour at the same place";
        std::printf("%dx%d into %dx%d: worst difference from ffmpeg %d levels\n", shape.width,
                    shape.height, width, height, worst);
        ASSERT_EQ(m_api->PlayControl(1, 1, nullptr, 0, nullptr), 0);
        m_api->Close();
        m_windows->destroy(window);
    }
}

TEST_F(LiveVideoTest,
       ALeftClickShowsTheStatisticsAndTheNextHidesThemAndEveryButtonStillReachesTheOwner)
{
    FakeDevice device(solidPictures());
    pointAt(device.port());
    // Where the window lies on the screen, so that the pointer's place is the window's.
    const std::uint32_t window = m_windows->create(320, 240, 0, 0);
    ASSERT_EQ(m_api->SetVideoWindow(window), 0);
    ASSERT_GE(m_api->Open(), 0);
    ASSERT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0);

    const auto boxShown = [this, window](bool shown) { return statisticsShown(window, shown); };
    // Pictures drawn since: the patch changes with each.
    const auto picturesDrawn = [&](int count)
    {
        std::vector<std::uint32_t> seen = m_windows->read(window, 1, 1, 11, 11);
        for (int i = 0; i < count; ++i)
        {
            if (!waitForPixels(
                    window, 1, 1,
                    [&](const std::vector<std::uint32_t>& pixels)
                    { return pixels != std::exchange(seen, pixels); },
                    11, 11))
            {
                return false;
            }
        }
        return true;
    };

    ASSERT_TRUE(boxShown(false)) << "the play never showed its pictures";
    // The test is the window's owner, and hears its buttons as the console would.
    m_windows->hearButtons(window);
    ASSERT_TRUE(click(1, 100, 100));
    ASSERT_TRUE(boxShown(true)) << "a left click did not show the statistics";
    // Neither the other buttons and the wheel, nor a left click outside the window or into a
    // window over it, change anything.
    for (const int button : {2, 3, 4, 5, 6, 7})
    {
        ASSERT_TRUE(click(button, 100, 100));
    }
    ASSERT_TRUE(click(1, 600, 400));
    const std::uint32_t over = m_windows->create(60, 60, 150, 100);
    ASSERT_TRUE(click(1, 180, 130));
    m_windows->destroy(over);
    ASSERT_TRUE(picturesDrawn(4));
    EXPECT_TRUE(boxShown(true));
    // Every press and release in the window still reached its owner.
    std::vector<int> heard;
    const std::vector<int> all{1, -1, 2, -2, 3, -3, 4, -4, 5, -5, 6, -6, 7, -7};
    eventually(
        [&]
        {
            const std::vector<int> more = m_windows->buttonsHeard();
            heard.insert(heard.end(), more.begin(), more.end());
            return heard.size() >= all.size();
        });
    EXPECT_EQ(heard, all);
    ASSERT_TRUE(click(1, 200, 150));
    EXPECT_TRUE(boxShown(false)) << "the next left click did not hide them";
    ASSERT_TRUE(click(1, 200, 150));
    ASSERT_TRUE(boxShown(true));

    ASSERT_EQ(m_api->PlayControl(1, 1, nullptr, 0, nullptr), 0);
    EXPECT_EQ(m_api->ClearImage(), 0);
    EXPECT_TRUE(allOf(m_windows->read(window, 320, 240), 0)) << "the box outlived the play";
    ASSERT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0);
    ASSERT_TRUE(boxShown(false));
    ASSERT_TRUE(picturesDrawn(4));
    EXPECT_TRUE(boxShown(false)) << "the next play began with the statistics shown";
}

TEST_F(LiveVideoTest, ALeftHandedMouseShowsTheStatisticsWithTheButtonItTakesForTheLeft)
{
    FakeDevice device(solidPictures());
    pointAt(device.port());
    const std::uint32_t window = m_windows->create(320, 240, 0, 0);
    ASSERT_EQ(m_api->SetVideoWindow(window), 0);
    ASSERT_GE(m_api->Open(), 0);
    ASSERT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0);
    ASSERT_TRUE(statisticsShown(window, false));
    // The first and third physical buttons swapped, as a left-handed user has them.
    ASSERT_TRUE(m_windows->swapButtons(1, 3));
    const bool shownByThird = click(3, 100, 100) && statisticsShown(window, true);
    const bool keptByFirst =
        click(1, 100, 100) && click(1, 100, 100) && statisticsShown(window, true);
    EXPECT_TRUE(m_windows->swapButtons(1, 3));
    EXPECT_TRUE(shownByThird) << "the button that is the left one did not show the statistics";
    EXPECT_TRUE(keptByFirst) << "the button that is the right one hid them";
}

TEST_F(LiveVideoTest, AClickShowsTheStatisticsAndWhyWhenNoPictureOfThePlayDecodes)
{
    FakeDevice::Options options;
    options.mangle = [](std::size_t /*sent*/, std::string& bytes) { bytes = "no picture at all"; };
    FakeDevice device(options);
    pointAt(device.port());
    const std::uint32_t window = m_windows->create(320, 240, 0, 0);
    ASSERT_EQ(m_api->SetVideoWindow(window), 0);
    ASSERT_GE(m_api->Open(), 0);
    ASSERT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0);
    ASSERT_TRUE(
        m_listener.waitFor([](const RecordedEvent& event)
                           { return event.kind == "error" && event.a == FrameUndecodable; }));
    ProcessRunner xdotool;
    ASSERT_TRUE(xdotool.start({"xdotool", "mousemove", "100", "100", "click", "1"}) &&
                xdotool.waitForExit(std::chrono::seconds(10)) == 0);
    // The box's dark background and its light text at the window's top left.
    EXPECT_TRUE(waitForPixels(
        window, 200, 40,
        [](const std::vector<std::uint32_t>& pixels)
        {
            const auto brightest = [](std::uint32_t pixel) {
                return std::max({pixel >> 16 & 0xFF, pixel >> 8 & 0xFF, pixel & 0xFF});
            };
            return std::any_of(pixels.begin(), pixels.end(),
                               [&](std::uint32_t p) { return brightest(p) <= 0x60; }) &&
                   std::any_of(pixels.begin(), pixels.end(),
                               [&](std::uint32_t p) { return brightest(p) >= 0xC0; });
        }))
        << "no statistics over a play none of whose pictures decode";
}

#include "tests/support/Emulator.h"
#include "tests/velkor/support/FakeDevice.h"
#include "tests/velkor/support/LibraryFixture.h"
#include "tests/velkor/support/ServerPause.h"
#include "tests/velkor/support/XvfbDisplay.h"
#include "velkor/ResultCode.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

using namespace velkor;
using velkortest::Emulator;
using velkortest::FakeDevice;
using velkortest::LibraryFixture;
using velkortest::RecordedEvent;
using velkortest::ServerPause;
using velkortest::XvfbDisplay;

namespace
{

constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kNoSignalBackground = 0x282C34;
constexpr auto kPromptly = std::chrono::seconds(1);

// How long `call` took.
template <typename Call> std::chrono::duration<double> timed(Call call)
{
    const auto start = std::chrono::steady_clock::now();
    call();
    return std::chrono::steady_clock::now() - start;
}

// The test's own X client: makes windows and reads back what the library drew into them.
class TestWindows
{
public:
    TestWindows() : m_connection(xcb_connect(nullptr, nullptr)) {}
    ~TestWindows() { xcb_disconnect(m_connection); }

    bool usable() const { return xcb_connection_has_error(m_connection) == 0; }

    std::uint32_t create(std::uint16_t width, std::uint16_t height)
    {
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
        const std::uint32_t window = xcb_generate_id(m_connection);
        const std::uint32_t background = kWhite;
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, width,
                          height, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                          XCB_CW_BACK_PIXEL, &background);
        xcb_map_window(m_connection, window);
        sync();
        return window;
    }

    void destroy(std::uint32_t window)
    {
        xcb_destroy_window(m_connection, window);
        sync();
    }

    std::uint32_t createPixmap(std::uint16_t width, std::uint16_t height)
    {
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
        const std::uint32_t pixmap = xcb_generate_id(m_connection);
        xcb_create_pixmap(m_connection, screen->root_depth, pixmap, screen->root, width, height);
        sync();
        return pixmap;
    }

    // The window's pixels as 0xRRGGBB values, row by row.
    std::vector<std::uint32_t> read(std::uint32_t window, std::uint16_t width, std::uint16_t height)
    {
        std::vector<std::uint32_t> pixels;
        xcb_get_image_reply_t* reply =
            xcb_get_image_reply(m_connection,
                                xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0, 0,
                                              width, height, ~0U),
                                nullptr);
        if (reply == nullptr)
        {
            return pixels;
        }
        const std::uint8_t* data = xcb_get_image_data(reply);
        const int length = xcb_get_image_data_length(reply);
        for (int i = 0; i + 3 < length; i += 4)
        {
            pixels.push_back(
                static_cast<std::uint32_t>(data[i] | (data[i + 1] << 8) | (data[i + 2] << 16)));
        }
        std::free(reply);
        return pixels;
    }

private:
    void sync()
    {
        std::free(
            xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    }

    xcb_connection_t* m_connection;
};

class LiveVideoTest : public LibraryFixture
{
protected:
    static void SetUpTestSuite() { s_display = std::make_unique<XvfbDisplay>(); }
    static void TearDownTestSuite() { s_display.reset(); }

    void SetUp() override
    {
        ASSERT_TRUE(s_display->ready()) << "Xvfb did not start";
        LibraryFixture::SetUp();
        m_windows = std::make_unique<TestWindows>();
        ASSERT_TRUE(m_windows->usable());
        m_emulator = std::make_unique<Emulator>(std::vector<std::string>{"--uid", "5"});
        ASSERT_TRUE(m_emulator->ready());
        pointAt(m_emulator->port());
        ASSERT_EQ(m_api->SetJPEGResolution(320), 0);
    }

    void TearDown() override
    {
        LibraryFixture::TearDown();
        m_emulator.reset();
        m_windows.reset();
    }

    // Polls the window until `done` holds for its pixels; false after 10 s.
    bool waitForPixels(std::uint32_t window, std::uint16_t width, std::uint16_t height,
                       const std::function<bool(const std::vector<std::uint32_t>&)>& done)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline)
        {
            if (done(m_windows->read(window, width, height)))
            {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
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

    static std::unique_ptr<XvfbDisplay> s_display;
    std::unique_ptr<TestWindows> m_windows;
    std::unique_ptr<Emulator> m_emulator;
};

std::unique_ptr<XvfbDisplay> LiveVideoTest::s_display;

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

TEST_F(LiveVideoTest, AGarbledPictureIsReportedOnceAndThePictureMovesOnFromTheNextKeyframe)
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
        const ServerPause pause(*s_display, std::chrono::seconds(8));
        ASSERT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0);
        // A decoded picture is on its way to the stopped server.
        ASSERT_TRUE(m_listener.waitFor("image", 0, 320 * 65536 + 240));
        EXPECT_LT(timed([this] { m_api->PlayControl(1, 1, nullptr, 0, nullptr); }), kPromptly);
        EXPECT_LT(timed([this] { m_api->ClearImage(); }), kPromptly);
        EXPECT_LT(timed([this] { m_api->SetVideoWindow(0); }), kPromptly);
        EXPECT_LT(timed([this] { m_api->Close(); }), kPromptly);
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
    ASSERT_EQ(m_api->SetVideoWindow(window), 0);
    ASSERT_GE(m_api->Open(), 0);
    ASSERT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0);
    ASSERT_TRUE(waitForPixels(window, 320, 240, showsVideo));

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

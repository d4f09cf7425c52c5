#pragma once

#include <cstdint>
#include <vector>

struct xcb_connection_t;

namespace velkortest
{

// A test's own X client on DISPLAY: makes windows for the library to draw into and reads back
// what it drew.
class TestWindows
{
public:
    static constexpr std::uint32_t kWhite = 0xFFFFFF;

    TestWindows();
    ~TestWindows();
    TestWindows(const TestWindows&) = delete;
    TestWindows& operator=(const TestWindows&) = delete;

    bool usable() const;
    // A mapped window with a white background, at (x, y) of the screen.
    std::uint32_t create(std::uint16_t width, std::uint16_t height, std::int16_t x = 0,
                         std::int16_t y = 0);
    void destroy(std::uint32_t window);
    // From now on the presses and releases of the mouse's buttons in `window` come to this client,
    // as to a window's owner.
    void hearButtons(std::uint32_t window);
    // The buttons pressed (as +button) and released (as -button) in such windows since the last
    // call, in order.
    std::vector<int> buttonsHeard();
    // Swaps what two physical buttons of the mouse stand for, in the server's button map.
    bool swapButtons(int first, int second);
    void resize(std::uint32_t window, std::uint16_t width, std::uint16_t height);
    std::uint32_t createPixmap(std::uint16_t width, std::uint16_t height);
    // The window's pixels from (x, y) of it on, as 0xRRGGBB values, row by row; empty when they
    // cannot be read.
    std::vector<std::uint32_t> read(std::uint32_t window, std::uint16_t width, std::uint16_t height,
                                    std::int16_t x = 0, std::int16_t y = 0);

private:
    void sync();

    xcb_connection_t* m_connection;
};

} // namespace velkortest

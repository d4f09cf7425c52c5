#pragma once

#include <cstdint>

struct xcb_connection_t;

// A mapped 800 x 600 window on DISPLAY for the library to draw into, as the console's video area
// is; without a display (or when the X server refuses) there is none and id() is 0.
class BenchWindow
{
public:
    BenchWindow();
    ~BenchWindow();
    BenchWindow(const BenchWindow&) = delete;
    BenchWindow& operator=(const BenchWindow&) = delete;

    std::uint32_t id() const { return m_window; }

private:
    xcb_connection_t* m_connection = nullptr;
    std::uint32_t m_window = 0;
};

#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <vector>

// Reads a window's pixels back from the X server, as a person would see them on the screen,
// through an X connection of the test's own.
class WindowPixels
{
public:
    WindowPixels();
    ~WindowPixels();
    WindowPixels(const WindowPixels&) = delete;
    WindowPixels& operator=(const WindowPixels&) = delete;

    [[nodiscard]] bool usable() const;
    // The window's whole area as 0xRRGGBB values, row by row; empty when the server refused.
    [[nodiscard]] std::vector<std::uint32_t> read(std::uint32_t window) const;
    // The screen where the window lies, whatever covers it: what a person sees there.
    [[nodiscard]] std::vector<std::uint32_t> readOnScreen(std::uint32_t window) const;

    [[nodiscard]] static bool allBlack(const std::vector<std::uint32_t>& pixels);

private:
    [[nodiscard]] std::vector<std::uint32_t> readArea(std::uint32_t drawable, std::int16_t x,
                                                      std::int16_t y, std::uint16_t width,
                                                      std::uint16_t height) const;

    xcb_connection_t* m_connection;
};

#include "tests/e2e/WindowPixels.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace
{
struct FreeReply
{
    void operator()(void* reply) const { std::free(reply); }
};
} // namespace

WindowPixels::WindowPixels() : m_connection(xcb_connect(nullptr, nullptr)) {}

WindowPixels::~WindowPixels()
{
    xcb_disconnect(m_connection);
}

bool WindowPixels::usable() const
{
    return xcb_connection_has_error(m_connection) == 0;
}

std::vector<std::uint32_t> WindowPixels::read(std::uint32_t window) const
{
    const std::unique_ptr<xcb_get_geometry_reply_t, FreeReply> geometry(
        xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, window), nullptr));
    if (!geometry || geometry->depth < 24)
    {
        return {};
    }
    return readArea(window, 0, 0, geometry->width, geometry->height);
}

std::vector<std::uint32_t> WindowPixels::readOnScreen(std::uint32_t window) const
{
    const std::unique_ptr<xcb_get_geometry_reply_t, FreeReply> geometry(
        xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, window), nullptr));
    if (!geometry)
    {
        return {};
    }
    const std::unique_ptr<xcb_translate_coordinates_reply_t, FreeReply> onScreen(
        xcb_translate_coordinates_reply(
            m_connection, xcb_translate_coordinates(m_connection, window, geometry->root, 0, 0),
            nullptr));
    if (!onScreen)
    {
        return {};
    }
    return readArea(geometry->root, onScreen->dst_x, onScreen->dst_y, geometry->width,
                    geometry->height);
}

std::vector<std::uint32_t> WindowPixels::readArea(std::uint32_t drawable, std::int16_t x,
                                                  std::int16_t y, std::uint16_t width,
                                                  std::uint16_t height) const
{
    std::vector<std::uint32_t> pixels;
    const std::unique_ptr<xcb_get_image_reply_t, FreeReply> image(xcb_get_image_reply(
        m_connection,
        xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, x, y, width, height, ~0U),
        nullptr));
    if (!image)
    {
        return pixels;
    }
    // 24- and 32-bit visuals both come as 32-bit little-endian pixels, blue first.
    const std::uint8_t* data = xcb_get_image_data(image.get());
    const int length = xcb_get_image_data_length(image.get());
    pixels.reserve(static_cast<std::size_t>(length / 4));
    for (int i = 0; i + 3 < length; i += 4)
    {
        pixels.push_back(
            static_cast<std::uint32_t>(data[i] | (data[i + 1] << 8) | (data[i + 2] << 16)));
    }
    return pixels;
}

bool WindowPixels::allBlack(const std::vector<std::uint32_t>& pixels)
{
    return !pixels.empty() && std::all_of(pixels.begin(), pixels.end(),
                                          [](std::uint32_t pixel) { return pixel == 0; });
}

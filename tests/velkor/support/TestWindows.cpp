#include "tests/velkor/support/TestWindows.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <cstdlib>

namespace velkortest
{

TestWindows::TestWindows() : m_connection(xcb_connect(nullptr, nullptr)) {}

TestWindows::~TestWindows()
{
    xcb_disconnect(m_connection);
}

bool TestWindows::usable() const
{
    return xcb_connection_has_error(m_connection) == 0;
}

std::uint32_t TestWindows::create(std::uint16_t width, std::uint16_t height, std::int16_t x,
                                  std::int16_t y)
{
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
    const std::uint32_t window = xcb_generate_id(m_connection);
    const std::uint32_t background = kWhite;
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window, screen->root, x, y, width, height,
                      0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL,
                      &background);
    xcb_map_window(m_connection, window);
    sync();
    return window;
}

void TestWindows::destroy(std::uint32_t window)
{
    xcb_destroy_window(m_connection, window);
    sync();
}

void TestWindows::hearButtons(std::uint32_t window)
{
    const std::uint32_t events = XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE;
    xcb_change_window_attributes(m_connection, window, XCB_CW_EVENT_MASK, &events);
    sync();
}

std::vector<int> TestWindows::buttonsHeard()
{
    sync();
    std::vector<int> heard;
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection))
    {
        const int type = event->response_type & 0x7F;
        const int button = reinterpret_cast<xcb_button_press_event_t*>(event)->detail;
        if (type == XCB_BUTTON_PRESS || type == XCB_BUTTON_RELEASE)
        {
            heard.push_back(type == XCB_BUTTON_PRESS ? button : -button);
        }
        std::free(event);
    }
    return heard;
}

bool TestWindows::swapButtons(int first, int second)
{
    xcb_get_pointer_mapping_reply_t* current =
        xcb_get_pointer_mapping_reply(m_connection, xcb_get_pointer_mapping(m_connection), nullptr);
    if (current == nullptr)
    {
        return false;
    }
    const std::uint8_t* map = xcb_get_pointer_mapping_map(current);
    std::vector<std::uint8_t> swapped(map, map + xcb_get_pointer_mapping_map_length(current));
    std::free(current);
    if (first < 1 || second < 1 ||
        static_cast<std::size_t>(std::max(first, second)) > swapped.size())
    {
        return false;
    }
    std::swap(swapped[static_cast<std::size_t>(first - 1)],
              swapped[static_cast<std::size_t>(second - 1)]);
    xcb_set_pointer_mapping_reply_t* set = xcb_set_pointer_mapping_reply(
        m_connection,
        xcb_set_pointer_mapping(m_connection, static_cast<std::uint8_t>(swapped.size()),
                                swapped.data()),
        nullptr);
    const bool done = set != nullptr && set->status == XCB_MAPPING_STATUS_SUCCESS;
    std::free(set);
    return done;
}

void TestWindows::resize(std::uint32_t window, std::uint16_t width, std::uint16_t height)
{
    const std::array<std::uint32_t, 2> size{width, height};
    xcb_configure_window(m_connection, window, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT,
                         size.data());
    sync();
}

std::uint32_t TestWindows::createPixmap(std::uint16_t width, std::uint16_t height)
{
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
    const std::uint32_t pixmap = xcb_generate_id(m_connection);
    xcb_create_pixmap(m_connection, screen->root_depth, pixmap, screen->root, width, height);
    sync();
    return pixmap;
}

std::vector<std::uint32_t> TestWindows::read(std::uint32_t window, std::uint16_t width,
                                             std::uint16_t height, std::int16_t x, std::int16_t y)
{
    std::vector<std::uint32_t> pixels;
    xcb_get_image_reply_t* reply = xcb_get_image_reply(
        m_connection,
        xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, window, x, y, width, height, ~0U),
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

void TestWindows::sync()
{
    std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
}

} // namespace velkortest

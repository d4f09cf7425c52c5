#include "bench/support/BenchWindow.h"

#include <xcb/xcb.h>

#include <cstdlib>

BenchWindow::BenchWindow()
{
    if (std::getenv("DISPLAY") == nullptr)
    {
        return;
    }
    m_connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(m_connection) != 0)
    {
        return;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
    m_window = xcb_generate_id(m_connection);
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, screen->root, 0, 0, 800, 600, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    xcb_map_window(m_connection, m_window);
    // A round trip, so that the window exists before anyone else is given its id.
    std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
}

BenchWindow::~BenchWindow()
{
    if (m_connection != nullptr)
    {
        xcb_disconnect(m_connection);
    }
}

#include "velkor/draw/EmbeddedWindow.h"

#include "velkor/draw/XConnection.h"
#include "velkor/report/ResultCode.h"

#include <algorithm>
#include <array>
#include <utility>

namespace velkor
{

void EmbeddedWindow::connect(XConnection& connection)
{
    m_leftClicks.connect(connection);
}

int32_t EmbeddedWindow::check(XConnection& connection, std::uint32_t window)
{
    xcb_connection_t* server = connection.get();
    const unsigned int attributesRequest = xcb_get_window_attributes(server, window).sequence;
    const unsigned int geometryRequest = xcb_get_geometry(server, window).sequence;
    // A pixmap has a geometry too; only a window has attributes.
    const auto attributes =
        connection.replyTo<xcb_get_window_attributes_reply_t>(attributesRequest);
    const auto geometry = connection.replyTo<xcb_get_geometry_reply_t>(geometryRequest);
    if (!connection.healthy())
    {
        return InternalFailure;
    }
    if (!attributes || !geometry || attributes->_class != XCB_WINDOW_CLASS_INPUT_OUTPUT ||
        !connection.drawsDepth(geometry->depth))
    {
        return WindowInvalid;
    }
    const auto screen = connection.replyTo<xcb_get_geometry_reply_t>(
        xcb_get_geometry(server, geometry->root).sequence);
    const std::uint32_t gc = xcb_generate_id(server);
    if (!screen || !connection.accepted(xcb_create_gc_checked(server, gc, window, 0, nullptr)))
    {
        return connection.healthy() ? WindowInvalid : InternalFailure;
    }
    m_found = {window,          gc,
               geometry->depth, {geometry->width, geometry->height},
               geometry->root,  {screen->width, screen->height}};
    return Ok;
}

bool EmbeddedWindow::embed(XConnection& connection)
{
    m_window = m_found.window;
    m_gc = m_found.gc;
    m_depth = m_found.depth;
    m_size = m_found.size;
    m_root = m_found.root;
    m_screenSize = m_found.screenSize;
    return makeChild(connection);
}

bool EmbeddedWindow::makeChild(XConnection& connection)
{
    xcb_connection_t* server = connection.get();
    // Its size follows the window's from the window's configure events. It selects no input, so
    // every key and button reaches the window's owner as before.
    const std::uint32_t structure = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(server, m_window, XCB_CW_EVENT_MASK, &structure);
    const std::uint32_t child = xcb_generate_id(server);
    // No background: the child never flashes a colour of its own over the picture; what another
    // window uncovers is drawn again from what it showed.
    const std::array<std::uint32_t, 2> values{XCB_BACK_PIXMAP_NONE, XCB_EVENT_MASK_EXPOSURE};
    const bool made = connection.accepted(xcb_create_window_checked(
        server, XCB_COPY_FROM_PARENT, child, m_window, 0, 0,
        static_cast<std::uint16_t>(std::max(m_size.width, 1)),
        static_cast<std::uint16_t>(std::max(m_size.height, 1)), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
        XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXMAP | XCB_CW_EVENT_MASK, values.data()));
    if (!made)
    {
        return false;
    }
    m_child = child;
    xcb_map_window(server, child);
    m_leftClicks.listen(connection, m_root, child);
    return connection.sync();
}

void EmbeddedWindow::forget(XConnection& connection)
{
    m_leftClicks.stop(connection);
    if (m_gc != 0 && connection.healthy())
    {
        if (m_child != 0)
        {
            xcb_destroy_window(connection.get(), m_child);
        }
        const std::uint32_t nothing = 0;
        xcb_change_window_attributes(connection.get(), m_window, XCB_CW_EVENT_MASK, &nothing);
        xcb_free_gc(connection.get(), m_gc);
        xcb_flush(connection.get());
    }
    m_gc = 0;
    m_child = 0;
    m_window = 0;
    m_lost = false;
    m_exposed = false;
}

bool EmbeddedWindow::takeExposed()
{
    return std::exchange(m_exposed, false);
}

void EmbeddedWindow::handle(XConnection& connection, const xcb_generic_event_t& event)
{
    if (m_leftClicks.handle(event))
    {
        return;
    }
    switch (event.response_type & 0x7F)
    {
    case 0:
    {
        // Errors of unchecked requests; left unread they would pile up in xcb.
        const auto& error = reinterpret_cast<const xcb_generic_error_t&>(event);
        m_lost = m_lost || error.resource_id == m_window || error.resource_id == m_child ||
                 error.resource_id == m_gc;
        break;
    }
    case XCB_EXPOSE:
        m_exposed =
            m_exposed || reinterpret_cast<const xcb_expose_event_t&>(event).window == m_child;
        break;
    case XCB_CONFIGURE_NOTIFY:
        follow(connection, reinterpret_cast<const xcb_configure_notify_event_t&>(event));
        break;
    case XCB_DESTROY_NOTIFY:
        m_lost =
            m_lost || reinterpret_cast<const xcb_destroy_notify_event_t&>(event).window == m_window;
        break;
    default:
        break;
    }
}

void EmbeddedWindow::follow(XConnection& connection, const xcb_configure_notify_event_t& configure)
{
    if (configure.window == m_window && m_child != 0)
    {
        m_size = {configure.width, configure.height};
        const std::array<std::uint32_t, 2> size{configure.width, configure.height};
        xcb_configure_window(connection.get(), m_child,
                             XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size.data());
    }
}

} // namespace velkor

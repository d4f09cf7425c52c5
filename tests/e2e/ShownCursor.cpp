#include "tests/e2e/ShownCursor.h"

#include <xcb/xfixes.h>

#include <cstdlib>
#include <memory>

namespace
{
template <typename Reply> using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;
}

ShownCursor::ShownCursor() : m_connection(xcb_connect(nullptr, nullptr))
{
    if (xcb_connection_has_error(m_connection) != 0)
    {
        return;
    }
    // XFixes answers nothing before the client has said which version it speaks.
    const ReplyPtr<xcb_xfixes_query_version_reply_t> version(
        xcb_xfixes_query_version_reply(m_connection, xcb_xfixes_query_version(m_connection, 4, 0),
                                       nullptr),
        &std::free);
    m_xfixes = version != nullptr;
}

ShownCursor::~ShownCursor()
{
    xcb_disconnect(m_connection);
}

bool ShownCursor::usable() const
{
    return xcb_connection_has_error(m_connection) == 0 && m_xfixes;
}

void ShownCursor::moveTo(QPoint onScreen)
{
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
    xcb_warp_pointer(m_connection, XCB_NONE, screen->root, 0, 0, 0, 0,
                     static_cast<std::int16_t>(onScreen.x()),
                     static_cast<std::int16_t>(onScreen.y()));
    xcb_flush(m_connection);
}

std::optional<ShownCursor::Picture> ShownCursor::picture()
{
    const ReplyPtr<xcb_xfixes_get_cursor_image_reply_t> image(
        xcb_xfixes_get_cursor_image_reply(m_connection, xcb_xfixes_get_cursor_image(m_connection),
                                          nullptr),
        &std::free);
    if (!image)
    {
        return std::nullopt;
    }
    const std::uint32_t* pixels = xcb_xfixes_get_cursor_image_cursor_image(image.get());
    const int count = xcb_xfixes_get_cursor_image_cursor_image_length(image.get());
    return Picture{image->width, image->height, image->xhot, image->yhot,
                   std::vector<std::uint32_t>(pixels, pixels + count)};
}

#include "velkor/draw/VideoOutput.h"

#include "velkor/draw/StatisticsBox.h"
#include "velkor/report/ResultCode.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <utility>

namespace velkor
{
namespace
{

// Gives up a server that does not come back between two connection attempts.
constexpr std::chrono::seconds kReconnectPause{1};

} // namespace

VideoOutput::~VideoOutput()
{
    forgetWindow();
    m_upload.release(m_connection);
}

int32_t VideoOutput::setWindow(std::uintptr_t window)
{
    if (window == 0)
    {
        forgetWindow();
        return Ok;
    }
    if (window > std::numeric_limits<std::uint32_t>::max())
    {
        return WindowInvalid;
    }
    const auto id = static_cast<std::uint32_t>(window);
    if (connected() || connect())
    {
        const int32_t verdict = attach(id);
        if (verdict == WindowInvalid || connected())
        {
            return verdict;
        }
    }
    // No display, or one that does not answer: the window is kept, and drawn into once a
    // server answers for it.
    forgetWindow();
    m_window = id;
    return Ok;
}

void VideoOutput::clear()
{
    if (!connected() || m_gc == 0 || m_windowLost)
    {
        return;
    }
    // The handed window too: it shows once the child is gone.
    fillBlack(m_window);
    fillBlack(m_child);
    m_connection.sync();
    drainEvents();
    forgetShown();
    m_blank = true;
}

void VideoOutput::fillBlack(std::uint32_t window)
{
    const std::uint32_t black = 0;
    xcb_change_gc(m_connection.get(), m_gc, XCB_GC_FOREGROUND, &black);
    const xcb_rectangle_t everything{0, 0, std::numeric_limits<std::uint16_t>::max(),
                                     std::numeric_limits<std::uint16_t>::max()};
    xcb_poly_fill_rectangle(m_connection.get(), window, m_gc, 1, &everything);
}

bool VideoOutput::draw(const Frame& picture, const StatisticsBox* box)
{
    if (picture.empty() || !ready())
    {
        return false;
    }
    const auto depth = measureWindow();
    if (!depth)
    {
        return false;
    }
    DrawTarget target;
    target.window = m_windowSize;
    target.visible = m_visible;
    target.stride = static_cast<std::size_t>(m_visible.width) * 4;
    target.pixels =
        m_upload.reserve(m_connection, target.stride * static_cast<std::size_t>(m_visible.height));
    if (target.pixels == nullptr || !m_scaler.draw(picture, target))
    {
        return false;
    }
    if (box != nullptr)
    {
        box->paintOver(target);
    }
    m_upload.put(m_connection, m_child, m_gc, *depth, target);
    m_position.ask(m_connection, m_window, m_root);
    xcb_flush(m_connection.get());
    m_drawnWidth = m_windowSize.width;
    m_drawnHeight = m_windowSize.height;
    keepShown(picture);
    return true;
}

int VideoOutput::takeClicks()
{
    if (!connected())
    {
        return 0;
    }
    drainEvents();
    return m_leftClicks.take(m_connection);
}

bool VideoOutput::takeExposed()
{
    return std::exchange(m_exposed, false);
}

void VideoOutput::redraw(const StatisticsBox* box)
{
    m_exposed = false;
    if (!m_shown.empty())
    {
        draw(m_shown, box);
    }
    else if (m_blank && ready())
    {
        fillBlack(m_child);
        xcb_flush(m_connection.get());
    }
}

int VideoOutput::eventSocket()
{
    return connected() ? xcb_get_file_descriptor(m_connection.get()) : -1;
}

void VideoOutput::keepShown(const Frame& picture)
{
    m_blank = false;
    m_exposed = false;
    if (&picture == &m_shown)
    {
        return;
    }
    // A reference: the pixels stay the decoder's, and nothing is copied.
    av_frame_unref(m_shown.get());
    if (av_frame_ref(m_shown.get(), picture.get()) < 0)
    {
        av_frame_unref(m_shown.get());
    }
}

void VideoOutput::forgetShown()
{
    av_frame_unref(m_shown.get());
    m_blank = false;
    m_exposed = false;
}

PictureSize VideoOutput::drawnSize() const
{
    return {m_drawnWidth.load(), m_drawnHeight.load()};
}

bool VideoOutput::measure()
{
    return ready() && measureWindow().has_value();
}

bool VideoOutput::ready()
{
    if (m_window == 0 || m_windowLost)
    {
        return false;
    }
    if (!connected())
    {
        if (std::chrono::steady_clock::now() < m_nextConnect || !connect())
        {
            return false;
        }
        if (attach(m_window) != Ok)
        {
            // Refused by a server that answers: the window is gone. Unanswered: try again later.
            m_windowLost = connected();
            return false;
        }
    }
    drainEvents();
    return !m_windowLost && connected() && m_gc != 0;
}

std::optional<std::uint8_t> VideoOutput::measureWindow()
{
    const auto visible =
        m_position.visible(m_connection, m_window, m_root, m_windowSize, m_screenSize);
    if (!visible)
    {
        m_windowLost = connected();
        return std::nullopt;
    }
    m_visible = *visible;
    if (m_visible.width == 0 || m_visible.height == 0)
    {
        return std::nullopt;
    }
    return m_depth;
}

bool VideoOutput::connect()
{
    m_nextConnect = std::chrono::steady_clock::now() + kReconnectPause;
    m_position.forget();
    if (!m_connection.open())
    {
        return false;
    }
    m_upload.connect(m_connection);
    m_leftClicks.connect(m_connection);
    return connected();
}

bool VideoOutput::connected()
{
    if (m_connection.healthy())
    {
        return true;
    }
    // The server went with the connection: what it held for us is gone, the target stays.
    m_gc = 0;
    m_position.forget();
    m_upload.release(m_connection);
    return false;
}

int32_t VideoOutput::attach(std::uint32_t window)
{
    xcb_connection_t* connection = m_connection.get();
    const unsigned int attributesRequest = xcb_get_window_attributes(connection, window).sequence;
    const unsigned int geometryRequest = xcb_get_geometry(connection, window).sequence;
    // A pixmap has a geometry too; only a window has attributes.
    const auto attributes =
        m_connection.replyTo<xcb_get_window_attributes_reply_t>(attributesRequest);
    const auto geometry = m_connection.replyTo<xcb_get_geometry_reply_t>(geometryRequest);
    if (!connected())
    {
        return InternalFailure;
    }
    if (!attributes || !geometry || attributes->_class != XCB_WINDOW_CLASS_INPUT_OUTPUT ||
        !m_connection.drawsDepth(geometry->depth))
    {
        return WindowInvalid;
    }
    const auto screen = m_connection.replyTo<xcb_get_geometry_reply_t>(
        xcb_get_geometry(connection, geometry->root).sequence);
    const std::uint32_t gc = xcb_generate_id(connection);
    if (!screen ||
        !m_connection.accepted(xcb_create_gc_checked(connection, gc, window, 0, nullptr)))
    {
        return connected() ? WindowInvalid : InternalFailure;
    }
    forgetWindow();
    m_window = window;
    m_gc = gc;
    m_depth = geometry->depth;
    m_windowSize = {geometry->width, geometry->height};
    m_root = geometry->root;
    m_screenSize = {screen->width, screen->height};
    if (!makeChild(window, m_windowSize))
    {
        forgetWindow();
        return connected() ? WindowInvalid : InternalFailure;
    }
    return Ok;
}

bool VideoOutput::makeChild(std::uint32_t window, PictureSize size)
{
    xcb_connection_t* connection = m_connection.get();
    // Its size follows the window's from the window's configure events. It selects no input, so
    // every key and button reaches the window's owner as before.
    const std::uint32_t structure = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, window, XCB_CW_EVENT_MASK, &structure);
    const std::uint32_t child = xcb_generate_id(connection);
    // No background: the child never flashes a colour of its own over the picture; what another
    // window uncovers is drawn again from what it showed.
    const std::array<std::uint32_t, 2> values{XCB_BACK_PIXMAP_NONE, XCB_EVENT_MASK_EXPOSURE};
    const bool made = m_connection.accepted(xcb_create_window_checked(
        connection, XCB_COPY_FROM_PARENT, child, window, 0, 0,
        static_cast<std::uint16_t>(std::max(size.width, 1)),
        static_cast<std::uint16_t>(std::max(size.height, 1)), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
        XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXMAP | XCB_CW_EVENT_MASK, values.data()));
    if (!made)
    {
        return false;
    }
    m_child = child;
    xcb_map_window(connection, child);
    m_leftClicks.listen(m_connection, m_root, child);
    return m_connection.sync();
}

void VideoOutput::forgetWindow()
{
    m_position.drop(m_connection);
    m_leftClicks.stop(m_connection);
    if (m_gc != 0 && m_connection.healthy())
    {
        if (m_child != 0)
        {
            xcb_destroy_window(m_connection.get(), m_child);
        }
        const std::uint32_t nothing = 0;
        xcb_change_window_attributes(m_connection.get(), m_window, XCB_CW_EVENT_MASK, &nothing);
        xcb_free_gc(m_connection.get(), m_gc);
        xcb_flush(m_connection.get());
    }
    m_gc = 0;
    m_child = 0;
    m_window = 0;
    m_windowLost = false;
    forgetShown();
    m_drawnWidth = 0;
    m_drawnHeight = 0;
}

void VideoOutput::drainEvents()
{
    if (!connected())
    {
        return;
    }
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection.get()))
    {
        handle(*event);
        std::free(event);
    }
    connected();
}

void VideoOutput::handle(const xcb_generic_event_t& event)
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
        if (error.resource_id == m_window || error.resource_id == m_child ||
            error.resource_id == m_gc)
        {
            m_windowLost = true;
        }
        break;
    }
    case XCB_EXPOSE:
        m_exposed =
            m_exposed || reinterpret_cast<const xcb_expose_event_t&>(event).window == m_child;
        break;
    case XCB_CONFIGURE_NOTIFY:
    {
        const auto& configure = reinterpret_cast<const xcb_configure_notify_event_t&>(event);
        if (configure.window == m_window && m_child != 0)
        {
            m_windowSize = {configure.width, configure.height};
            const std::array<std::uint32_t, 2> size{configure.width, configure.height};
            xcb_configure_window(m_connection.get(), m_child,
                                 XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size.data());
        }
        break;
    }
    case XCB_DESTROY_NOTIFY:
        if (reinterpret_cast<const xcb_destroy_notify_event_t&>(event).window == m_window)
        {
            m_windowLost = true;
        }
        break;
    default:
        break;
    }
}

} // namespace velkor

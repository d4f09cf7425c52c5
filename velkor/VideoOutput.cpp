#include "VideoOutput.h"

#include "ResultCode.h"

#include <xcb/shm.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <memory>

namespace velkor
{
namespace
{

struct FreeDeleter
{
    void operator()(void* pointer) const { std::free(pointer); }
};
template <typename T> using XcbReply = std::unique_ptr<T, FreeDeleter>;

} // namespace

VideoOutput::~VideoOutput()
{
    std::lock_guard lock(m_mutex);
    disconnectLocked();
}

int32_t VideoOutput::setWindow(std::uintptr_t window)
{
    std::lock_guard lock(m_mutex);
    if (window == 0)
    {
        forgetWindowLocked();
        return Ok;
    }
    if (window > std::numeric_limits<std::uint32_t>::max())
    {
        return WindowInvalid;
    }
    const auto id = static_cast<std::uint32_t>(window);
    if (!connectLocked())
    {
        m_window = id;
        m_windowLost = false;
        return Ok;
    }
    xcb_generic_error_t* rawError = nullptr;
    XcbReply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, id), &rawError));
    XcbReply<xcb_generic_error_t> error(rawError);
    if (!geometry || !depthDrawableLocked(geometry->depth))
    {
        return WindowInvalid;
    }
    const std::uint32_t gc = xcb_generate_id(m_connection);
    XcbReply<xcb_generic_error_t> gcError(
        xcb_request_check(m_connection, xcb_create_gc_checked(m_connection, gc, id, 0, nullptr)));
    if (gcError)
    {
        return WindowInvalid;
    }
    forgetWindowLocked();
    m_window = id;
    m_gc = gc;
    m_windowLost = false;
    return Ok;
}

void VideoOutput::clear()
{
    std::lock_guard lock(m_mutex);
    if (m_connection == nullptr || m_gc == 0 || m_windowLost)
    {
        return;
    }
    const std::uint32_t black = 0;
    xcb_change_gc(m_connection, m_gc, XCB_GC_FOREGROUND, &black);
    const xcb_rectangle_t everything{0, 0, std::numeric_limits<std::uint16_t>::max(),
                                     std::numeric_limits<std::uint16_t>::max()};
    xcb_poly_fill_rectangle(m_connection, m_window, m_gc, 1, &everything);
    std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    drainErrorsLocked();
}

bool VideoOutput::present(const PlanarImage& image)
{
    std::lock_guard lock(m_mutex);
    if (m_connection == nullptr || m_gc == 0 || m_windowLost || image.width <= 0)
    {
        return false;
    }
    drainErrorsLocked();
    if (m_windowLost || m_connection == nullptr)
    {
        return false;
    }
    // Also the fence for shared memory: once the reply is here, the server has finished reading
    // the previous picture out of the block.
    xcb_generic_error_t* rawError = nullptr;
    XcbReply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, m_window), &rawError));
    XcbReply<xcb_generic_error_t> error(rawError);
    if (!geometry)
    {
        if (xcb_connection_has_error(m_connection) != 0)
        {
            disconnectLocked();
        }
        else
        {
            m_windowLost = true;
        }
        return false;
    }
    const int width = geometry->width;
    const int height = geometry->height;
    if (width == 0 || height == 0 || !depthDrawableLocked(geometry->depth))
    {
        return false;
    }
    const std::size_t stride = static_cast<std::size_t>(width) * 4;
    const std::size_t bytes = stride * static_cast<std::size_t>(height);
    if (m_shmUsable && m_shm.reserve(m_connection, bytes))
    {
        if (!m_scaler.draw(image, m_shm.data(), width, height, stride))
        {
            return false;
        }
        xcb_shm_put_image(m_connection, m_window, m_gc, static_cast<std::uint16_t>(width),
                          static_cast<std::uint16_t>(height), 0, 0,
                          static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), 0,
                          0, geometry->depth, XCB_IMAGE_FORMAT_Z_PIXMAP, 0, m_shm.id(), 0);
    }
    else
    {
        m_shmUsable = false;
        m_staging.resize(bytes);
        if (!m_scaler.draw(image, m_staging.data(), width, height, stride))
        {
            return false;
        }
        putImageLocked(m_staging.data(), width, height, geometry->depth);
    }
    xcb_flush(m_connection);
    m_drawnWidth = width;
    m_drawnHeight = height;
    return true;
}

PictureSize VideoOutput::drawnSize() const
{
    return {m_drawnWidth.load(), m_drawnHeight.load()};
}

void VideoOutput::putImageLocked(const std::uint8_t* pixels, int width, int height,
                                 std::uint8_t depth)
{
    const std::size_t stride = static_cast<std::size_t>(width) * 4;
    const std::size_t maxRequest =
        static_cast<std::size_t>(xcb_get_maximum_request_length(m_connection)) * 4;
    const std::size_t headroom = 64;
    const int rowsPerStrip =
        std::max(1, static_cast<int>((maxRequest > headroom ? maxRequest - headroom : 0) / stride));
    for (int top = 0; top < height; top += rowsPerStrip)
    {
        const int rows = std::min(rowsPerStrip, height - top);
        xcb_put_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, m_window, m_gc,
                      static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(rows), 0,
                      static_cast<std::int16_t>(top), 0, depth,
                      static_cast<std::uint32_t>(stride * static_cast<std::size_t>(rows)),
                      pixels + stride * static_cast<std::size_t>(top));
    }
}

bool VideoOutput::connectLocked()
{
    if (m_connection != nullptr)
    {
        return true;
    }
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection) != 0)
    {
        xcb_disconnect(connection);
        return false;
    }
    const xcb_setup_t* setup = xcb_get_setup(connection);
    m_littleEndian = setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
    m_drawableDepths.clear();
    const xcb_format_t* formats = xcb_setup_pixmap_formats(setup);
    const int count = xcb_setup_pixmap_formats_length(setup);
    for (int i = 0; i < count; ++i)
    {
        if ((formats[i].depth == 24 || formats[i].depth == 32) && formats[i].bits_per_pixel == 32)
        {
            m_drawableDepths.push_back(formats[i].depth);
        }
    }
    m_shmUsable = false;
    const xcb_query_extension_reply_t* shm = xcb_get_extension_data(connection, &xcb_shm_id);
    if (shm != nullptr && shm->present != 0)
    {
        XcbReply<xcb_shm_query_version_reply_t> version(
            xcb_shm_query_version_reply(connection, xcb_shm_query_version(connection), nullptr));
        m_shmUsable = version != nullptr;
    }
    m_connection = connection;
    return true;
}

void VideoOutput::disconnectLocked()
{
    if (m_connection == nullptr)
    {
        return;
    }
    const bool healthy = xcb_connection_has_error(m_connection) == 0;
    m_shm.release(healthy ? m_connection : nullptr);
    xcb_disconnect(m_connection);
    m_connection = nullptr;
    m_gc = 0;
    m_window = 0;
}

void VideoOutput::forgetWindowLocked()
{
    if (m_connection != nullptr && m_gc != 0)
    {
        xcb_free_gc(m_connection, m_gc);
        xcb_flush(m_connection);
    }
    m_gc = 0;
    m_window = 0;
    m_windowLost = false;
    m_drawnWidth = 0;
    m_drawnHeight = 0;
}

void VideoOutput::drainErrorsLocked()
{
    // Nothing is selected on the window, so all that arrives here are errors of unchecked
    // requests; left unread they would pile up in xcb.
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection))
    {
        if (event->response_type == 0)
        {
            const auto* error = reinterpret_cast<const xcb_generic_error_t*>(event);
            if (error->resource_id == m_window || error->resource_id == m_gc)
            {
                m_windowLost = true;
            }
        }
        std::free(event);
    }
    if (xcb_connection_has_error(m_connection) != 0)
    {
        disconnectLocked();
    }
}

bool VideoOutput::depthDrawableLocked(std::uint8_t depth) const
{
    return m_littleEndian && std::find(m_drawableDepths.begin(), m_drawableDepths.end(), depth) !=
                                 m_drawableDepths.end();
}

} // namespace velkor

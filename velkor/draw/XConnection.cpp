#include "velkor/draw/XConnection.h"

#include <poll.h>
#include <sys/socket.h>
#include <xcb/xcbext.h>

#include <algorithm>
#include <cstdlib>

namespace velkor
{

XConnection::~XConnection()
{
    close();
}

bool XConnection::open()
{
    close();
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection) != 0)
    {
        xcb_disconnect(connection);
        return false;
    }
    m_connection = connection;
    m_drawableDepths.clear();
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const xcb_format_t* formats = xcb_setup_pixmap_formats(setup);
    const int count = xcb_setup_pixmap_formats_length(setup);
    for (int i = 0; setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST && i < count; ++i)
    {
        if ((formats[i].depth == 24 || formats[i].depth == 32) && formats[i].bits_per_pixel == 32)
        {
            m_drawableDepths.push_back(formats[i].depth);
        }
    }
    std::lock_guard lock(m_socketMutex);
    m_socket = xcb_get_file_descriptor(connection);
    return true;
}

bool XConnection::drawsDepth(std::uint8_t depth) const
{
    return std::find(m_drawableDepths.begin(), m_drawableDepths.end(), depth) !=
           m_drawableDepths.end();
}

void XConnection::close()
{
    if (m_connection == nullptr)
    {
        return;
    }
    {
        std::lock_guard lock(m_socketMutex);
        m_socket = -1;
    }
    xcb_disconnect(m_connection);
    m_connection = nullptr;
}

void* XConnection::waitForReply(unsigned int sequence, xcb_generic_error_t** error)
{
    *error = nullptr;
    if (m_connection == nullptr)
    {
        return nullptr;
    }
    if (xcb_flush(m_connection) <= 0)
    {
        close();
        return nullptr;
    }
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (true)
    {
        void* reply = nullptr;
        if (xcb_poll_for_reply(m_connection, sequence, &reply, error) != 0)
        {
            return reply;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (xcb_connection_has_error(m_connection) != 0 || left.count() <= 0)
        {
            close();
            return nullptr;
        }
        pollfd readable{xcb_get_file_descriptor(m_connection), POLLIN, 0};
        ::poll(&readable, 1, static_cast<int>(left.count()));
    }
}

bool XConnection::sync()
{
    if (m_connection == nullptr)
    {
        return false;
    }
    xcb_generic_error_t* error = nullptr;
    void* reply = waitForReply(xcb_get_input_focus(m_connection).sequence, &error);
    std::free(reply);
    std::free(error);
    return m_connection != nullptr;
}

bool XConnection::accepted(xcb_void_cookie_t cookie)
{
    if (!sync())
    {
        return false;
    }
    // The later reply has arrived, so the answer to the request is known without waiting.
    void* reply = nullptr;
    xcb_generic_error_t* error = nullptr;
    xcb_poll_for_reply(m_connection, cookie.sequence, &reply, &error);
    std::free(reply);
    const bool refused = error != nullptr;
    std::free(error);
    return !refused;
}

bool XConnection::healthy()
{
    if (m_connection != nullptr && xcb_connection_has_error(m_connection) != 0)
    {
        close();
    }
    return m_connection != nullptr;
}

void XConnection::cut()
{
    std::lock_guard lock(m_socketMutex);
    if (m_socket >= 0)
    {
        ::shutdown(m_socket, SHUT_RDWR);
    }
}

} // namespace velkor

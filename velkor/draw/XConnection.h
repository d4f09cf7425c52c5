#pragma once

#include <xcb/xcb.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <vector>

namespace velkor
{

// The library's own connection to the X server, where no wait for the server lasts longer than
// kPatience: a server that does not answer in time is given up, and the connection closed. cut()
// may be called from any thread to free the owning thread from a write that a stopped server no
// longer reads; everything else belongs to one thread.
struct FreeDeleter
{
    void operator()(void* pointer) const { std::free(pointer); }
};
// A reply of xcb's, which xcb allocates with malloc().
template <typename T> using XcbReply = std::unique_ptr<T, FreeDeleter>;

class XConnection
{
public:
    static constexpr std::chrono::milliseconds kPatience{1000};

    XConnection() = default;
    ~XConnection();
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;

    // To the display DISPLAY names. The handshake itself cannot be bounded: a server that is
    // stopped at that moment holds the calling thread until it goes on.
    bool open();
    void close();
    bool isOpen() const { return m_connection != nullptr; }
    xcb_connection_t* get() const { return m_connection; }
    // Whether pictures of 32-bit pixels, blue in the lowest byte, go into a drawable of `depth`.
    bool drawsDepth(std::uint8_t depth) const;

    // The reply to request `sequence`, for the caller to free(). Null when the server refused the
    // request (`*error` set, for the caller to free()) or when it did not answer in time, in which
    // case the connection is given up.
    void* waitForReply(unsigned int sequence, xcb_generic_error_t** error);
    // As waitForReply, for a reply of type T; null as well when the server refused the request.
    template <typename T> XcbReply<T> replyTo(unsigned int sequence)
    {
        xcb_generic_error_t* error = nullptr;
        XcbReply<T> reply(static_cast<T*>(waitForReply(sequence, &error)));
        std::free(error);
        return reply;
    }
    // True once the server has handled every request sent so far; false when it was given up.
    bool sync();
    // For a checked request without a reply: true when the server took it, false when it refused
    // it or was given up.
    bool accepted(xcb_void_cookie_t cookie);
    // Closes the connection when xcb has found it broken; true while it is usable.
    bool healthy();

    void cut();

private:
    xcb_connection_t* m_connection = nullptr;
    std::vector<std::uint8_t> m_drawableDepths;
    std::mutex m_socketMutex;
    int m_socket = -1;
};

} // namespace velkor

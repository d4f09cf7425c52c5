#pragma once

#include "velkor/decode/Frame.h"
#include "velkor/draw/LeftClicks.h"

#include <xcb/xcb.h>

#include <cstdint>

namespace velkor
{

class XConnection;

// The library's own child window inside the window it is handed, as embedding players do, and
// what the server says about the two: the handed window's size follows from its configure events,
// the child's exposures say what must be drawn again, and errors or the handed window's
// destruction say it is lost. The child selects no input, so every key and button still reaches
// the window's owner; left clicks into it are heard through LeftClicks.
class EmbeddedWindow
{
public:
    // On each new connection.
    void connect(XConnection& connection);
    // Whether `window` is one this library draws into, keeping what embed() needs; Ok, or
    // WindowInvalid, or InternalFailure when the server does not answer. Nothing changes yet.
    int32_t check(XConnection& connection, std::uint32_t window);
    // Replaces the window (which forget() must have let go) with the one check() accepted and
    // makes the child inside it; false when the server refused or did not answer.
    bool embed(XConnection& connection);
    // Destroys the child and lets the handed window go.
    void forget(XConnection& connection);
    // The connection is gone, and with it what the server held for us; the window stays.
    void serverGone() { m_gc = 0; }
    void handle(XConnection& connection, const xcb_generic_event_t& event);
    int takeClicks(XConnection& connection) { return m_leftClicks.take(connection); }
    bool takeExposed();
    void forgetExposed() { m_exposed = false; }

    std::uint32_t window() const { return m_window; }
    std::uint32_t child() const { return m_child; }
    std::uint32_t gc() const { return m_gc; }
    std::uint8_t depth() const { return m_depth; }
    std::uint32_t root() const { return m_root; }
    PictureSize size() const { return m_size; }
    PictureSize screenSize() const { return m_screenSize; }
    // Kept without a connection, to be embedded into once a server answers for it.
    void keep(std::uint32_t window) { m_window = window; }
    bool lost() const { return m_lost; }
    void markLost() { m_lost = true; }

private:
    struct Found
    {
        std::uint32_t window = 0;
        std::uint32_t gc = 0;
        std::uint8_t depth = 0;
        PictureSize size;
        std::uint32_t root = 0;
        PictureSize screenSize;
    };

    bool makeChild(XConnection& connection);
    void follow(XConnection& connection, const xcb_configure_notify_event_t& configure);

    Found m_found;
    std::uint32_t m_window = 0;
    std::uint32_t m_child = 0;
    std::uint32_t m_gc = 0;
    std::uint8_t m_depth = 0;
    // The root of the window's screen, and the screen's size.
    std::uint32_t m_root = 0;
    PictureSize m_screenSize;
    PictureSize m_size;
    LeftClicks m_leftClicks;
    bool m_exposed = false;
    bool m_lost = false;
};

} // namespace velkor

#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <vector>

namespace velkor
{

class XConnection;

// Hears left clicks into one window without selecting button presses on it. X gives a window's
// presses to one client only, and that client's implicit grab takes the release and the drag too,
// so selecting them would take every button from the window's owner. XInput 2.1's raw button
// events reach every client that selects them on the root, whoever holds the pointer; where the
// pointer is when the event is read says whether the click went into the window, through every
// window stacked over it. Raw events carry the physical button, so the server's button map says
// which of them is the left one. Without XInput 2.1 no click is heard.
class LeftClicks
{
public:
    // On each new connection, before listen().
    void connect(XConnection& connection);
    // Hears presses into `window`, on the screen of `root`; one window at a time.
    void listen(XConnection& connection, std::uint32_t root, std::uint32_t window);
    void stop(XConnection& connection);
    // False when the event is none of this class's.
    bool handle(const xcb_generic_event_t& event);
    // Left presses heard since the last call, when the pointer is over the window now.
    int take(XConnection& connection);

private:
    bool readButtonMap(XConnection& connection);
    bool pointerOverWindow(XConnection& connection) const;
    void select(XConnection& connection, std::uint32_t events);

    // The XInput extension's major opcode; 0 when the server lacks XInput 2.1.
    std::uint8_t m_opcode = 0;
    std::uint32_t m_root = 0;
    std::uint32_t m_window = 0;
    // The physical buttons the server takes for the left one.
    std::vector<std::uint8_t> m_leftButtons;
    bool m_mapStale = true;
    std::vector<std::uint8_t> m_pressed;
};

} // namespace velkor

#include "velkor/draw/LeftClicks.h"

#include "velkor/draw/XConnection.h"

#include <xcb/xinput.h>

#include <algorithm>
#include <cstring>

namespace velkor
{
namespace
{

// Deeper than any desktop nests its windows; bounds the walk down from the root.
constexpr int kDeepestWindow = 32;
constexpr std::uint8_t kLeftButton = 1;

} // namespace

void LeftClicks::connect(XConnection& connection)
{
    m_opcode = 0;
    m_root = 0;
    m_window = 0;
    m_mapStale = true;
    m_pressed.clear();
    // Asked for by hand first, as xcb's own extension cache waits without a bound.
    constexpr const char* kName = "XInputExtension";
    const auto extension = connection.replyTo<xcb_query_extension_reply_t>(
        xcb_query_extension(connection.get(), static_cast<std::uint16_t>(std::strlen(kName)), kName)
            .sequence);
    if (!extension || extension->present == 0)
    {
        return;
    }
    // The version a client announces decides whether its raw events come during another
    // client's grab: from 2.1 on they do.
    const auto version = connection.replyTo<xcb_input_xi_query_version_reply_t>(
        xcb_input_xi_query_version(connection.get(), 2, 2).sequence);
    if (version && (version->major_version > 2 ||
                    (version->major_version == 2 && version->minor_version >= 1)))
    {
        m_opcode = extension->major_opcode;
    }
}

void LeftClicks::listen(XConnection& connection, std::uint32_t root, std::uint32_t window)
{
    m_root = root;
    m_window = window;
    m_pressed.clear();
    select(connection, XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS);
}

void LeftClicks::stop(XConnection& connection)
{
    select(connection, 0);
    m_window = 0;
    m_pressed.clear();
}

void LeftClicks::select(XConnection& connection, std::uint32_t events)
{
    if (m_opcode == 0 || m_root == 0 || !connection.healthy())
    {
        return;
    }
    struct
    {
        xcb_input_event_mask_t head;
        std::uint32_t events;
    } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, events};
    xcb_input_xi_select_events(connection.get(), m_root, 1, &mask.head);
}

bool LeftClicks::handle(const xcb_generic_event_t& event)
{
    const int type = event.response_type & 0x7F;
    if (type == XCB_MAPPING_NOTIFY)
    {
        m_mapStale =
            m_mapStale || reinterpret_cast<const xcb_mapping_notify_event_t&>(event).request ==
                              XCB_MAPPING_POINTER;
        return true;
    }
    if (type != XCB_GE_GENERIC || m_opcode == 0)
    {
        return false;
    }
    const auto& generic = reinterpret_cast<const xcb_ge_generic_event_t&>(event);
    if (generic.extension != m_opcode || generic.event_type != XCB_INPUT_RAW_BUTTON_PRESS)
    {
        return false;
    }
    if (m_window != 0)
    {
        const auto& press = reinterpret_cast<const xcb_input_raw_button_press_event_t&>(event);
        m_pressed.push_back(static_cast<std::uint8_t>(press.detail));
    }
    return true;
}

int LeftClicks::take(XConnection& connection)
{
    if (m_pressed.empty())
    {
        return 0;
    }
    std::vector<std::uint8_t> pressed;
    pressed.swap(m_pressed);
    if (m_mapStale && !readButtonMap(connection))
    {
        return 0;
    }
    const auto clicks =
        std::count_if(pressed.begin(), pressed.end(),
                      [this](std::uint8_t button) {
                          return std::find(m_leftButtons.begin(), m_leftButtons.end(), button) !=
                                 m_leftButtons.end();
                      });
    return clicks > 0 && pointerOverWindow(connection) ? static_cast<int>(clicks) : 0;
}

bool LeftClicks::readButtonMap(XConnection& connection)
{
    const auto map = connection.replyTo<xcb_get_pointer_mapping_reply_t>(
        xcb_get_pointer_mapping(connection.get()).sequence);
    if (!map)
    {
        return false;
    }
    // The server's map goes from physical to logical buttons; the left is logical button 1.
    const std::uint8_t* logical = xcb_get_pointer_mapping_map(map.get());
    const int length = xcb_get_pointer_mapping_map_length(map.get());
    m_leftButtons.clear();
    for (int physical = 0; physical < length; ++physical)
    {
        if (logical[physical] == kLeftButton)
        {
            m_leftButtons.push_back(static_cast<std::uint8_t>(physical + 1));
        }
    }
    m_mapStale = false;
    return true;
}

bool LeftClicks::pointerOverWindow(XConnection& connection) const
{
    std::uint32_t window = m_root;
    for (int depth = 0; depth < kDeepestWindow; ++depth)
    {
        const auto pointer = connection.replyTo<xcb_query_pointer_reply_t>(
            xcb_query_pointer(connection.get(), window).sequence);
        if (!pointer || pointer->same_screen == 0 || pointer->child == XCB_NONE)
        {
            return false;
        }
        if (pointer->child == m_window)
        {
            return true;
        }
        window = pointer->child;
    }
    return false;
}

} // namespace velkor

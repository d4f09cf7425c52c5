#include "tests/e2e/WindowInspector.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace
{
struct FreeReply
{
    void operator()(void* reply) const { std::free(reply); }
};

template <typename Reply> using ReplyPtr = std::unique_ptr<Reply, FreeReply>;

constexpr std::uint32_t kPagerSource = 2; // _NET_ACTIVE_WINDOW from a task bar or pager
constexpr std::uint32_t kIconicState = 3;
} // namespace

WindowInspector::WindowInspector() : m_connection(xcb_connect(nullptr, nullptr)) {}

WindowInspector::~WindowInspector()
{
    xcb_disconnect(m_connection);
}

bool WindowInspector::usable() const
{
    return xcb_connection_has_error(m_connection) == 0;
}

std::uint32_t WindowInspector::atom(const std::string& name)
{
    const auto known = m_atoms.find(name);
    if (known != m_atoms.end())
    {
        return known->second;
    }
    const ReplyPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        m_connection,
        xcb_intern_atom(m_connection, 0, static_cast<std::uint16_t>(name.size()), name.c_str()),
        nullptr));
    const std::uint32_t value = reply ? reply->atom : std::uint32_t{XCB_ATOM_NONE};
    m_atoms[name] = value;
    return value;
}

std::vector<std::uint32_t> WindowInspector::items(std::uint32_t window, const std::string& property)
{
    const ReplyPtr<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(m_connection,
                               xcb_get_property(m_connection, 0, window, atom(property),
                                                XCB_GET_PROPERTY_TYPE_ANY, 0, 1U << 20),
                               nullptr));
    if (!reply || reply->format != 32)
    {
        return {};
    }
    const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    return {data, data + xcb_get_property_value_length(reply.get()) / 4};
}

std::vector<std::string> WindowInspector::atomNames(std::uint32_t window,
                                                    const std::string& property)
{
    std::vector<std::string> names;
    for (const std::uint32_t item : items(window, property))
    {
        const ReplyPtr<xcb_get_atom_name_reply_t> reply(
            xcb_get_atom_name_reply(m_connection, xcb_get_atom_name(m_connection, item), nullptr));
        if (reply)
        {
            names.emplace_back(
                xcb_get_atom_name_name(reply.get()),
                static_cast<std::size_t>(xcb_get_atom_name_name_length(reply.get())));
        }
    }
    return names;
}

std::optional<std::uint32_t> WindowInspector::transientFor(std::uint32_t window)
{
    const std::vector<std::uint32_t> owner = items(window, "WM_TRANSIENT_FOR");
    if (owner.empty())
    {
        return std::nullopt;
    }
    return owner.front();
}

std::optional<QRect> WindowInspector::outerGeometry(std::uint32_t window)
{
    const std::vector<std::uint32_t> frame = items(window, "_NET_FRAME_EXTENTS");
    const ReplyPtr<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, window), nullptr));
    if (frame.size() != 4 || !geometry)
    {
        return std::nullopt;
    }
    const ReplyPtr<xcb_translate_coordinates_reply_t> onScreen(xcb_translate_coordinates_reply(
        m_connection, xcb_translate_coordinates(m_connection, window, geometry->root, 0, 0),
        nullptr));
    if (!onScreen)
    {
        return std::nullopt;
    }
    // _NET_FRAME_EXTENTS: left, right, top, bottom.
    const auto left = static_cast<int>(frame[0]);
    const auto right = static_cast<int>(frame[1]);
    const auto top = static_cast<int>(frame[2]);
    const auto bottom = static_cast<int>(frame[3]);
    return QRect(onScreen->dst_x - left, onScreen->dst_y - top, geometry->width + left + right,
                 geometry->height + top + bottom);
}

void WindowInspector::announceFrame(std::uint32_t window, const std::vector<std::uint32_t>& extents)
{
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, atom("_NET_FRAME_EXTENTS"),
                        XCB_ATOM_CARDINAL, 32, static_cast<std::uint32_t>(extents.size()),
                        extents.data());
    xcb_flush(m_connection);
}

bool WindowInspector::viewable(std::uint32_t window)
{
    const ReplyPtr<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
        m_connection, xcb_get_window_attributes(m_connection, window), nullptr));
    return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
}

std::uint32_t WindowInspector::wmState(std::uint32_t window)
{
    const std::vector<std::uint32_t> state = items(window, "WM_STATE");
    return state.empty() ? 0 : state.front();
}

void WindowInspector::requestIconic(std::uint32_t window)
{
    sendToRoot(window, "WM_CHANGE_STATE", {kIconicState});
}

void WindowInspector::requestActive(std::uint32_t window)
{
    sendToRoot(window, "_NET_ACTIVE_WINDOW", {kPagerSource, XCB_CURRENT_TIME});
}

void WindowInspector::sendToRoot(std::uint32_t window, const std::string& type,
                                 const std::vector<std::uint32_t>& data)
{
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atom(type);
    for (std::size_t i = 0; i < data.size() && i < 5; ++i)
    {
        message.data.data32[i] = data[i];
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    std::array<char, 32> event{};
    static_assert(sizeof message == event.size());
    std::memcpy(event.data(), &message, sizeof message);
    xcb_send_event(m_connection, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   event.data());
    xcb_flush(m_connection);
}

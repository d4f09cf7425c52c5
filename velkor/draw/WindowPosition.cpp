#include "velkor/draw/WindowPosition.h"

#include "velkor/draw/XConnection.h"

#include <algorithm>

namespace velkor
{
namespace
{

// How old the window's place may be when a picture is drawn by it: a frame or two of a live
// stream. An older one, after a pause, is asked again.
constexpr std::chrono::milliseconds kFreshFor{100};

} // namespace

void WindowPosition::ask(XConnection& connection, std::uint32_t window, std::uint32_t root)
{
    m_asked = Question{xcb_translate_coordinates(connection.get(), window, root, 0, 0).sequence,
                       std::chrono::steady_clock::now()};
}

void WindowPosition::drop(XConnection& connection)
{
    if (m_asked && connection.healthy())
    {
        xcb_discard_reply(connection.get(), m_asked->sequence);
    }
    m_asked.reset();
}

std::optional<PictureArea> WindowPosition::visible(XConnection& connection, std::uint32_t window,
                                                   std::uint32_t root, PictureSize windowSize,
                                                   PictureSize screenSize)
{
    if (m_asked && std::chrono::steady_clock::now() - m_asked->asked > kFreshFor)
    {
        drop(connection);
    }
    if (!m_asked)
    {
        ask(connection, window, root);
    }
    const unsigned int sequence = m_asked->sequence;
    m_asked.reset();
    const auto position = connection.replyTo<xcb_translate_coordinates_reply_t>(sequence);
    if (!position)
    {
        return std::nullopt;
    }
    // The rest could never show.
    const int left = std::max(0, -position->dst_x);
    const int top = std::max(0, -position->dst_y);
    const int right = std::min<int>(windowSize.width, screenSize.width - position->dst_x);
    const int bottom = std::min<int>(windowSize.height, screenSize.height - position->dst_y);
    return PictureArea{left, top, std::max(0, right - left), std::max(0, bottom - top)};
}

} // namespace velkor

#include "velkor/draw/VideoOutput.h"

#include "velkor/draw/StatisticsBox.h"
#include "velkor/report/ResultCode.h"

#include <cstdlib>
#include <limits>
#include <optional>

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
    m_embedded.keep(id);
    return Ok;
}

void VideoOutput::clear()
{
    if (!connected() || m_embedded.gc() == 0 || m_embedded.lost())
    {
        return;
    }
    // The handed window too: it shows once the child is gone.
    fillBlack(m_embedded.window());
    fillBlack(m_embedded.child());
    m_connection.sync();
    drainEvents();
    forgetShown();
    m_blank = true;
}

void VideoOutput::fillBlack(std::uint32_t window)
{
    const std::uint32_t black = 0;
    const std::uint32_t gc = m_embedded.gc();
    xcb_change_gc(m_connection.get(), gc, XCB_GC_FOREGROUND, &black);
    const xcb_rectangle_t everything{0, 0, std::numeric_limits<std::uint16_t>::max(),
                                     std::numeric_limits<std::uint16_t>::max()};
    xcb_poly_fill_rectangle(m_connection.get(), window, gc, 1, &everything);
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
    target.window = m_embedded.size();
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
    m_upload.put(m_connection, m_embedded.child(), m_embedded.gc(), *depth, target);
    m_position.ask(m_connection, m_embedded.window(), m_embedded.root());
    xcb_flush(m_connection.get());
    m_drawnWidth = m_embedded.size().width;
    m_drawnHeight = m_embedded.size().height;
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
    return m_embedded.takeClicks(m_connection);
}

bool VideoOutput::takeExposed()
{
    return m_embedded.takeExposed();
}

void VideoOutput::redraw(const StatisticsBox* box)
{
    m_embedded.forgetExposed();
    if (!m_shown.empty())
    {
        draw(m_shown, box);
    }
    else if (m_blank && ready())
    {
        fillBlack(m_embedded.child());
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
    m_embedded.forgetExposed();
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
    m_embedded.forgetExposed();
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
    if (m_embedded.window() == 0 || m_embedded.lost())
    {
        return false;
    }
    if (!connected())
    {
        if (std::chrono::steady_clock::now() < m_nextConnect || !connect())
        {
            return false;
        }
        if (attach(m_embedded.window()) != Ok)
        {
            // Refused by a server that answers: the window is gone. Unanswered: try again later.
            if (connected())
            {
                m_embedded.markLost();
            }
            return false;
        }
    }
    drainEvents();
    return !m_embedded.lost() && connected() && m_embedded.gc() != 0;
}

std::optional<std::uint8_t> VideoOutput::measureWindow()
{
    const auto visible = m_position.visible(m_connection, m_embedded.window(), m_embedded.root(),
                                            m_embedded.size(), m_embedded.screenSize());
    if (!visible)
    {
        if (connected())
        {
            m_embedded.markLost();
        }
        return std::nullopt;
    }
    m_visible = *visible;
    if (m_visible.width == 0 || m_visible.height == 0)
    {
        return std::nullopt;
    }
    return m_embedded.depth();
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
    m_embedded.connect(m_connection);
    return connected();
}

bool VideoOutput::connected()
{
    if (m_connection.healthy())
    {
        return true;
    }
    // The server went with the connection: what it held for us is gone, the target stays.
    m_embedded.serverGone();
    m_position.forget();
    m_upload.release(m_connection);
    return false;
}

int32_t VideoOutput::attach(std::uint32_t window)
{
    const int32_t verdict = m_embedded.check(m_connection, window);
    if (verdict != Ok)
    {
        return verdict;
    }
    forgetWindow();
    if (!m_embedded.embed(m_connection))
    {
        forgetWindow();
        return connected() ? WindowInvalid : InternalFailure;
    }
    return Ok;
}

void VideoOutput::forgetWindow()
{
    m_position.drop(m_connection);
    m_embedded.forget(m_connection);
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
        m_embedded.handle(m_connection, *event);
        std::free(event);
    }
    connected();
}

} // namespace velkor

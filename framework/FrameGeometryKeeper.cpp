#include "framework/FrameGeometryKeeper.h"

#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace
{
xcb_connection_t* x11Connection()
{
    const auto* x11 = qGuiApp != nullptr
                          ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                          : nullptr;
    return x11 != nullptr ? x11->connection() : nullptr;
}

template <typename Reply> using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;
} // namespace

void FrameGeometryKeeper::keep(QWidget* window, std::optional<QPoint> position,
                               std::optional<QSize> size)
{
    for (FrameGeometryKeeper* earlier :
         window->findChildren<FrameGeometryKeeper*>(Qt::FindDirectChildrenOnly))
    {
        delete earlier;
    }
    auto* keeper = new FrameGeometryKeeper(window, position, size);
    keeper->apply();
}

FrameGeometryKeeper::FrameGeometryKeeper(QWidget* window, std::optional<QPoint> position,
                                         std::optional<QSize> size)
    : QObject(window), m_window(window), m_position(position), m_size(size)
{
    window->installEventFilter(this);
    if (xcb_connection_t* connection = x11Connection())
    {
        static constexpr char kExtents[] = "_NET_FRAME_EXTENTS";
        const ReplyPtr<xcb_intern_atom_reply_t> atom(
            xcb_intern_atom_reply(
                connection, xcb_intern_atom(connection, 0, sizeof kExtents - 1, kExtents), nullptr),
            &std::free);
        m_extentsAtom = atom != nullptr ? atom->atom : 0;
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
}

FrameGeometryKeeper::~FrameGeometryKeeper()
{
    if (QCoreApplication::instance() != nullptr)
    {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
}

bool FrameGeometryKeeper::eventFilter(QObject* watched, QEvent* event)
{
    // The window manager's frame arrives without an event of its own; it is there by the time the
    // window is first painted, and a reframed window is moved, resized or activated anew.
    const QEvent::Type type = event->type();
    if (watched == m_window &&
        (type == QEvent::Show || type == QEvent::Paint || type == QEvent::Move ||
         type == QEvent::Resize || type == QEvent::ActivationChange))
    {
        if (frame() != m_frame)
        {
            apply();
        }
    }
    return QObject::eventFilter(watched, event);
}

// Qt reads the frame again only when the window is moved or resized, and a frame that the window
// manager puts round the window after Qt last looked goes unseen. On X11 the window manager
// announces each frame in _NET_FRAME_EXTENTS, so the geometry is kept from there.
bool FrameGeometryKeeper::nativeEventFilter(const QByteArray& eventType, void* message,
                                            qintptr* /*result*/)
{
    if (m_extentsAtom == 0 || !m_window || eventType != "xcb_generic_event_t")
    {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7FU) != XCB_PROPERTY_NOTIFY)
    {
        return false;
    }
    const auto* change = static_cast<const xcb_property_notify_event_t*>(message);
    if (change->atom == m_extentsAtom && m_window->testAttribute(Qt::WA_WState_Created) &&
        change->window == static_cast<xcb_window_t>(m_window->winId()))
    {
        // Not in the middle of Qt's own handling of the event.
        QTimer::singleShot(0, this,
                           [this]
                           {
                               if (frame() != m_frame)
                               {
                                   apply();
                               }
                           });
    }
    return false;
}

QMargins FrameGeometryKeeper::frame() const
{
    if (const std::optional<QMargins> announced = announcedFrame())
    {
        return *announced;
    }
    const QWindow* handle = m_window->windowHandle();
    return handle != nullptr ? handle->frameMargins() : QMargins();
}

std::optional<QMargins> FrameGeometryKeeper::announcedFrame() const
{
    xcb_connection_t* connection = x11Connection();
    if (m_extentsAtom == 0 || connection == nullptr ||
        !m_window->testAttribute(Qt::WA_WState_Created))
    {
        return std::nullopt;
    }
    const auto window = static_cast<xcb_window_t>(m_window->winId());
    const ReplyPtr<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(
            connection,
            xcb_get_property(connection, 0, window, m_extentsAtom, XCB_ATOM_CARDINAL, 0, 4),
            nullptr),
        &std::free);
    if (reply == nullptr || reply->format != 32 || xcb_get_property_value_length(reply.get()) != 16)
    {
        return std::nullopt;
    }
    std::uint32_t extents[4] = {}; // left, right, top, bottom
    std::memcpy(extents, xcb_get_property_value(reply.get()), sizeof extents);
    return QMargins(static_cast<int>(extents[0]), static_cast<int>(extents[2]),
                    static_cast<int>(extents[1]), static_cast<int>(extents[3]));
}

void FrameGeometryKeeper::apply()
{
    const std::optional<QMargins> announced = announcedFrame();
    m_frame = frame();
    if (m_position)
    {
        QWindow* handle = m_window->windowHandle();
        if (announced && handle != nullptr)
        {
            // The client area's place, from the frame the window manager announced: move() would
            // take the frame from Qt, which may not have seen it yet.
            handle->setPosition(*m_position + QPoint(m_frame.left(), m_frame.top()));
        }
        else
        {
            m_window->move(*m_position); // move() places the frame's corner
        }
    }
    if (m_size)
    {
        const QSize client = m_size->shrunkBy(m_frame);
        if (m_window->minimumSize() == m_window->maximumSize())
        {
            m_window->setFixedSize(client); // a window the user cannot resize stays so
        }
        else
        {
            m_window->resize(client);
        }
    }
}

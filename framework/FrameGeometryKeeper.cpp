#include "framework/FrameGeometryKeeper.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace
{
QMargins frameOf(const QWidget* window)
{
    const QWindow* handle = window->windowHandle();
    return handle != nullptr ? handle->frameMargins() : QMargins();
}
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
        if (frameOf(m_window) != m_frame)
        {
            apply();
        }
    }
    return QObject::eventFilter(watched, event);
}

void FrameGeometryKeeper::apply()
{
    m_frame = frameOf(m_window);
    if (m_position)
    {
        m_window->move(*m_position); // move() places the frame's corner
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

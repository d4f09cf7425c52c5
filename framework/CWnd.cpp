#include "CWnd.h"

#include <QTimer>

HWND CWnd::GetSafeHwnd() const
{
    if (m_widget == nullptr || !m_widget->testAttribute(Qt::WA_NativeWindow))
    {
        return 0;
    }
    return static_cast<HWND>(m_widget->winId());
}

bool CWnd::EnableWindow(bool enable)
{
    if (m_widget == nullptr)
    {
        return false;
    }
    const bool wasDisabled = !m_widget->isEnabled();
    m_widget->setEnabled(enable);
    return wasDisabled;
}

bool CWnd::IsWindowEnabled() const
{
    return m_widget != nullptr && m_widget->isEnabled();
}

namespace
{
void applyOuterGeometry(QWidget* window, int x, int y, int width, int height, WindowPosFlags flags)
{
    if (!flags.testFlag(WindowPosFlag::SWP_NOMOVE))
    {
        window->move(x, y); // move() places the frame's corner
    }
    if (!flags.testFlag(WindowPosFlag::SWP_NOSIZE))
    {
        const QSize frameExtra = window->frameGeometry().size() - window->size();
        const QSize client(width - frameExtra.width(), height - frameExtra.height());
        if (window->minimumSize() == window->maximumSize())
        {
            window->setFixedSize(client); // a window the user cannot resize stays so
        }
        else
        {
            window->resize(client);
        }
    }
}
} // namespace

void CWnd::SetWindowPos(int x, int y, int width, int height, WindowPosFlags flags)
{
    if (m_widget == nullptr)
    {
        return;
    }
    if (m_widget->isWindow())
    {
        applyOuterGeometry(m_widget, x, y, width, height, flags);
        if (!m_widget->isVisible())
        {
            // The frame's size is known only once the window manager has framed the window.
            QPointer<QWidget> window = m_widget;
            QTimer::singleShot(0, window,
                               [window, x, y, width, height, flags]
                               { applyOuterGeometry(window, x, y, width, height, flags); });
        }
    }
    else
    {
        QRect geometry = m_widget->geometry();
        if (!flags.testFlag(WindowPosFlag::SWP_NOMOVE))
        {
            geometry.moveTopLeft({x, y});
        }
        if (!flags.testFlag(WindowPosFlag::SWP_NOSIZE))
        {
            geometry.setSize({width, height});
        }
        m_widget->setGeometry(geometry);
        // The parent may draw around its children (frames' outlines); let it redraw them.
        if (QWidget* parent = m_widget->parentWidget())
        {
            parent->update();
        }
    }
    if (!flags.testFlag(WindowPosFlag::SWP_NOZORDER))
    {
        m_widget->raise();
    }
    if (flags.testFlag(WindowPosFlag::SWP_SHOWWINDOW))
    {
        m_widget->show();
    }
}

#include "framework/CWnd.h"

#include "framework/FrameGeometryKeeper.h"

#include <optional>

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

void CWnd::SetWindowPos(int x, int y, int width, int height, WindowPosFlags flags)
{
    if (m_widget == nullptr)
    {
        return;
    }
    if (m_widget->isWindow())
    {
        FrameGeometryKeeper::keep(
            m_widget,
            flags.testFlag(WindowPosFlag::SWP_NOMOVE) ? std::nullopt
                                                      : std::optional<QPoint>(QPoint(x, y)),
            flags.testFlag(WindowPosFlag::SWP_NOSIZE) ? std::nullopt
                                                      : std::optional<QSize>(QSize(width, height)));
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

#include "framework/NativeFrame.h"

#include <xcb/xcb.h>

#include <QEvent>
#include <QGuiApplication>
#include <cstdint>

NativeFrame::NativeFrame(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_DontCreateNativeAncestors);
    setAttribute(Qt::WA_PaintOnScreen);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
}

QPaintEngine* NativeFrame::paintEngine() const
{
    return nullptr;
}

bool NativeFrame::event(QEvent* event)
{
    if (event->type() == QEvent::WinIdChange)
    {
        letTheServerClearToBlack();
    }
    return QWidget::event(event);
}

void NativeFrame::letTheServerClearToBlack()
{
    // Qt creates its X11 windows without a background, so what another window leaves behind
    // stays on screen until someone draws there; with a background the X server clears every
    // exposed part itself, at start-up, after a box closed over the area and when it grows.
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (QGuiApplication::platformName() != QLatin1String("xcb") || x11 == nullptr ||
        x11->connection() == nullptr || !testAttribute(Qt::WA_WState_Created))
    {
        return;
    }
    xcb_connection_t* connection = x11->connection();
    const auto window = static_cast<xcb_window_t>(winId());
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const std::uint32_t black = screen != nullptr ? screen->black_pixel : 0;
    xcb_change_window_attributes(connection, window, XCB_CW_BACK_PIXEL, &black);
    xcb_clear_area(connection, 0, window, 0, 0, 0, 0);
    xcb_flush(connection);
}

#pragma once

#include "framework/WinTypes.h"

#include <QFlags>
#include <QPointer>
#include <QWidget>

// What CWnd::SetWindowPos leaves alone or does besides.
enum class WindowPosFlag : unsigned
{
    SWP_NOSIZE = 1U << 0,
    SWP_NOMOVE = 1U << 1,
    SWP_NOZORDER = 1U << 2,
    SWP_SHOWWINDOW = 1U << 3,
};
Q_DECLARE_FLAGS(WindowPosFlags, WindowPosFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(WindowPosFlags)

// A light handle on one window: a control of a dialog or a top-level window. Copying it copies the
// reference, not the window.
class CWnd
{
public:
    CWnd() = default;
    explicit CWnd(QWidget* widget) : m_widget(widget) {}
    virtual ~CWnd() = default;
    CWnd(const CWnd&) = default;
    CWnd& operator=(const CWnd&) = default;

    void Attach(QWidget* widget) { m_widget = widget; }
    [[nodiscard]] QWidget* widget() const { return m_widget; }
    [[nodiscard]] bool IsAttached() const { return m_widget != nullptr; }

    // The native window id, or 0 when the window does not exist or has no native window.
    [[nodiscard]] HWND GetSafeHwnd() const;

    // Returns whether the window was disabled before.
    bool EnableWindow(bool enable = true);
    [[nodiscard]] bool IsWindowEnabled() const;

    // Position and size of a top-level window are its outer (frame) geometry; a child's are
    // relative to its parent's client area. A top-level window keeps its outer size once the
    // window manager has put a frame around it.
    void SetWindowPos(int x, int y, int width, int height, WindowPosFlags flags);

private:
    QPointer<QWidget> m_widget;
};

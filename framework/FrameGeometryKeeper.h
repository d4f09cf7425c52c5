#pragma once

#include <QMargins>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QSize>
#include <optional>

class QWidget;

// Gives a top-level window the outer (frame) position and size it was asked for, again whenever
// the window manager's frame around it turns out different from the one it was last sized for:
// a frame's size is known only once the window manager has put it there, after the window is
// shown. Lives as long as the window, or until asked to keep another geometry.
class FrameGeometryKeeper : public QObject
{
    Q_OBJECT

public:
    // Nothing for a position or size means leaving it as it is.
    static void keep(QWidget* window, std::optional<QPoint> position, std::optional<QSize> size);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    FrameGeometryKeeper(QWidget* window, std::optional<QPoint> position, std::optional<QSize> size);
    void apply();

    QPointer<QWidget> m_window;
    std::optional<QPoint> m_position;
    std::optional<QSize> m_size;
    QMargins m_frame;
};

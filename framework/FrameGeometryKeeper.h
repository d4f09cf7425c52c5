#pragma once

#include <QAbstractNativeEventFilter>
#include <QMargins>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QSize>
#include <cstdint>
#include <optional>

class QWidget;

// Gives a top-level window the outer (frame) position and size it was asked for, again whenever
// the window manager's frame around it turns out different from the one it was last sized for:
// a frame's size is known only once the window manager has put it there, after the window is
// shown. Lives as long as the window, or until asked to keep another geometry.
class FrameGeometryKeeper : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    ~FrameGeometryKeeper() override;
    FrameGeometryKeeper(const FrameGeometryKeeper&) = delete;
    FrameGeometryKeeper& operator=(const FrameGeometryKeeper&) = delete;

    // Nothing for a position or size means leaving it as it is.
    static void keep(QWidget* window, std::optional<QPoint> position, std::optional<QSize> size);

    bool eventFilter(QObject* watched, QEvent* event) override;
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    FrameGeometryKeeper(QWidget* window, std::optional<QPoint> position, std::optional<QSize> size);
    [[nodiscard]] QMargins frame() const;
    [[nodiscard]] std::optional<QMargins> announcedFrame() const;
    void apply();

    QPointer<QWidget> m_window;
    std::optional<QPoint> m_position;
    std::optional<QSize> m_size;
    QMargins m_frame;
    // _NET_FRAME_EXTENTS, where a window manager on X11 announces its frame; 0 elsewhere.
    std::uint32_t m_extentsAtom = 0;
};

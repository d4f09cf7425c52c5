#pragma once

#include <QWidget>

// A child area with a native window of its own that the toolkit never paints: another party (the
// device library) draws into it through the window id. Where nobody has drawn, the window system
// clears it to black by itself.
class NativeFrame : public QWidget
{
public:
    explicit NativeFrame(QWidget* parent);
    [[nodiscard]] QPaintEngine* paintEngine() const override;

protected:
    bool event(QEvent* event) override;

private:
    void letTheServerClearToBlack();
};

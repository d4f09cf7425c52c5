#pragma once

#include <QWidget>

// A child area with a native window of its own that the toolkit never paints: another party (the
// device library) draws into it through the window id.
class NativeFrame : public QWidget
{
public:
    explicit NativeFrame(QWidget* parent);
    [[nodiscard]] QPaintEngine* paintEngine() const override;
};

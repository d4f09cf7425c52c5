#pragma once

#include <QComboBox>

// The control behind a drop-down list of a dialog. Its dropped part is given a height in pixels,
// either rounded down to whole items or kept at exactly that height.
class DropDownList : public QComboBox
{
    Q_OBJECT

public:
    explicit DropDownList(QWidget* parent);

    void setDroppedHeight(int pixels, bool wholeItems);
    void showPopup() override;

private:
    int m_droppedHeight = 0;
    bool m_wholeItems = true;
};

#include "framework/DropDownList.h"

#include <QAbstractItemView>
#include <QScreen>
#include <algorithm>

DropDownList::DropDownList(QWidget* parent) : QComboBox(parent)
{
    setEditable(false);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
}

void DropDownList::setDroppedHeight(int pixels, bool wholeItems)
{
    m_droppedHeight = std::max(1, pixels);
    m_wholeItems = wholeItems;
    if (!wholeItems)
    {
        // A list cut short needs its scroll bar; the style's menu-like popup offers only arrows
        // that show on hovering.
        setStyleSheet(QStringLiteral("combobox-popup: 0;"));
    }
    const int itemHeight = std::max(1, fontMetrics().height() + 2);
    setMaxVisibleItems(std::max(1, m_droppedHeight / itemHeight));
}

void DropDownList::showPopup()
{
    QComboBox::showPopup();
    if (m_wholeItems)
    {
        return;
    }
    // Qt sizes and places the dropped part by its own rules (whole items, the current one over the
    // box); this one keeps its laid-out height, below the box or above it when the screen ends.
    QWidget* popup = view()->window();
    if (popup == window())
    {
        return;
    }
    const QPoint below = mapToGlobal(QPoint(0, height()));
    QRect geometry(below.x(), below.y(), popup->width(), m_droppedHeight);
    const QScreen* shown = screen();
    if (shown != nullptr && geometry.bottom() > shown->availableGeometry().bottom())
    {
        geometry.moveBottom(mapToGlobal(QPoint(0, 0)).y() - 1);
    }
    popup->setGeometry(geometry);
    view()->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    view()->scrollTo(view()->currentIndex());
}

#include "framework/DialogUnits.h"
#include "res/ConsoleTemplate.h"
#include "tests/support/ConsoleFixture.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

namespace
{
using LayoutTest = ConsoleFixture;

// Every control at its place and size in pixels, in tab order, as the layout gives them for the
// dialog's font; list boxes show their closed height.
TEST_F(LayoutTest, EveryControlStandsWhereTheLayoutPutsItInTabOrder)
{
    startConsole();
    const DialogTemplate& layout = ConsoleTemplate();
    ASSERT_EQ(layout.controls.size(), 37U);
    const DialogUnits units(dlg->font());
    EXPECT_EQ(dlg->font().family(), QStringLiteral("Liberation Sans"));
    EXPECT_EQ(dlg->font().pointSize(), 8);
    const QList<QWidget*> children = dlg->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    std::vector<const QWidget*> created;
    for (const QWidget* child : children)
    {
        if (child->inherits("QLineEdit") || child->inherits("QPushButton") ||
            child->inherits("QComboBox") || child->inherits("QLabel") ||
            child->inherits("QGroupBox") || child->inherits("QPlainTextEdit") ||
            child->testAttribute(Qt::WA_NativeWindow))
        {
            created.push_back(child);
        }
    }
    EXPECT_EQ(created.size(), 37U);
    for (const ControlTemplate& control : layout.controls)
    {
        if (control.id == kNoControlId || control.id == IDC_VIDEO)
        {
            continue; // the video area is resized at start-up
        }
        const QWidget* widget = dlg->GetDlgItem(control.id).widget();
        ASSERT_NE(widget, nullptr) << control.id;
        const QRect expected = units.toPixels(control.x, control.y, control.width, control.height);
        EXPECT_EQ(widget->pos(), expected.topLeft()) << control.id;
        EXPECT_EQ(widget->width(), expected.width()) << control.id;
        if (control.kind != ControlKind::DropDownList)
        {
            EXPECT_EQ(widget->height(), expected.height()) << control.id;
        }
        EXPECT_TRUE(widget->isVisible()) << control.id;
        // Everything stays inside the window the console is given.
        EXPECT_LE(widget->geometry().right(), 965) << control.id;
        EXPECT_LE(widget->geometry().bottom(), 610) << control.id;
    }

    // Tab visits exactly the tab stops, in layout order, and comes back round.
    std::vector<int> expectedOrder;
    for (const ControlTemplate& control : layout.controls)
    {
        // Stop Live is disabled while idle, and a disabled control takes no focus.
        if ((control.style & ControlStyle::kTabStop) != 0U && control.id != IDC_STOP_LIVE)
        {
            expectedOrder.push_back(control.id);
        }
    }
    dlg->activateWindow();
    control(IDC_IPADDR)->setFocus();
    std::vector<int> visited;
    for (std::size_t i = 0; i < expectedOrder.size(); ++i)
    {
        const QWidget* focus = QApplication::focusWidget();
        for (const ControlTemplate& control : layout.controls)
        {
            if (control.id != kNoControlId && dlg->GetDlgItem(control.id).widget() == focus)
            {
                visited.push_back(control.id);
            }
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(visited, expectedOrder);
}

TEST_F(LayoutTest, UidIsReadOnlyAndTheLogIsEditableButBothAreSkippedByTab)
{
    startConsole();
    auto* uid = qobject_cast<QLineEdit*>(control(IDC_UID));
    auto* log = qobject_cast<QPlainTextEdit*>(control(IDC_LOG));
    ASSERT_NE(uid, nullptr);
    ASSERT_NE(log, nullptr);
    EXPECT_TRUE(uid->isReadOnly());
    EXPECT_FALSE(log->isReadOnly());
    EXPECT_EQ(uid->focusPolicy() & Qt::TabFocus, 0);
    EXPECT_EQ(log->focusPolicy() & Qt::TabFocus, 0);
    EXPECT_EQ(log->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(qobject_cast<QLineEdit*>(control(IDC_PASSWORD))->echoMode(), QLineEdit::Normal);
}
} // namespace

// The device type list drops exactly the part of its laid-out height below the closed box; the
// others show whole items.
TEST_F(LayoutTest, OnlyTheDeviceTypeListDropsToItsExactLaidOutHeight)
{
    startConsole();
    const DialogUnits units(dlg->font());
    for (const int id : {IDC_DEVICETYPE, IDC_STREAMFORMAT, IDC_JPEGRESOLUTION, IDC_MPEG4RESOLUTION,
                         IDC_H264RESOLUTION})
    {
        SCOPED_TRACE(id);
        auto* list = qobject_cast<QComboBox*>(control(id));
        ASSERT_NE(list, nullptr);
        list->showPopup();
        QWidget* popup = list->view()->window();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(popup));
        const int rowHeight = list->view()->sizeHintForRow(0);
        ASSERT_GT(rowHeight, 0);
        if (id == IDC_DEVICETYPE)
        {
            EXPECT_EQ(popup->height(), units.toPixelsY(50) - list->height());
            EXPECT_EQ(popup->y(), list->mapToGlobal(QPoint(0, list->height())).y());
            EXPECT_TRUE(list->view()->verticalScrollBar()->isVisible())
                << "its items are cut short";
        }
        else
        {
            EXPECT_EQ(list->view()->viewport()->height() % rowHeight, 0);
        }
        list->hidePopup();
    }
}

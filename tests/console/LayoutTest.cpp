#include "framework/DialogUnits.h"
#include "res/resource.h"
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

// Liberation Sans 8 pt on the offscreen platform: its average character is 6 pixels wide and 12
// high, so a dialog unit is 1.5 pixels each way.
constexpr int kBaseWidth = 6;
constexpr int kBaseHeight = 12;

// Half a pixel rounds up.
int pixelsX(int units)
{
    return (units * kBaseWidth + 2) / 4;
}

int pixelsY(int units)
{
    return (units * kBaseHeight + 4) / 8;
}

// The controls that have ids, in the layout's order, with their place and size in dialog units
// as the console's layout is specified, written here apart from the layout the console is built
// from. The video area is left out: start-up gives it a size of its own.
struct Placed
{
    int id;
    int x;
    int y;
    int width;
    int height;
    bool tabStop;
};
constexpr Placed kControls[] = {
    {IDC_IPADDR, 57, 22, 97, 13, true},
    {IDC_SET_IPADDR, 161, 22, 24, 13, true},
    {IDC_HTTPPORT, 57, 38, 97, 13, true},
    {IDC_SET_HTTPPORT, 161, 39, 24, 13, true},
    {IDC_USERNAME, 57, 54, 97, 13, true},
    {IDC_SET_USERNAME, 161, 55, 24, 13, true},
    {IDC_PASSWORD, 57, 70, 97, 13, true},
    {IDC_SET_PASSWORD, 161, 71, 24, 13, true},
    {IDC_DEVICETYPE, 79, 87, 76, 50, true},
    {IDC_SET_DEVICETYPE, 161, 87, 24, 13, true},
    {IDC_STREAMFORMAT, 79, 103, 76, 50, true},
    {IDC_SET_STREAMFORMAT, 161, 103, 24, 13, true},
    {IDC_JPEGRESOLUTION, 79, 119, 76, 50, true},
    {IDC_SET_JPEGRESOLUTION, 161, 119, 24, 13, true},
    {IDC_MPEG4RESOLUTION, 79, 135, 76, 50, true},
    {IDC_SET_MPEG4RESOLUTION, 161, 135, 24, 13, true},
    {IDC_CHANNEL, 235, 14, 54, 13, true},
    {IDC_START_LIVE, 302, 13, 53, 32, true},
    {IDC_STOP_LIVE, 359, 13, 53, 32, true},
    {IDC_LOG, 7, 192, 184, 154, false},
    {IDC_UID, 235, 31, 54, 12, false},
    {IDC_H264RESOLUTION, 79, 151, 76, 50, true},
    {IDC_SET_H264RESOLUTION, 161, 151, 24, 13, true},
};

bool isList(int id)
{
    return id == IDC_DEVICETYPE || id == IDC_STREAMFORMAT || id == IDC_JPEGRESOLUTION ||
           id == IDC_MPEG4RESOLUTION || id == IDC_H264RESOLUTION;
}

// Every control at its place and size in pixels, in tab order; list boxes show their closed
// height.
TEST_F(LayoutTest, EveryControlStandsWhereTheLayoutPutsItInTabOrder)
{
    startConsole();
    EXPECT_EQ(dlg->font().family(), QStringLiteral("Liberation Sans"));
    EXPECT_EQ(dlg->font().pointSize(), 8);
    const DialogUnits units(dlg->font());
    ASSERT_EQ(units.baseWidth(), kBaseWidth);
    ASSERT_EQ(units.baseHeight(), kBaseHeight);
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
    for (const Placed& placed : kControls)
    {
        const QWidget* widget = dlg->GetDlgItem(placed.id).widget();
        ASSERT_NE(widget, nullptr) << placed.id;
        EXPECT_EQ(widget->pos(), QPoint(pixelsX(placed.x), pixelsY(placed.y))) << placed.id;
        EXPECT_EQ(widget->width(), pixelsX(placed.width)) << placed.id;
        if (!isList(placed.id))
        {
            EXPECT_EQ(widget->height(), pixelsY(placed.height)) << placed.id;
        }
        EXPECT_TRUE(widget->isVisible()) << placed.id;
        // Everything stays inside the window the console is given.
        EXPECT_LE(widget->geometry().right(), 965) << placed.id;
        EXPECT_LE(widget->geometry().bottom(), 610) << placed.id;
    }

    // Tab visits exactly the tab stops, in layout order, and comes back round.
    std::vector<int> expectedOrder;
    for (const Placed& placed : kControls)
    {
        // Stop Live is disabled while idle, and a disabled control takes no focus.
        if (placed.tabStop && placed.id != IDC_STOP_LIVE)
        {
            expectedOrder.push_back(placed.id);
        }
    }
    dlg->activateWindow();
    control(IDC_IPADDR)->setFocus();
    std::vector<int> visited;
    for (std::size_t i = 0; i < expectedOrder.size(); ++i)
    {
        const QWidget* focus = QApplication::focusWidget();
        for (const Placed& placed : kControls)
        {
            if (dlg->GetDlgItem(placed.id).widget() == focus)
            {
                visited.push_back(placed.id);
            }
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(visited, expectedOrder);
    EXPECT_EQ(QApplication::focusWidget(), control(IDC_IPADDR)) << "tab did not come back round";
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
            EXPECT_EQ(popup->height(), pixelsY(50) - list->height());
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

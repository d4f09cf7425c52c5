#include "console/CQuillonDlg.h"
#include "tests/support/ConsoleFixture.h"

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <QTimer>

namespace
{
using ShellTest = ConsoleFixture;

// Runs the console modally and does `action` once its loop runs; returns DoModal's result, or 0
// when the console did not close within a generous guard time.
int runModal(CQuillonDlg& console, const std::function<void()>& action)
{
    bool closed = false;
    QTimer::singleShot(0, &console, action);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &console,
                     [&]
                     {
                         if (!closed)
                         {
                             console.done(QDialog::Rejected + 100);
                         }
                     });
    guard.start(10000);
    const int result = console.DoModal();
    closed = true;
    return console.result() == QDialog::Rejected + 100 ? 0 : result;
}

TEST_F(ShellTest, TheFrameworksFirstWriteShowsTheConstructionValues)
{
    // With no library object the start-up ends right after the framework's first write.
    library().setFactoryYieldsObject(false);
    CQuillonDlg console;
    const int result = runModal(console, [] {});
    EXPECT_EQ(result, IDCANCEL);
    ASSERT_EQ(boxes->boxes().size(), 1U);
    EXPECT_TRUE(boxes->texts()[0].contains(QStringLiteral("libvelkor.so")));
    auto text = [&](int id)
    { return qobject_cast<QLineEdit*>(console.GetDlgItem(id).widget())->text(); };
    EXPECT_EQ(text(IDC_IPADDR), QString());
    EXPECT_EQ(text(IDC_HTTPPORT), QStringLiteral("0"));
    EXPECT_EQ(text(IDC_USERNAME), QString());
    EXPECT_EQ(text(IDC_PASSWORD), QString());
    EXPECT_EQ(text(IDC_CHANNEL), QStringLiteral("1"));
    EXPECT_EQ(text(IDC_UID), QStringLiteral("0"));
}

TEST_F(ShellTest, EscapeAndTheCloseBoxEndTheRunAtOnceWithoutReading)
{
    CQuillonDlg byEscape;
    EXPECT_EQ(runModal(byEscape,
                       [&]
                       {
                           auto* port =
                               qobject_cast<QLineEdit*>(byEscape.GetDlgItem(IDC_HTTPPORT).widget());
                           port->setText(QStringLiteral("not a number"));
                           QTest::keyClick(port, Qt::Key_Escape);
                       }),
              IDCANCEL);
    CQuillonDlg byCloseBox;
    EXPECT_EQ(runModal(byCloseBox, [&] { byCloseBox.close(); }), IDCANCEL);
    EXPECT_TRUE(boxes->boxes().empty());
}

TEST_F(ShellTest, EnterInAnEditFieldOrTheLogClosesAfterReading)
{
    for (const int field : {IDC_IPADDR, IDC_CHANNEL, IDC_LOG})
    {
        CQuillonDlg console;
        EXPECT_EQ(runModal(console,
                           [&]
                           {
                               QWidget* target = console.GetDlgItem(field).widget();
                               target->setFocus();
                               QTest::keyClick(target, Qt::Key_Return);
                           }),
                  IDOK)
            << field;
        EXPECT_TRUE(boxes->boxes().empty());
    }
}

TEST_F(ShellTest, EnterWithAnUnreadablePortKeepsTheConsoleOpen)
{
    CQuillonDlg console;
    int enters = 0;
    const int result = runModal(console,
                                [&]
                                {
                                    auto* port = qobject_cast<QLineEdit*>(
                                        console.GetDlgItem(IDC_HTTPPORT).widget());
                                    port->setText(QStringLiteral("80x"));
                                    port->setFocus();
                                    QTest::keyClick(port, Qt::Key_Enter);
                                    ++enters;
                                    EXPECT_TRUE(console.isVisible());
                                    EXPECT_EQ(console.focusWidget(), port);
                                    EXPECT_EQ(port->selectedText(), QStringLiteral("80x"));
                                    port->setText(QStringLiteral("81"));
                                    QTest::keyClick(port, Qt::Key_Enter);
                                });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(enters, 1);
    ASSERT_EQ(boxes->boxes().size(), 1U);
    EXPECT_EQ(console.m_HttpPort, 81);
}

TEST_F(ShellTest, EnterOnAPushButtonPressesItAndDoesNotClose)
{
    startConsole();
    library().clearCalls();
    auto* set = qobject_cast<QPushButton*>(control(IDC_SET_HTTPPORT));
    set->setFocus();
    QTest::keyClick(set, Qt::Key_Return);
    settle();
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), 0);
    ASSERT_FALSE(library().calls().empty());
    EXPECT_EQ(library().calls()[0].name, "SetHttpPort");
}

TEST_F(ShellTest, MinimisedPaintingCentresTheIcon)
{
    EXPECT_EQ(CQuillonDlg::IconPosition(36, 35, 32, 32), QPoint(2, 2));
    EXPECT_EQ(CQuillonDlg::IconPosition(0, 0, 32, 32), QPoint(-15, -15));
    EXPECT_EQ(CQuillonDlg::IconPosition(33, 33, 32, 32), QPoint(1, 1));
    EXPECT_EQ(CQuillonDlg::IconPosition(965, 610, 48, 48), QPoint(459, 281));
}

// Where the platform keeps a minimised window's client area (X11 does not: it unmaps the window),
// the paint handler fills it and draws the icon in its middle.
TEST_F(ShellTest, MinimisedTheWindowPaintsItsIconInTheMiddle)
{
    startConsole();
    dlg->showMinimized();
    ASSERT_TRUE(dlg->IsIconic());
    QImage drawn(dlg->size(), QImage::Format_ARGB32);
    drawn.fill(Qt::magenta);
    dlg->render(&drawn, QPoint(), QRegion(), QWidget::DrawWindowBackground);

    const int size = dlg->style()->pixelMetric(QStyle::PM_LargeIconSize);
    const QRect icon(CQuillonDlg::IconPosition(dlg->width(), dlg->height(), size, size),
                     QSize(size, size));
    const QImage picture = dlg->m_Icon.pixmap(size, size).toImage();
    ASSERT_EQ(qAlpha(picture.pixel(size / 2, size / 2)), 255);
    EXPECT_EQ(drawn.pixel(icon.center()), picture.pixel(size / 2, size / 2));
    const QRgb background = dlg->palette().color(QPalette::Window).rgb();
    EXPECT_EQ(drawn.pixel(0, 0), background);
    // Not the normal painting: the video area's outline is not drawn.
    const QRect video = control(IDC_VIDEO)->geometry();
    EXPECT_EQ(drawn.pixel(video.left() - 1, video.center().y()), background);
}

TEST_F(ShellTest, TheDragIconIsTheIconTheWindowShows)
{
    startConsole();
    EXPECT_FALSE(dlg->OnQueryDragIcon().isNull());
    EXPECT_EQ(dlg->OnQueryDragIcon().cacheKey(), dlg->windowIcon().cacheKey());
    const QList<QSize> sizes = dlg->windowIcon().availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
    EXPECT_TRUE(sizes.contains(QSize(32, 32)));
    EXPECT_TRUE(sizes.contains(QSize(48, 48)));
}
} // namespace

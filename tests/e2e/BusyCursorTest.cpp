#include "res/resource.h"
#include "tests/e2e/ShownCursor.h"
#include "tests/support/ConsoleFixture.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <chrono>
#include <optional>
#include <thread>

namespace
{
constexpr int kPatience = 10000; // ms; bounds every wait, so a fault fails instead of hanging

// The console on the recording library, under openbox on a private Xvfb, with the mouse over it.
class BusyCursorTest : public ConsoleFixture
{
protected:
    void SetUp() override
    {
        ConsoleFixture::SetUp();
        ASSERT_TRUE(m_cursor.usable());
        startConsole();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
        // An empty spot of the window, where the normal pointer shows. The server has moved the
        // pointer before it answers this connection's next request.
        m_cursor.moveTo(dlg->mapToGlobal(QPoint(dlg->width() - 4, dlg->height() - 4)));
    }

    void TearDown() override
    {
        // Parked in the corner again, out of the pixels other tests read back.
        m_cursor.moveTo(QApplication::primaryScreen()->geometry().bottomRight());
        ConsoleFixture::TearDown();
    }

    // Waits for the X server to show `wanted`, with the event loop running or not.
    bool shows(const ShownCursor::Picture& wanted, bool eventLoop)
    {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatience);
        while (m_cursor.picture() != wanted)
        {
            if (std::chrono::steady_clock::now() > deadline)
            {
                return false;
            }
            if (eventLoop)
            {
                QTest::qWait(5);
            }
            else
            {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
        return true;
    }

    ShownCursor m_cursor;
};
} // namespace

// Open holds the window's thread while it waits for the device; meanwhile the mouse over the
// console shows the busy cursor, and afterwards the normal one again.
TEST_F(BusyCursorTest, TheBusyCursorShowsWhileALibraryCallHoldsTheWindow)
{
    const std::optional<ShownCursor::Picture> normal = m_cursor.picture();
    ASSERT_TRUE(normal);
    // What Qt's busy cursor looks like on this server, shown while the event loop runs.
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    std::optional<ShownCursor::Picture> busy;
    ASSERT_TRUE(QTest::qWaitFor(
        [&]
        {
            busy = m_cursor.picture();
            return busy && busy != normal;
        },
        kPatience));
    QGuiApplication::restoreOverrideCursor();
    ASSERT_TRUE(shows(*normal, true));

    bool busyDuringOpen = false;
    library().setDuringOpen([&] { busyDuringOpen = shows(*busy, false); });
    click(IDC_START_LIVE);
    ASSERT_EQ(dlg->m_IsLive, 1);
    EXPECT_TRUE(busyDuringOpen);
    EXPECT_TRUE(shows(*normal, true)) << "the busy cursor stayed after the call";
}

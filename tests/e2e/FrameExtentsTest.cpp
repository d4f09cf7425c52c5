#include "tests/e2e/WindowInspector.h"
#include "tests/support/ConsoleDriver.h"

#include <gtest/gtest.h>

#include <QTest>
#include <optional>

namespace
{
constexpr int kPatience = 10000; // ms; bounds every wait, so a fault fails instead of hanging

using FrameExtentsTest = ConsoleDriver;

// A window manager may frame the console after Qt last looked for a frame, and say so only in
// _NET_FRAME_EXTENTS; Qt looks again only when the window moves. Here no window manager runs, so
// the test announces the frame itself: the frame must then stand where start-up put it, at the
// screen's corner at 965 x 610 pixels.
TEST_F(FrameExtentsTest, AFrameAnnouncedLaterStandsWhereStartUpPutIt)
{
    WindowInspector x;
    ASSERT_TRUE(x.usable());
    startConsole();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    const auto window = static_cast<std::uint32_t>(dlg->GetSafeHwnd());

    x.announceFrame(window, {3, 5, 22, 4});
    std::optional<QRect> outer;
    EXPECT_TRUE(QTest::qWaitFor(
        [&]
        {
            outer = x.outerGeometry(window);
            return outer == QRect(0, 0, 965, 610);
        },
        kPatience))
        << "framed at " << outer.value_or(QRect()).x() << "," << outer.value_or(QRect()).y() << " "
        << outer.value_or(QRect()).width() << "x" << outer.value_or(QRect()).height();
}
} // namespace

#include "tests/support/ProcessRunner.h"
#include "tests/velkor/support/XvfbDisplay.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QByteArray>
#include <QCursor>
#include <QScreen>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

namespace
{
// Openbox runs its start-up command once it manages the screen.
constexpr char kReady[] = "openbox-ready";

bool waitForWindowManager(velkortest::ProcessRunner& openbox)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline)
    {
        const std::optional<std::string> line = openbox.readLine(std::chrono::seconds(1));
        if (line && *line == kReady)
        {
            return true;
        }
    }
    return false;
}
} // namespace

// The console and the test share a private X server with a real window manager, both running
// before the toolkit connects. Listing the tests needs neither.
int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests))
    {
        return RUN_ALL_TESTS();
    }
    const velkortest::XvfbDisplay display;
    if (!display.ready())
    {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    velkortest::ProcessRunner openbox;
    if (!openbox.start({"openbox", "--sm-disable", "--startup", std::string("echo ") + kReady}) ||
        !waitForWindowManager(openbox))
    {
        std::fprintf(stderr, "openbox did not start\n");
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("xcb"));
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quillon"));
    // Xvfb draws the pointer in software over whatever lies under it; parked in the corner it
    // stays out of the pixels the tests read back.
    QCursor::setPos(QApplication::primaryScreen()->geometry().bottomRight());
    return RUN_ALL_TESTS();
}

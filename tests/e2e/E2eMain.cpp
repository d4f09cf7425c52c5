#include "tests/velkor/support/XvfbDisplay.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QByteArray>
#include <QCursor>
#include <QScreen>
#include <cstdio>

// The console, the library and the test share one private X server, which must run before the
// toolkit and the library connect to it. Listing the tests needs none.
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
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("xcb"));
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quillon"));
    // Xvfb draws the pointer in software and puts back what lay under it when it moves or
    // something draws there; parked in the screen's centre it sits over the video area, whose
    // pixels the tests read back.
    QCursor::setPos(QApplication::primaryScreen()->geometry().bottomRight());
    return RUN_ALL_TESTS();
}

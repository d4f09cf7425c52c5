#include "support/XvfbDisplay.h"

#include <QApplication>
#include <QByteArray>

#include <gtest/gtest.h>

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
    return RUN_ALL_TESTS();
}

#include <gtest/gtest.h>

#include <QApplication>
#include <QByteArray>

// GUI tests run on the offscreen platform unless the environment names another (Xvfb runs).
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    {
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quillon"));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

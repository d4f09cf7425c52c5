#include "framework/Platform.h"

#include <QByteArray>
#include <QtGlobal>

void choosePlatformPlugin()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
    {
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("xcb"));
    }
}

#include "res/AppIcon.h"

#include <QString>

QIcon LoadAppIcon()
{
    return QIcon(QStringLiteral(":/res/icon128.ico"));
}

#include "framework/CWaitCursor.h"

#include <QCursor>
#include <QGuiApplication>

CWaitCursor::CWaitCursor()
{
    // Qt sends the cursor to the window system at once, not at the event loop's next round,
    // which the call that follows holds up.
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

CWaitCursor::~CWaitCursor()
{
    QGuiApplication::restoreOverrideCursor();
}

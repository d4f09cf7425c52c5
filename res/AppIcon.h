#pragma once

#include <QIcon>

// Icon resource 128, with all its pictures, for the window's large and small icons.
QIcon LoadAppIcon();

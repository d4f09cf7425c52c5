#pragma once

#include "framework/DialogTemplate.h"

// Dialog template 102: the console's window layout.
const DialogTemplate& ConsoleTemplate();

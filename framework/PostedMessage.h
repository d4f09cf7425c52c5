#pragma once

#include "framework/WinTypes.h"

struct PostedMessage
{
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

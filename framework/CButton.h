#pragma once

#include "framework/CWnd.h"

// A push button of a dialog; it works through its click, which the dialog routes by id.
class CButton : public CWnd
{
};

#pragma once

#include "framework/CWnd.h"

// An edit field of a dialog; its text moves through the data exchange.
class CEdit : public CWnd
{
};

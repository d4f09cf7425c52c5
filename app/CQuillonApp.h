#pragma once

#include "framework/CWinApp.h"

// The application: runs the console as its one modal window, then ends the program.
class CQuillonApp : public CWinApp
{
public:
    CQuillonApp() = default;
    bool InitInstance() override;
};

extern CQuillonApp theApp;

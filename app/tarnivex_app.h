// The application object: runs the main window modally; the process ends when it closes.
#pragma once

#include "framework/app.h"

class CTarnivexApp : public CWinApp {
public:
    CTarnivexApp();
    BOOL InitInstance() override;
};

extern CTarnivexApp theApp;

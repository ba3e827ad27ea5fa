// Process entry: everything happens in the application object's InitInstance.
#include <windows.h>

#include "framework/app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int show) {
    return AfxWinMain(instance, previous, commandLine, show);
}

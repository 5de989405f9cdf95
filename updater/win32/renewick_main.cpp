#include <windows.h>

#include "updater/win32/updater_app.h"

// The one application object, constructed before the entry point runs.
static dp::UpdaterApp theApp;

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return theApp.Run(instance);
}

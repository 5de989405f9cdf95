#include <windows.h>

#include "saver/win32/saver_app.h"

// The one application object, constructed before the entry point runs.
static dp::SaverApp theApp;

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return theApp.Run(instance);
}

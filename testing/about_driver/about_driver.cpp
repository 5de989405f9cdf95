// about_driver.exe: runs the screen saver's About dialog as the settings dialog will, after the
// saver's own start-up, so that it reads the same folders, addresses and language file and
// starts the same updater. It saves nothing at exit: the parameters are the saver's to store.
#include <windows.h>

#include "saver/win32/saver_app.h"
#include "ui/win32/about_dialog.h"

namespace {

class AboutDriverApp : public dp::SaverApp {
public:
    bool InitInstance() override {
        PrepareEnvironment();
        dp::AboutDialog dialog(*this);
        dialog.DoModal();
        return false;
    }
    int ExitInstance() override { return 0; }
};

AboutDriverApp theApp;

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return theApp.Run(instance);
}

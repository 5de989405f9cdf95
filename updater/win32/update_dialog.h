// The update dialog (template 102): shows the update worker's progress while the worker runs
// on a thread of its own, and the About dialog (template 100) from its system menu.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "framework/win32/dialog.h"
#include "updater/updater_command_line.h"

namespace dp {

class DialogFigures;

class UpdaterAboutDialog : public Dialog {
public:
    explicit UpdaterAboutDialog(HWND owner);
};

class UpdateDialog : public Dialog {
public:
    // appTitle captions the worker's message boxes.
    UpdateDialog(const UpdaterCommandLine& commandLine, std::wstring appTitle);

protected:
    bool OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;

private:
    void AppendAboutItem();
    void StartWorker();
    bool OnSysCommand(WPARAM command);
    bool OnPaint();
    void ShowFigures();

    const UpdaterCommandLine& commandLine_;
    std::wstring appTitle_;
    // Written by the worker, read here; shared so that a worker still running after the
    // dialog has gone (the user cancelled) never touches freed memory.
    std::shared_ptr<std::atomic<int>> busy_;
    // The download figures the worker hands over; shared for the same reason.
    std::shared_ptr<DialogFigures> figures_;
    // A shared icon from LoadIconW: the system owns it, nothing to destroy.
    HICON icon_;
};

} // namespace dp

// The About dialog of the screen saver (template 100): the product name and version read from
// the program's own version resource, the copyright line, the home-page and support links, and
// "Check for updates", which starts Renewick.
#pragma once

#include <windows.h>

#include <string>

#include "framework/win32/dialog.h"
#include "settings/url_table.h"
#include "ui/resource_ids.h"
#include "ui/win32/link_label.h"

namespace dp {

// What the dialog needs of the program that shows it: the application object provides it.
class AboutHost {
public:
    virtual ~AboutHost() = default;
    virtual const std::wstring& ApplicationName() const = 0;
    virtual const UrlTable& LinkAddresses() const = 0;
    // The language file base path (empty: the built-in English texts).
    virtual const std::wstring& LanguageFile() const = 0;
    // Finds and starts the updater; false when there is none. With an owner the call waits
    // until the updater has ended.
    virtual bool LaunchUpdater(bool addH, bool addC, HWND owner) = 0;
    // The year of the local date, for the copyright line.
    virtual int CurrentYear() const;
};

inline constexpr int kAboutTemplate = 100;

// What DoModal returns once "Check for updates" has started Renewick: the dialog has closed
// so that its program (which the update replaces) can end too.
inline constexpr INT_PTR kUpdaterStartedResult = IDC_CHECK_UPDATES;

class AboutDialog : public Dialog {
public:
    // Without an owner the dialog belongs to the active window of the thread.
    explicit AboutDialog(AboutHost& host, HWND owner = nullptr);

protected:
    void BindControls() override;
    bool OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;

private:
    void CheckForUpdates();
    // The buttons' labels come from the language file: a longer one widens its button.
    void FitButtonsToLabels();

    AboutHost& host_;
    LinkLabel homeLink_;
    LinkLabel supportLink_;
};

} // namespace dp

// SaverApp: the screen saver's application object. Start-up forms the folders, loads the URL
// table and the parameters, parses the command line and runs the mode; exit saves the
// parameters to both stores.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "framework/win32/application.h"
#include "framework/win32/handles.h"
#include "saver/saver_command_line.h"
#include "saver/saver_startup.h"
#include "settings/parameter_store.h"
#include "settings/url_table.h"
#include "ui/win32/about_dialog.h"

namespace dp {

inline constexpr wchar_t kSaverAppName[] = L"Duskpanel";
inline constexpr wchar_t kProductId[] = L"A";

class SaverApp : public Application, public AboutHost {
public:
    SaverApp();

    bool InitInstance() override;
    int ExitInstance() override;

    // Finds Renewick (install folder first, then its own installation) and starts it with the
    // product, the version of this program's version resource and the update address; " /H",
    // " /C" and, with an owner, " /W<owner>" as asked. With an owner the call waits until the
    // updater has ended. False when no updater was found.
    bool LaunchUpdater(bool addH, bool addC, HWND owner) override;

    // What the About dialog shows.
    const std::wstring& ApplicationName() const override { return AppName(); }
    const UrlTable& LinkAddresses() const override { return urls_; }
    const std::wstring& LanguageFile() const override { return paths_.languageFileBase; }

    SaverMode Mode() const { return mode_; }
    const SaverPaths& Paths() const { return paths_; }
    const UrlTable& Urls() const { return urls_; }
    Parameters& Params() { return parameters_; }
    const std::wstring& ProductId() const { return productId_; }

    static SaverApp& Get() { return *static_cast<SaverApp*>(Application::Current()); }

protected:
    // The start-up sequence before the mode: application name, profile key, folders, URL table,
    // language file, parameters.
    void PrepareEnvironment();

private:
    void LoadParameterStores();
    void SaveParameterStores();
    bool Dispatch(const SaverCommand& command);
    void RelaunchAsRunSaver();
    // True for the one saver of the session; a second one must not touch the panel: it would
    // capture the first one's dimmed level as the brightness to go back to.
    bool BecomeTheOnlySaver();

    SaverMode mode_ = SaverMode::Invalid;
    SaverPaths paths_;
    UrlTable urls_;
    Parameters parameters_;
    // Saved already by the start mode before the relaunch, or never to be saved (/d, /r).
    bool parametersSaved_ = false;
    std::optional<std::uint32_t> userStepExit_; // the exit code of the per-user step
    bool anotherSaverRuns_ = false;
    UniqueHandle saverMutex_; // held by the running saver for its life
    std::wstring productId_ = kProductId;
};

// The global language file base path, formed once at start-up.
const std::wstring& LanguageFileBasePath();

} // namespace dp

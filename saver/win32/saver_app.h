// SaverApp: the screen saver's application object. Start-up forms the folders, loads the URL
// table and the parameters, parses the command line and runs the mode; exit saves the
// parameters to both stores.
#pragma once

#include <windows.h>

#include <string>

#include "framework/win32/application.h"
#include "saver/saver_command_line.h"
#include "saver/saver_startup.h"
#include "settings/parameter_store.h"
#include "settings/url_table.h"

namespace dp {

inline constexpr wchar_t kSaverAppName[] = L"Duskpanel";
inline constexpr wchar_t kProductId[] = L"A";

class SaverApp : public Application {
public:
    SaverApp();

    bool InitInstance() override;
    int ExitInstance() override;

    SaverMode Mode() const { return mode_; }
    const SaverPaths& Paths() const { return paths_; }
    const UrlTable& Urls() const { return urls_; }
    Parameters& Params() { return parameters_; }
    const std::wstring& ProductId() const { return productId_; }

    static SaverApp& Get() { return *static_cast<SaverApp*>(Application::Current()); }

private:
    void LoadParameterStores();
    void SaveParameterStores();
    bool Dispatch(const SaverCommand& command);
    void RelaunchAsRunSaver();

    SaverMode mode_ = SaverMode::Invalid;
    SaverPaths paths_;
    UrlTable urls_;
    Parameters parameters_;
    bool parametersSaved_ = false; // by the start mode, before the relaunch
    std::wstring productId_ = kProductId;
};

// The global language file base path, formed once at start-up.
const std::wstring& LanguageFileBasePath();

} // namespace dp

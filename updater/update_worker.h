// The update check: fetch the update INI, compare versions, ask, fetch the setup program,
// start it, close the dialog. Runs on its own thread while the update dialog is open.
#pragma once

#include "updater/download_url.h"
#include "updater/setup_start.h"
#include "updater/update_ini.h"
#include "updater/updater_command_line.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace dp {

// The update dialog as the worker reaches it from its own thread. Its download display is the
// progress bar and the transfer text.
class UpdateDialogPort : public DownloadDisplay {
public:
    // The dialog's busy flag: set while the worker runs.
    virtual void SetBusy(bool busy) = 0;
    // The state line above the progress bar: the URL being fetched.
    virtual void ShowState(std::wstring_view text) = 0;
    // A message box with an OK button.
    virtual void ShowMessage(std::wstring_view text) = 0;
    // A message box with Yes and No buttons; true only for Yes.
    virtual bool AskYesNo(std::wstring_view question) = 0;
    // Ends the dialog with result 0.
    virtual void EndDialog() = 0;
};

// Keeps a file from being written while it exists; readers may still open it.
class WriteGuard {
public:
    virtual ~WriteGuard() = default;
};

// The rest of the process's surroundings the worker needs.
class UpdateSystem {
public:
    virtual ~UpdateSystem() = default;
    // "%temp%" expanded; empty when the expansion fails.
    virtual std::optional<std::wstring> ExpandTempFolder() = 0;
    // Starts the setup through the shell, so that Windows can ask for elevation, owned by the
    // update dialog; the answer holds the running process or the platform's error code.
    virtual SetupStartAnswer StartSetup(const SetupRequest& request) = 0;
    // Hands the wait for the setup's end to a watcher that holds none of the files the setup
    // replaces, and tells the user the outcome; false when no watcher could be started.
    virtual bool WatchSetup(StartedSetup& setup, const SetupWatch& watch) = 0;
    // Null when the file is missing or another writer has it open.
    virtual std::unique_ptr<WriteGuard> GuardAgainstWriters(std::wstring_view path) = 0;
    // Deletes the file; a file that cannot be deleted stays (it is never started).
    virtual void RemoveFile(std::wstring_view path) = 0;
    // A new folder in tempFolder with a name nobody can guess, that only this user (and the
    // system's administrators, who run the setup) can open; nothing when none can be made.
    virtual std::optional<std::wstring> CreateDownloadFolder(std::wstring_view tempFolder) = 0;
    // Holds the file against writers, renames and deletion; null when it is missing or a
    // writer has it open.
    virtual std::unique_ptr<HeldFile> HoldFile(std::wstring_view path) = 0;
};

struct UpdateWorkerPorts {
    UpdateDialogPort& dialog;
    UpdateSystem& system;
    IniReader& ini;
    TransferPlatform& transfer;
    SetupCrypto& crypto;
    // The vendor's key built into the program: with it, only an offer the INI's "signature"
    // vouches for is acted on.
    std::optional<P256PublicKey> vendorKey = std::nullopt;
};

// The texts the user sees.
std::wstring DownloadFailedMessage(DownloadResult result, std::wstring_view url);
std::wstring UpdateQuestion(std::wstring_view offeredVersion);
inline constexpr std::wstring_view kAlreadyCurrentMessage =
    L"Your already have the lastest version installed.";

class UpdateWorker {
public:
    UpdateWorker(const UpdaterCommandLine& commandLine, UpdateWorkerPorts ports);
    // The whole check; returns the thread's exit code, 0. Ends the dialog except when the
    // temporary folder cannot be found, where the dialog stays open until the user cancels.
    int Run();

private:
    // What the update INI says for this product.
    struct Offer {
        std::wstring version;
        SetupSource setup;
    };

    // Nothing, DownloadTo and OfferIsWanted false: the check ends there.
    std::optional<Offer> FetchOffer(std::wstring_view iniPath);
    bool DownloadTo(std::wstring_view url, std::wstring_view localPath, TransferPlatform& transfer,
                    std::uint32_t maxBytes = kNoSizeLimit);
    bool OfferIsWanted(const std::wstring& offered);
    bool OfferIsSigned(const Offer& offer);
    void UpdateFrom(const Offer& offer, std::wstring_view tempFolder);
    void StartSetup(const Offer& offer, std::wstring_view setupPath, std::wstring_view folder);
    bool PassesCheck(const SetupSource& source, std::unique_ptr<HeldFile>& setup,
                     std::wstring_view setupPath);
    int Finish();

    const UpdaterCommandLine& commandLine_;
    UpdateWorkerPorts ports_;
};

} // namespace dp

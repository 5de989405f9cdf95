#include "updater/update_worker.h"

#include "updater/download_naming.h"
#include "updater/version_compare.h"

#include <span>
#include <utility>

namespace dp {

namespace {

// The update INI copy as it is stored: collected whole (it is small), then written in the form
// the platform's INI reader reads.
class IniCopyFile final : public LocalFile {
public:
    explicit IniCopyFile(std::unique_ptr<LocalFile> file) : file_(std::move(file)) {}

    bool Write(std::span<const std::byte> bytes) override {
        bytes_.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return true;
    }
    bool Close() override {
        const std::optional<std::string> converted = Utf16IniFromMarkedUtf8(bytes_);
        const std::string& stored = converted ? *converted : bytes_;
        const bool written = file_->Write(std::as_bytes(std::span(stored.data(), stored.size())));
        return file_->Close() && written;
    }

private:
    std::unique_ptr<LocalFile> file_;
    std::string bytes_;
};

// The worker's transfer platform, with the update INI's local file in place of the plain one.
class IniCopyTransfer final : public TransferPlatform {
public:
    explicit IniCopyTransfer(TransferPlatform& platform) : platform_(platform) {}

    std::uint32_t ConnectedStateFlags() override { return platform_.ConnectedStateFlags(); }
    std::unique_ptr<InternetSession> OpenSession(std::wstring_view agent,
                                                 std::uint32_t accessType) override {
        return platform_.OpenSession(agent, accessType);
    }
    std::unique_ptr<LocalFile> CreateLocalFile(std::wstring_view path) override {
        std::unique_ptr<LocalFile> file = platform_.CreateLocalFile(path);
        if (!file)
            return nullptr;
        return std::make_unique<IniCopyFile>(std::move(file));
    }
    std::uint32_t Milliseconds() override { return platform_.Milliseconds(); }

private:
    TransferPlatform& platform_;
};

} // namespace

std::wstring DownloadFailedMessage(DownloadResult result, std::wstring_view url) {
    return L"error info: return code:" + std::to_wstring(static_cast<int>(result)) +
           L". download fail:" + std::wstring(url);
}

std::wstring UpdateQuestion(std::wstring_view offeredVersion) {
    return L"New version is:" + std::wstring(offeredVersion) + L", update now?";
}

UpdateWorker::UpdateWorker(const UpdaterCommandLine& commandLine, UpdateWorkerPorts ports)
    : commandLine_(commandLine), ports_(ports) {}

int UpdateWorker::Run() {
    ports_.dialog.SetBusy(true);
    if (commandLine_.updateIniUrl.empty())
        return Finish();
    const auto tempFolder = ports_.system.ExpandTempFolder();
    if (!tempFolder)
        return 0; // busy for good; the dialog waits for Cancel
    const std::optional<Offer> offer = FetchOffer(UpdateIniPath(*tempFolder, commandLine_.hasId));
    if (offer && OfferIsSigned(*offer) && OfferIsWanted(offer->version))
        UpdateFrom(*offer, *tempFolder);
    return Finish();
}

// Two updaters for different products share the copy's name. Its writer keeps others from
// writing it, and the values are read while it is guarded again, so that neither a half-written
// nor a foreign INI is ever read: the second updater fails with BadStatusOrFile instead.
std::optional<UpdateWorker::Offer> UpdateWorker::FetchOffer(std::wstring_view iniPath) {
    const std::wstring& url = commandLine_.updateIniUrl;
    IniCopyTransfer iniTransfer(ports_.transfer);
    if (!DownloadTo(url, iniPath, iniTransfer, kMaxUpdateIniBytes))
        return std::nullopt;
    const std::unique_ptr<WriteGuard> guard = ports_.system.GuardAgainstWriters(iniPath);
    if (!guard) {
        ports_.dialog.ShowMessage(DownloadFailedMessage(DownloadResult::BadStatusOrFile, url));
        return std::nullopt;
    }
    return Offer{ReadOfferedVersion(ports_.ini, iniPath),
                 ReadSetupSource(ports_.ini, iniPath, commandLine_.productId, kThisArchitecture)};
}

bool UpdateWorker::DownloadTo(std::wstring_view url, std::wstring_view localPath,
                              TransferPlatform& transfer, std::uint32_t maxBytes) {
    ports_.dialog.ShowState(url);
    const DownloadResult result = DownloadUrl(transfer, url, localPath, &ports_.dialog, maxBytes);
    if (result == DownloadResult::Success)
        return true;
    ports_.dialog.ShowMessage(DownloadFailedMessage(result, url));
    return false;
}

// In a keyed build nothing of the offer is believed, not even its version, before its signature
// holds: the user is never asked about an offer the vendor did not make.
bool UpdateWorker::OfferIsSigned(const Offer& offer) {
    if (!ports_.vendorKey)
        return true;
    const OfferText text{offer.setup.offerName, offer.version, offer.setup.downloadPath,
                         offer.setup.setupParam, offer.setup.integrity.sha256};
    if (OfferSignatureHolds(text, offer.setup.integrity.signature, *ports_.vendorKey,
                            ports_.crypto))
        return true;
    ports_.dialog.ShowMessage(OfferRejectedMessage(commandLine_.updateIniUrl));
    return false;
}

bool UpdateWorker::OfferIsWanted(const std::wstring& offered) {
    if (offered.empty())
        return false;
    if (CompareVersions(commandLine_.installedVersion, offered) != VersionOrder::OfferedNewer) {
        ports_.dialog.ShowMessage(kAlreadyCurrentMessage);
        return false;
    }
    return ports_.dialog.AskYesNo(UpdateQuestion(offered));
}

void UpdateWorker::UpdateFrom(const Offer& offer, std::wstring_view tempFolder) {
    const SetupSource& source = offer.setup;
    if (source.downloadPath.empty())
        return;
    if (source.downloadPath.size() > kDownloadPathChars - 1) {
        // Cut short it would name another file; such a URL cannot be opened.
        ports_.dialog.ShowMessage(
            DownloadFailedMessage(DownloadResult::UrlNotOpened, source.downloadPath));
        return;
    }
    // The name comes from the server: only a plain file name may be created in the
    // temporary folder, never a path, a stream or a device.
    const std::wstring fileName = FileNameFromUrl(source.downloadPath);
    if (!IsPlainFileName(fileName))
        return;
    // A folder of its own that no other user can open, under a fresh name nobody could plant
    // beforehand. From the end of the download until the setup has started, the file is held:
    // nobody can write or replace it, and the check reads the very bytes that are started.
    const auto folder = ports_.system.CreateDownloadFolder(tempFolder);
    if (!folder) {
        ports_.dialog.ShowMessage(
            DownloadFailedMessage(DownloadResult::BadStatusOrFile, source.downloadPath));
        return;
    }
    const std::wstring setupPath = SetupFilePath(*folder, fileName);
    if (!DownloadTo(source.downloadPath, setupPath, ports_.transfer))
        return;
    std::unique_ptr<HeldFile> setup = ports_.system.HoldFile(setupPath);
    if (!setup) {
        ports_.dialog.ShowMessage(
            DownloadFailedMessage(DownloadResult::BadStatusOrFile, source.downloadPath));
        return;
    }
    if (!PassesCheck(source, setup, setupPath))
        return;
    StartSetup(offer, setupPath, *folder);
}

// An update never ends in silence: a setup that does not start, and (through the watcher) one
// that ends with a failure, are told to the user.
void UpdateWorker::StartSetup(const Offer& offer, std::wstring_view setupPath,
                              std::wstring_view folder) {
    if (!BuildSetupCommandLine(setupPath, offer.setup.setupParam)) {
        ports_.dialog.ShowMessage(SetupNotStartedMessage(kErrorFilenameTooLong, offer.version));
        return;
    }
    SetupStartAnswer answer = ports_.system.StartSetup(
        {std::wstring(setupPath), offer.setup.setupParam, std::wstring(folder)});
    if (!answer.process) {
        ports_.dialog.ShowMessage(SetupNotStartedMessage(answer.error, offer.version));
        return;
    }
    if (!ports_.system.WatchSetup(*answer.process,
                                  {commandLine_.productName, offer.version, std::wstring(folder)}))
        ports_.dialog.ShowMessage(SetupNotWatchedMessage(offer.version));
}

// A setup that fails its check is deleted, so that nothing can start it later by mistake.
bool UpdateWorker::PassesCheck(const SetupSource& source, std::unique_ptr<HeldFile>& setup,
                               std::wstring_view setupPath) {
    if (CheckSetupFile(*setup, source.integrity.sha256, ports_.crypto) == SetupCheck::Passed)
        return true;
    setup.reset(); // the hold keeps it from being deleted
    ports_.system.RemoveFile(setupPath);
    ports_.dialog.ShowMessage(SetupRejectedMessage(source.downloadPath));
    return false;
}

int UpdateWorker::Finish() {
    ports_.dialog.SetBusy(false);
    ports_.dialog.EndDialog();
    return 0;
}

} // namespace dp

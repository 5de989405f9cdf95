#include "updater/update_worker.h"

#include "updater/download_naming.h"
#include "updater/version_compare.h"

namespace dp {

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
    const std::wstring iniPath = UpdateIniPath(*tempFolder, commandLine_.hasId);
    if (DownloadTo(commandLine_.updateIniUrl, iniPath) && OfferIsWanted(iniPath))
        UpdateFrom(iniPath, *tempFolder);
    return Finish();
}

bool UpdateWorker::DownloadTo(std::wstring_view url, std::wstring_view localPath) {
    ports_.dialog.ShowState(url);
    const DownloadResult result = DownloadUrl(ports_.transfer, url, localPath, &ports_.dialog);
    if (result == DownloadResult::Success)
        return true;
    ports_.dialog.ShowMessage(DownloadFailedMessage(result, url));
    return false;
}

bool UpdateWorker::OfferIsWanted(std::wstring_view iniPath) {
    const std::wstring offered = ReadOfferedVersion(ports_.ini, iniPath);
    if (offered.empty())
        return false;
    if (CompareVersions(commandLine_.installedVersion, offered) != VersionOrder::OfferedNewer) {
        ports_.dialog.ShowMessage(kAlreadyCurrentMessage);
        return false;
    }
    return ports_.dialog.AskYesNo(UpdateQuestion(offered));
}

void UpdateWorker::UpdateFrom(std::wstring_view iniPath, std::wstring_view tempFolder) {
    const SetupSource source = ReadSetupSource(ports_.ini, iniPath, commandLine_.productId);
    if (source.downloadPath.empty())
        return;
    // The name comes from the server: only a plain file name may be created in the
    // temporary folder, never a path, a stream or a device.
    const std::wstring fileName = FileNameFromUrl(source.downloadPath);
    if (!IsPlainFileName(fileName))
        return;
    const std::wstring setupPath = SetupFilePath(tempFolder, fileName);
    if (!DownloadTo(source.downloadPath, setupPath))
        return;
    const auto setupCommand = BuildSetupCommandLine(setupPath, source.setupParam);
    if (setupCommand)
        ports_.system.StartProcess(*setupCommand); // a setup that will not start ends quietly
}

int UpdateWorker::Finish() {
    ports_.dialog.SetBusy(false);
    ports_.dialog.EndDialog();
    return 0;
}

} // namespace dp

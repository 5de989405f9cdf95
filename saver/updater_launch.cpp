#include "saver/updater_launch.h"

#include "settings/path_forming.h"

namespace dp {
namespace {

// Lower-case hexadecimal without prefix or leading zeros, as "%x" writes it.
std::wstring Hex(std::uintptr_t value) {
    std::wstring digits;
    do {
        digits.insert(digits.begin(), L"0123456789abcdef"[value % 16]);
        value /= 16;
    } while (value != 0);
    return digits;
}

} // namespace

std::wstring UpdaterParameters(const UpdaterRequest& request) {
    std::wstring parameters = L"/i" + request.productId + L" /n" + request.productName + L" /v" +
                              request.installedVersion + L"  /l\"" + request.updateUrl + L"\"";
    if (request.addH)
        parameters += L" /H";
    if (request.addC)
        parameters += L" /C";
    if (request.ownerWindow != 0)
        parameters += L" /W" + Hex(request.ownerWindow);
    return parameters;
}

std::wstring FindUpdater(const std::wstring& installFolder, UpdaterFiles& files) {
    // An empty folder names nothing: "\Renewick.exe" would be looked for at a drive's root.
    std::wstring path = FormFileInFolder(installFolder, kUpdaterFileName);
    if (!path.empty() && files.Exists(path))
        return path;
    path = FormFileInFolder(files.UpdaterSetupPath(), kUpdaterFileName);
    if (!path.empty() && files.Exists(path))
        return path;
    return {};
}

} // namespace dp

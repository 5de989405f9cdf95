#include "saver/user_settings_removal.h"

#include "settings/parameter_store.h"
#include "settings/path_forming.h"

namespace dp {
namespace {

// A folder the removal may look into; a link, a file of that name or an unreadable entry ends
// the removal there. "ok" turns false only for what could not be read.
bool MayEnter(PathKind kind, bool& ok) {
    if (kind == PathKind::Unreadable)
        ok = false;
    return kind == PathKind::Folder;
}

} // namespace

bool RemoveUserSettings(std::wstring_view appName, UserSettingsPlatform& platform) {
    bool ok = platform.RemoveProfileKey();
    platform.RemoveVendorKeyIfEmpty();

    const std::wstring root = platform.UserDataRoot();
    if (root.empty())
        return false;
    const std::wstring vendor = JoinBounded({root, L"\\", kVendorFolder});
    const std::wstring product = FormVendorFolder(root, appName);
    const std::wstring file = FormFileInFolder(product, kParamIniName);
    // A path over the limit is one the saver never wrote to either.
    if (vendor.empty() || product.empty() || file.empty())
        return ok;

    const PathKind vendorKind = platform.KindOf(vendor);
    if (!MayEnter(vendorKind, ok))
        return ok;
    const PathKind productKind = platform.KindOf(product);
    if (productKind == PathKind::Missing) {
        platform.RemoveFolderIfEmpty(vendor);
        return ok;
    }
    if (!MayEnter(productKind, ok))
        return ok;
    switch (platform.KindOf(file)) {
    case PathKind::File:
        ok = platform.RemoveFile(file) && ok;
        break;
    case PathKind::Unreadable:
        ok = false;
        break;
    case PathKind::Missing:
    case PathKind::Folder: // not the saver's
    case PathKind::Link:   // the user's, wherever it leads
        break;
    }
    platform.RemoveFolderIfEmpty(product);
    platform.RemoveFolderIfEmpty(vendor);
    return ok;
}

} // namespace dp

// The uninstaller's "Remove my settings" for one account: its profile key and what the saver
// wrote in its data folder. The folders are the user's to write, and the removal may run
// elevated: only the saver's own file goes, a folder only when it is empty, nothing is removed
// recursively, and nothing is followed through a link (a junction leads anywhere).
#pragma once

#include <string>
#include <string_view>

namespace dp {

// What a path names, the path itself and not where a link leads.
enum class PathKind { Missing, File, Folder, Link, Unreadable };

class UserSettingsPlatform {
public:
    virtual ~UserSettingsPlatform() = default;
    // "Software\Nerovane\<application>" of this account with its subkeys; true when it is gone
    // (or was never there).
    virtual bool RemoveProfileKey() = 0;
    // "Software\Nerovane", only when no value and no subkey is left in it.
    virtual void RemoveVendorKeyIfEmpty() = 0;
    // The account's data folder (the shell's "application data"); empty when it is not given.
    virtual std::wstring UserDataRoot() = 0;
    virtual PathKind KindOf(const std::wstring& path) = 0;
    // True when the file is gone.
    virtual bool RemoveFile(const std::wstring& path) = 0;
    // Removes the folder when it is empty; a folder with anything in it stays.
    virtual void RemoveFolderIfEmpty(const std::wstring& path) = 0;
};

// True when everything of the application's that was there is gone. What another program or the
// user left, and whatever stands behind a link, stays (and is no failure).
bool RemoveUserSettings(std::wstring_view appName, UserSettingsPlatform& platform);

} // namespace dp

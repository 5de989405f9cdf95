#include "saver/user_settings_removal.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

namespace dp {
namespace {

constexpr wchar_t kRoot[] = L"C:\\Users\\me\\AppData\\Roaming";
const std::wstring kVendor = std::wstring(kRoot) + L"\\Nerovane";
const std::wstring kProduct = kVendor + L"\\Duskpanel";
const std::wstring kIni = kProduct + L"\\Param.ini";

// A file system of a few named entries; RemoveFolderIfEmpty removes a folder only when no other
// entry lies under it, as the system does. Every change is recorded, joined: "key, -Param.ini".
class FakeUserSettings : public UserSettingsPlatform {
public:
    bool RemoveProfileKey() override {
        Record(L"key");
        return keyRemoved;
    }
    void RemoveVendorKeyIfEmpty() override { Record(L"vendor key"); }
    std::wstring UserDataRoot() override { return root; }
    PathKind KindOf(const std::wstring& path) override {
        const auto found = entries.find(path);
        return found == entries.end() ? PathKind::Missing : found->second;
    }
    bool RemoveFile(const std::wstring& path) override {
        Record(L"-" + Name(path));
        if (fileStays)
            return false;
        entries.erase(path);
        return true;
    }
    void RemoveFolderIfEmpty(const std::wstring& path) override {
        for (const auto& [entry, kind] : entries)
            if (entry.size() > path.size() && entry.compare(0, path.size() + 1, path + L"\\") == 0)
                return;
        if (entries.erase(path))
            Record(L"rmdir " + Name(path));
    }

    std::wstring root = kRoot;
    std::map<std::wstring, PathKind> entries;
    bool keyRemoved = true;
    bool fileStays = false;
    std::wstring changes;

private:
    static std::wstring Name(const std::wstring& path) {
        return path.substr(path.find_last_of(L'\\') + 1);
    }
    void Record(const std::wstring& what) { changes += (changes.empty() ? L"" : L", ") + what; }
};

using K = PathKind;

struct RemovalRow {
    const char* name;
    std::map<std::wstring, PathKind> entries;
    bool ok;
    const wchar_t* changes;
    std::set<std::wstring> left;
};

TEST(UserSettingsRemoval, RemovesOnlyTheSaversFileAndEmptyFolders) {
    const std::wstring other = kProduct + L"\\notes.txt";
    const std::wstring sibling = kVendor + L"\\Renewick";
    const RemovalRow rows[] = {
        {"nothing there", {}, true, L"key, vendor key", {}},
        {"the saver's file and folders",
         {{kVendor, K::Folder}, {kProduct, K::Folder}, {kIni, K::File}},
         true,
         L"key, vendor key, -Param.ini, rmdir Duskpanel, rmdir Nerovane",
         {}},
        {"empty folders left by a start-up",
         {{kVendor, K::Folder}, {kProduct, K::Folder}},
         true,
         L"key, vendor key, rmdir Duskpanel, rmdir Nerovane",
         {}},
        {"only the vendor folder",
         {{kVendor, K::Folder}},
         true,
         L"key, vendor key, rmdir Nerovane",
         {}},
        {"a file of the user's stays, and its folders",
         {{kVendor, K::Folder}, {kProduct, K::Folder}, {kIni, K::File}, {other, K::File}},
         true,
         L"key, vendor key, -Param.ini",
         {kVendor, kProduct, other}},
        {"another product's folder stays",
         {{kVendor, K::Folder}, {kProduct, K::Folder}, {kIni, K::File}, {sibling, K::Folder}},
         true,
         L"key, vendor key, -Param.ini, rmdir Duskpanel",
         {kVendor, sibling}},
        // A link leads anywhere: nothing is removed through it, nor the link itself.
        {"vendor folder is a junction",
         {{kVendor, K::Link}, {kProduct, K::Folder}, {kIni, K::File}},
         true,
         L"key, vendor key",
         {kVendor, kProduct, kIni}},
        {"product folder is a junction",
         {{kVendor, K::Folder}, {kProduct, K::Link}, {kIni, K::File}},
         true,
         L"key, vendor key",
         {kVendor, kProduct, kIni}},
        {"Param.ini is a link",
         {{kVendor, K::Folder}, {kProduct, K::Folder}, {kIni, K::Link}},
         true,
         L"key, vendor key",
         {kVendor, kProduct, kIni}},
        {"Param.ini is a folder",
         {{kVendor, K::Folder}, {kProduct, K::Folder}, {kIni, K::Folder}},
         true,
         L"key, vendor key",
         {kVendor, kProduct, kIni}},
        {"a file named as the vendor folder",
         {{kVendor, K::File}},
         true,
         L"key, vendor key",
         {kVendor}},
        // What could not be read may still hold the user's settings.
        {"product folder unreadable",
         {{kVendor, K::Folder}, {kProduct, K::Unreadable}},
         false,
         L"key, vendor key",
         {kVendor, kProduct}},
        {"Param.ini unreadable",
         {{kVendor, K::Folder}, {kProduct, K::Folder}, {kIni, K::Unreadable}},
         false,
         L"key, vendor key",
         {kVendor, kProduct, kIni}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FakeUserSettings platform;
        platform.entries = row.entries;
        EXPECT_EQ(RemoveUserSettings(L"Duskpanel", platform), row.ok);
        EXPECT_EQ(platform.changes, row.changes);
        std::set<std::wstring> left;
        for (const auto& [path, kind] : platform.entries)
            left.insert(path);
        EXPECT_EQ(left, row.left);
    }
}

TEST(UserSettingsRemoval, APartThatFailedDoesNotStopTheOthers) {
    const std::map<std::wstring, PathKind> full = {
        {kVendor, K::Folder}, {kProduct, K::Folder}, {kIni, K::File}};
    {
        SCOPED_TRACE("profile key stays");
        FakeUserSettings platform;
        platform.entries = full;
        platform.keyRemoved = false;
        EXPECT_FALSE(RemoveUserSettings(L"Duskpanel", platform));
        EXPECT_TRUE(platform.entries.empty()) << "the files still went";
    }
    {
        SCOPED_TRACE("Param.ini stays");
        FakeUserSettings platform;
        platform.entries = full;
        platform.fileStays = true;
        EXPECT_FALSE(RemoveUserSettings(L"Duskpanel", platform));
        EXPECT_EQ(platform.changes, L"key, vendor key, -Param.ini");
    }
    {
        SCOPED_TRACE("no data folder");
        FakeUserSettings platform;
        platform.root.clear();
        EXPECT_FALSE(RemoveUserSettings(L"Duskpanel", platform));
        EXPECT_EQ(platform.changes, L"key, vendor key");
    }
    {
        SCOPED_TRACE("a data folder path over the limit names nothing the saver wrote");
        FakeUserSettings platform;
        platform.root = L"C:\\" + std::wstring(250, L'x');
        EXPECT_TRUE(RemoveUserSettings(L"Duskpanel", platform));
        EXPECT_EQ(platform.changes, L"key, vendor key");
    }
}

} // namespace
} // namespace dp

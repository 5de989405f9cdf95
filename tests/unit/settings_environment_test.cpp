#include <gtest/gtest.h>

#include "tests/support/fake_stores.h"
#include "settings/ini_profile.h"
#include "settings/ini_text.h"
#include "settings/localisation.h"
#include "settings/path_forming.h"
#include "settings/url_table.h"

namespace dp {
namespace {

using testing_support::FakeIniStore;

TEST(PathForming, FormsTheDocumentedPaths) {
    EXPECT_EQ(FormVendorFolder(L"C:\\Users\\me\\AppData\\Roaming", L"Duskpanel"),
              L"C:\\Users\\me\\AppData\\Roaming\\Nerovane\\Duskpanel");
    EXPECT_EQ(FormLanguageFolder(L"D:\\Tools\\Dim", L"ENU"), L"D:\\Tools\\Dim\\Languages\\ENU");
    EXPECT_EQ(FormLanguageFileBase(L"D:\\Tools\\Dim\\Languages\\ENU", L"Duskpanel"),
              L"D:\\Tools\\Dim\\Languages\\ENU\\Duskpanel.ini");
    EXPECT_EQ(FormLanguageFolder(L"", L"ENU"), L"\\Languages\\ENU");
    EXPECT_EQ(FormLanguageFolder(L"C:\\x", L""), L"C:\\x\\Languages\\");
}

TEST(PathForming, ComposedPathsOverTheLimitAreRejectedAsMissing) {
    struct Case {
        const char* name;
        std::size_t folderLength;
        bool fits;
    };
    const std::wstring suffix = L"\\Nerovane\\Duskpanel"; // 19 characters
    const Case cases[] = {{"exactly 259", 259 - suffix.size(), true},
                          {"260 is one too many", 260 - suffix.size(), false},
                          {"far too long", 400, false}};
    for (const Case& c : cases) {
        std::wstring folder = L"C:" + std::wstring(c.folderLength - 2, L'a');
        std::wstring formed = FormVendorFolder(folder, L"Duskpanel");
        EXPECT_EQ(!formed.empty(), c.fits) << c.name;
        if (c.fits) {
            EXPECT_EQ(formed.size(), kMaxPathChars) << c.name;
        }
    }
    EXPECT_EQ(FormFileInFolder(L"", L"Param.ini"), L"");
    EXPECT_EQ(FormLanguageFileBase(L"", L"Duskpanel"), L"");
}

TEST(IniText, SplitsPathsLikeTheRuntime) {
    SplitPath p = SplitFilePath(L"C:\\Tools\\Dim\\Duskpanel.scr");
    EXPECT_EQ(p.drive, L"C:");
    EXPECT_EQ(p.folder, L"\\Tools\\Dim\\");
    EXPECT_EQ(p.baseName, L"Duskpanel");
    EXPECT_EQ(p.extension, L".scr");
    SplitPath relative = SplitFilePath(L"sub\\file.v1.ini");
    EXPECT_EQ(relative.drive, L"");
    EXPECT_EQ(relative.folder, L"sub\\");
    EXPECT_EQ(relative.baseName, L"file.v1");
    EXPECT_EQ(relative.extension, L".ini");
}

TEST(IniProfile, DefaultFileAndSectionFollowTheProgram) {
    FakeIniStore store;
    ProgramLocation where{L"C:\\Tools\\Duskpanel.scr", L"D:\\Work\\", L"Duskpanel"};
    EXPECT_EQ(IniProfile(store, where, true).File(), L"C:\\Tools\\Duskpanel.ini");
    EXPECT_EQ(IniProfile(store, where, false).File(), L"D:\\Work\\Duskpanel.ini");
    EXPECT_EQ(IniProfile(store, where, true).Section(), L"Duskpanel");
}

TEST(IniProfile, RelativeFilesLandInTheProgramFolder) {
    FakeIniStore store;
    ProgramLocation where{L"C:\\Tools\\Duskpanel.scr", L"D:\\Work", L"Duskpanel"};
    IniProfile profile(store, where, false);
    profile.SetFile(L"Param.ini");
    EXPECT_EQ(profile.File(), L"C:\\Tools\\Param.ini");
    profile.SetFile(L"E:\\Data\\Param.ini");
    EXPECT_EQ(profile.File(), L"E:\\Data\\Param.ini");
}

TEST(IniProfile, ValuesAreBoundedByTheBuffer) {
    FakeIniStore store;
    ProgramLocation where{L"C:\\T\\p.exe", L"C:\\", L"p"};
    IniProfile profile(store, where, true);
    profile.SetFile(L"C:\\x.ini");
    store.Set(L"C:\\x.ini", L"s", L"k", std::wstring(5000, L'v'));
    EXPECT_EQ(profile.GetString(L"k", L"s").size(), 1023u);
    EXPECT_EQ(profile.Section(), L"s");
}

struct LookupCase {
    const char* name;
    const wchar_t* fileValue; // nullptr: key missing
    std::wstring expected;
};

TEST(LookupMessage, TableOfFileValues) {
    const std::wstring file = L"C:\\L\\ENU\\Duskpanel.ini";
    const LookupCase cases[] = {
        {"missing key gives built-in", nullptr, L"Built\nin"},
        {"line break", L"Line one\\nLine two", L"Line one\nLine two"},
        {"other escapes stay", L"a\\tb\\\\c", L"a\\tb\\\\c"},
        {"empty value is empty", L"", L""},
    };
    for (const LookupCase& c : cases) {
        FakeIniStore store;
        if (c.fileValue)
            store.Set(file, L"message_string", L"About", c.fileValue);
        EXPECT_EQ(LookupMessage(store, file, L"About", L"Built\\nin"), c.expected) << c.name;
    }
    FakeIniStore store;
    store.Set(file, L"message_string", L"Check_for_updates", std::wstring(1200, L'x'));
    EXPECT_EQ(LookupMessage(store, file, L"Check_for_updates", L"Check for updates").size(), 999u);
    EXPECT_EQ(LookupMessage(store, L"", L"IDOK", L"OK"), L"OK");
}

TEST(UrlTable, OneFileOnlyAndTheVendorDefault) {
    const std::wstring lang = L"C:\\I\\Languages\\ENU", install = L"C:\\I";
    {
        FakeIniStore store;
        UrlTable t = LoadUrlTable(store, lang, install);
        EXPECT_EQ(t.homeUrl, kVendorHomeUrl);
        EXPECT_EQ(t.supportUrl, kVendorHomeUrl);
        EXPECT_EQ(t.updateUrl, kVendorHomeUrl);
    }
    {
        FakeIniStore store;
        store.Set(lang + L"\\URLinfo.ini", L"public", L"support", L"http://s/");
        store.Set(install + L"\\URLinfo.ini", L"public", L"home", L"http://h/");
        store.Set(install + L"\\URLinfo.ini", L"public", L"update", L"http://u/");
        UrlTable t = LoadUrlTable(store, lang, install);
        EXPECT_EQ(t.supportUrl, L"http://s/");
        EXPECT_EQ(t.homeUrl, kVendorHomeUrl);
        EXPECT_EQ(t.updateUrl, kVendorHomeUrl);
    }
    {
        FakeIniStore store;
        store.Set(install + L"\\URLinfo.ini", L"public", L"update", L"");
        UrlTable t = LoadUrlTable(store, lang, install);
        EXPECT_EQ(t.updateUrl, L"") << "an empty value is a value";
        EXPECT_EQ(t.homeUrl, kVendorHomeUrl);
    }
    {
        FakeIniStore store;
        const std::wstring longest = L"http://h/" + std::wstring(kUrlBufferChars - 10, L'x');
        store.Set(install + L"\\URLinfo.ini", L"public", L"home", longest);
        store.Set(install + L"\\URLinfo.ini", L"public", L"update", longest + L"x");
        UrlTable t = LoadUrlTable(store, lang, install);
        EXPECT_EQ(t.homeUrl, longest);
        EXPECT_EQ(t.updateUrl, kVendorHomeUrl) << "cut short it would be another address";
    }
}

} // namespace
} // namespace dp

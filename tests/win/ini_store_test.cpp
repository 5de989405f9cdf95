#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "settings/ini_profile.h"
#include "settings/localisation.h"
#include "settings/parameter_store.h"
#include "settings/url_table.h"
#include "settings/win32/win32_stores.h"

namespace dp {
namespace {

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH];
    DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p(path, n);
    return p.substr(0, p.find_last_of(L'\\') + 1);
}

std::wstring TempFolder() {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    return temp;
}

std::string ReadBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(path.c_str(), std::ios::binary);
    out << bytes;
}

TEST(IniStore, RelativePathsResolveToTheProgramFolderAbsoluteOnesStay) {
    Win32IniStore store;
    ProgramLocation location = CurrentProgramLocation(L"DuskpanelTests");
    IniProfile profile(store, location, true);
    profile.SetFile(L"dp-relative-test.ini");
    EXPECT_EQ(profile.File(), ProgramFolder() + L"dp-relative-test.ini");
    profile.WriteInt(L"k", 5, L"s");
    EXPECT_EQ(profile.GetInt(L"k", 0), 5);
    EXPECT_NE(::GetFileAttributesW((ProgramFolder() + L"dp-relative-test.ini").c_str()),
              INVALID_FILE_ATTRIBUTES);
    ::DeleteFileW((ProgramFolder() + L"dp-relative-test.ini").c_str());

    std::wstring absolute = TempFolder() + L"dp-absolute-test.ini";
    profile.SetFile(absolute);
    EXPECT_EQ(profile.File(), absolute);
    profile.WriteInt(L"k", -3, L"s");
    EXPECT_EQ(profile.GetInt(L"k", 0, L"S"), -3) << "section names ignore case";
    ::DeleteFileW(absolute.c_str());
}

TEST(IniStore, ParamIniFromScratchHasTheDocumentedText) {
    std::wstring folder = TempFolder() + L"dp-param-test";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    ::DeleteFileW((folder + L"\\Param.ini").c_str());
    struct NullProfile : ProfileStore {
        int GetInt(const std::wstring&, const std::wstring&, int d) override { return d; }
        bool WriteInt(const std::wstring&, const std::wstring&, int) override { return true; }
        std::wstring GetString(const std::wstring&, const std::wstring&,
                               const std::wstring& d) override {
            return d;
        }
        bool WriteString(const std::wstring&, const std::wstring&, const std::wstring&) override {
            return true;
        }
    } profile;
    Win32IniStore store;
    Parameters p;
    p.acBrightness = 40;
    p.dcBrightness = 20;
    p.resumePasswordProtect = 1;
    SaveParameters(p, profile, store, CurrentProgramLocation(L"Duskpanel"), folder);
    EXPECT_EQ(ReadBytes(folder + L"\\Param.ini"),
              "[public]\r\nAC=40\r\nDC=20\r\ngamma=128\r\nEnable_resume_password_protect=1\r\n"
              "Dim_external_monitors=1\r\n");

    WriteBytes(folder + L"\\Param.ini", "[PUBLIC]\r\nac= 35 \r\nDC=\"-7\"\r\ngamma=12abc\r\n");
    Parameters loaded;
    LoadParameters(loaded, profile, store, CurrentProgramLocation(L"Duskpanel"), folder);
    EXPECT_EQ(loaded.acBrightness, 35);
    EXPECT_EQ(loaded.dcBrightness, -7);
    EXPECT_EQ(loaded.gammaLevel, 12);
    EXPECT_EQ(loaded.resumePasswordProtect, 1);
    ::DeleteFileW((folder + L"\\Param.ini").c_str());
    ::RemoveDirectoryW(folder.c_str());
}

TEST(IniStore, LanguageFileValuesAreTrimmedUnquotedAndBounded) {
    std::wstring file = TempFolder() + L"dp-lang-test.ini";
    std::string longValue(1200, 'x');
    WriteBytes(file, "[message_string]\r\nabout=\r\nIDOK=  \"Fine\"  \r\nlong=" + longValue +
                         "\r\nnl=Line one\\nLine two\r\n");
    Win32IniStore store;
    EXPECT_EQ(LookupMessage(store, file, L"About", L"About"), L"");
    EXPECT_EQ(LookupMessage(store, file, L"IDOK", L"OK"), L"Fine");
    EXPECT_EQ(LookupMessage(store, file, L"long", L"").size(), 999u);
    EXPECT_EQ(LookupMessage(store, file, L"nl", L""), L"Line one\nLine two");
    EXPECT_EQ(LookupMessage(store, file, L"missing", L"Built in"), L"Built in");
    EXPECT_EQ(LookupMessage(store, file + L".none", L"IDOK", L"OK"), L"OK");
    ::DeleteFileW(file.c_str());
}

// Files no translator or vendor wrote, read by the platform's own reader: a language file of
// 10 MB with a value of 100,000 characters still gives its texts (the long one cut to what a
// text may have), and an address of 5,000 characters gives the default rather than a cut one.
TEST(IniStore, HugeFilesStillGiveTheirValues) {
    const std::wstring file = TempFolder() + L"dp-huge-test.ini";
    std::string bytes = "[message_string]\r\nAbout=Info\r\nlong=" + std::string(100000, 'x') +
                        "\r\nIDOK=Fine\r\n[public]\r\nhome=http://h/" + std::string(5000, 'h') +
                        "\r\nsupport=http://s/\r\n[filler]\r\n";
    while (bytes.size() < 10 * 1024 * 1024)
        bytes += "k=" + std::string(96, 'v') + "\r\n";
    WriteBytes(file, bytes);
    Win32IniStore store;
    EXPECT_EQ(LookupMessage(store, file, L"About", L"About"), L"Info");
    EXPECT_EQ(LookupMessage(store, file, L"long", L""), std::wstring(999, L'x'));
    EXPECT_EQ(LookupMessage(store, file, L"IDOK", L"OK"), L"Fine");
    EXPECT_EQ(LookupMessage(store, file, L"missing", L"Built in"), L"Built in");
    const std::wstring folder = TempFolder() + L"dp-huge-url";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    ::MoveFileW(file.c_str(), (folder + L"\\URLinfo.ini").c_str());
    const UrlTable table = LoadUrlTable(store, folder + L"\\Languages\\ENU", folder);
    EXPECT_EQ(table.homeUrl, kVendorHomeUrl);
    EXPECT_EQ(table.supportUrl, L"http://s/");
    ::DeleteFileW((folder + L"\\URLinfo.ini").c_str());
    ::RemoveDirectoryW(folder.c_str());
}

// The platform matches file, section and key names without regard to case; an empty value is
// a value, not a missing one.
TEST(IniStore, UrlTableNamesIgnoreCase) {
    const std::wstring install = TempFolder() + L"dp-url-test";
    const std::wstring language = install + L"\\Languages\\ENU";
    ::CreateDirectoryW(install.c_str(), nullptr);
    WriteBytes(install + L"\\urlinfo.INI", "[PUBLIC]\r\nUpdate=\r\nHOME=http://h/\r\n");
    Win32IniStore store;
    const UrlTable table = LoadUrlTable(store, language, install);
    EXPECT_EQ(table.homeUrl, L"http://h/");
    EXPECT_EQ(table.updateUrl, L"");
    EXPECT_EQ(table.supportUrl, kVendorHomeUrl);
    ::DeleteFileW((install + L"\\urlinfo.INI").c_str());
    ::RemoveDirectoryW(install.c_str());
}

} // namespace
} // namespace dp

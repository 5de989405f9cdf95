#include "updater/download_naming.h"

#include <gtest/gtest.h>

#include <string>

namespace dp {
namespace {

struct NameRow {
    const char* name;
    std::wstring url;
    std::wstring fileName;
};

const NameRow kNameRows[] = {
    {"last path component", L"http://host/dir/setup.exe", L"setup.exe"},
    {"backslash path", L"C:\\dist\\setup.exe", L"setup.exe"},
    {"no separator", L"setup.exe", L"setup.exe"},
    {"extension stays", L"http://host/Duskpanel-2.0.tar.gz", L"Duskpanel-2.0.tar.gz"},
    {"query dropped", L"http://host/setup.exe?x=1", L"setup.exe"},
    {"query with slashes dropped", L"http://host/setup.exe?next=/a/b", L"setup.exe"},
    {"fragment dropped", L"http://host/setup.exe#top", L"setup.exe"},
    {"ends in a slash", L"http://host/dir/", L""},
    {"ends in a slash before a query", L"http://host/dir/?file=setup.exe", L""},
    // The text after the last backslash, even when a slash follows it; the plain-name check
    // then refuses the result.
    {"slash after the last backslash", L"http://host/a\\b/setup.exe", L"b/setup.exe"},
    {"slash before the last backslash", L"http://host/a/b\\setup.exe", L"setup.exe"},
    {"host only", L"http://host", L"host"},
};

TEST(FileNameFromUrl, Table) {
    for (const NameRow& row : kNameRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(FileNameFromUrl(row.url), row.fileName);
    }
}

struct PlainRow {
    const char* name;
    std::wstring fileName;
    bool plain;
};

const PlainRow kPlainRows[] = {
    {"ordinary", L"setup.exe", true},
    {"blanks inside", L"Duskpanel setup 2.0.exe", true},
    {"non-ASCII", L"s\u00e9tup.exe", true},
    {"device-like prefix", L"console.exe", true},
    {"port name with two digits", L"COM10", true},
    {"empty", L"", false},
    {"dot", L".", false},
    {"dot dot", L"..", false},
    {"trailing dot", L"setup.exe.", false},
    {"trailing blank", L"setup.exe ", false},
    {"drive or stream colon", L"setup.exe:evil", false},
    {"slash", L"a/b.exe", false},
    {"backslash", L"..\\b.exe", false},
    {"control character", L"set\nup.exe", false},
    {"delete character", L"set\x7fup.exe", false},
    {"CON", L"CON", false},
    {"nul lower case", L"nul", false},
    {"device with an extension", L"nul.txt", false},
    {"device with blanks before the extension", L"Con .log", false},
    {"PRN", L"prn.exe", false},
    {"AUX", L"Aux", false},
    {"COM1", L"COM1", false},
    {"COM9 with extension", L"com9.exe", false},
    {"LPT3", L"lpt3.bin", false},
    {"COM superscript one", L"COM\u00b9", false},
    {"CONOUT$", L"CONOUT$", false},
};

TEST(IsPlainFileName, Table) {
    for (const PlainRow& row : kPlainRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(IsPlainFileName(row.fileName), row.plain);
    }
}

TEST(DownloadNaming, TemporaryFiles) {
    EXPECT_EQ(UpdateIniPath(L"C:\\users\\me\\Temp", 1), L"C:\\users\\me\\Temp\\1_update.ini");
    EXPECT_EQ(UpdateIniPath(L"C:\\users\\me\\Temp", 0), L"C:\\users\\me\\Temp\\0_update.ini");
    EXPECT_EQ(SetupFilePath(L"C:\\Temp", L"setup.exe"), L"C:\\Temp\\setup.exe");
}

struct CommandRow {
    const char* name;
    std::wstring path;
    std::wstring param;
    std::optional<std::wstring> line;
};

const std::wstring kLongPath = L"C:\\" + std::wstring(300, L'p') + L".exe";

const CommandRow kCommandRows[] = {
    {"path quoted, parameters after one blank", L"C:\\Temp\\setup.exe", L"/S /D=x",
     L"\"C:\\Temp\\setup.exe\" /S /D=x"},
    {"empty parameters leave the blank", L"C:\\Temp\\setup.exe", L"", L"\"C:\\Temp\\setup.exe\" "},
    {"longer than 256 characters grows", kLongPath, L"/q", L"\"" + kLongPath + L"\" /q"},
    {"exactly the platform's limit", L"a", std::wstring(32766 - 4, L'x'),
     L"\"a\" " + std::wstring(32766 - 4, L'x')},
    {"one beyond the limit is refused", L"a", std::wstring(32767 - 4, L'x'), std::nullopt},
};

TEST(BuildSetupCommandLine, Table) {
    for (const CommandRow& row : kCommandRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(BuildSetupCommandLine(row.path, row.param), row.line);
    }
}

struct EncodeRow {
    const char* name;
    std::wstring url;
    std::wstring encoded;
};

const EncodeRow kEncodeRows[] = {
    {"ASCII unchanged", L"http://127.0.0.1:8080/dir/setup.exe?a=1&b=%20",
     L"http://127.0.0.1:8080/dir/setup.exe?a=1&b=%20"},
    {"two-byte character", L"http://h/s\u00e9tup.exe", L"http://h/s%C3%A9tup.exe"},
    {"three-byte character", L"http://h/\u65b0.exe", L"http://h/%E6%96%B0.exe"},
    {"character beyond the BMP", L"http://h/\U0001F600.exe", L"http://h/%F0%9F%98%80.exe"},
    {"blank", L"http://h/a b.ini", L"http://h/a%20b.ini"},
    {"control character", L"http://h/a\tb", L"http://h/a%09b"},
    {"query too", L"http://h/u.ini?n=\u00fc", L"http://h/u.ini?n=%C3%BC"},
    {"host left alone", L"http://h\u00f6st/a", L"http://h\u00f6st/a"},
    {"no scheme", L"\u00e9", L"%C3%A9"},
    {"lone surrogate", std::wstring(L"http://h/") + wchar_t(0xD800) + L"x", L"http://h/%EF%BF%BDx"},
};

TEST(EncodeUrlForRequest, PercentEncodesUtf8) {
    for (const EncodeRow& row : kEncodeRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(EncodeUrlForRequest(row.url), row.encoded);
    }
}

} // namespace
} // namespace dp

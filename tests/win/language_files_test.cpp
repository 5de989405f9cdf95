#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>

#include "settings/localisation.h"
#include "settings/win32/win32_stores.h"

namespace dp {
namespace {

// The language files the build made for the installer: <build>\languages\<abbreviation>.
std::wstring LanguageFile(const std::wstring& abbreviation) {
    wchar_t path[MAX_PATH];
    DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, n);
    folder.erase(folder.find_last_of(L'\\') + 1); // <build>\tests\ holds the test programs
    return folder + L"..\\languages\\" + abbreviation + L"\\Duskpanel.ini";
}

std::string Narrow(const wchar_t* ascii) {
    return std::string(ascii, ascii + wcslen(ascii));
}

std::wstring WithLineBreaks(std::wstring text) {
    for (std::size_t at = 0; (at = text.find(L"\\n", at)) != std::wstring::npos; ++at)
        text.replace(at, 2, L"\n");
    return text;
}

TEST(LanguageFiles, EveryFileIsUtf16AndCarriesEveryTextWithItsLineBreaks) {
    Win32IniStore ini;
    int valuesWithLineBreaks = 0;
    for (const wchar_t* abbreviation : {L"ENU", L"CHS", L"DEU", L"FRA", L"ESP", L"JPN"}) {
        SCOPED_TRACE(Narrow(abbreviation));
        std::wstring file = LanguageFile(abbreviation);
        char bom[2] = {};
        std::ifstream(file.c_str(), std::ios::binary).read(bom, 2);
        EXPECT_EQ(std::string(bom, 2), "\xFF\xFE") << "UTF-16 LE with a byte-order mark";
        for (const MessageText& text : kMessageTexts) {
            SCOPED_TRACE(Narrow(text.key));
            std::wstring raw = ini.ReadString(file, L"message_string", text.key, L"<missing>",
                                              kMessageBufferChars);
            ASSERT_NE(raw, L"<missing>");
            ASSERT_FALSE(raw.empty());
            ASSERT_LT(raw.size(), kMessageBufferChars - 1) << "would be cut off";
            valuesWithLineBreaks += raw.find(L"\\n") != std::wstring::npos;
            std::wstring shown = LookupMessage(ini, file, text);
            EXPECT_EQ(shown, WithLineBreaks(raw));
            if (std::wstring(abbreviation) == L"ENU") {
                EXPECT_EQ(shown, text.builtIn) << "the English file holds the built-in texts";
            }
        }
    }
    EXPECT_GT(valuesWithLineBreaks, 0) << "some translations break their lines";
}

} // namespace
} // namespace dp

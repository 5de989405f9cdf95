// The saver's About and settings dialogs in a test program that carries the saver's resources:
// a stand-in for the application object, and the language files the build made.
#pragma once

#include <windows.h>

#include <string>

#include "tests/support/dialog_shots.h"
#include "ui/win32/about_dialog.h"

namespace dp::test {

class FakeAboutHost : public AboutHost {
public:
    std::wstring name = L"Duskpanel", languageFile;
    UrlTable urls{L"http://home.test/", L"http://support.test/", L"http://update.test/u.ini"};
    int launches = 0;
    int year = 2026; // the pictures must not change with the calendar

    const std::wstring& ApplicationName() const override { return name; }
    const UrlTable& LinkAddresses() const override { return urls; }
    const std::wstring& LanguageFile() const override { return languageFile; }
    bool LaunchUpdater(bool, bool, HWND) override {
        ++launches;
        return true;
    }
    int CurrentYear() const override { return year; }
};

// <build>\languages\<abbreviation>\Duskpanel.ini, as the build writes it for the installer.
inline std::wstring BuiltLanguageFile(const std::wstring& abbreviation) {
    wchar_t self[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder(self, length);
    folder = folder.substr(0, folder.find_last_of(L'\\') + 1); // <build>\tests\ .
    return folder + L"..\\languages\\" + abbreviation + L"\\Duskpanel.ini";
}

} // namespace dp::test

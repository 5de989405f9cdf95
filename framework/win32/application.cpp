#include "framework/win32/application.h"

#include "framework/win32/handles.h"
#include "framework/win32/registry.h"
#include "framework/win32/window.h"

namespace dp {
namespace {

Application* g_current = nullptr;

std::wstring ProfileSectionPath(const std::wstring& base, const std::wstring& section) {
    return section.empty() ? base : base + L"\\" + section;
}

// Readers never create the key (a missing key gives the caller's default); writers do.
UniqueRegKey OpenProfileKey(const std::wstring& path, bool create) {
    return OpenRegistryKey(HKEY_CURRENT_USER, path, create ? KEY_READ | KEY_WRITE : KEY_READ,
                           create);
}

} // namespace

std::wstring ProgramFilePath() {
    wchar_t path[MAX_PATH] = {};
    DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    return std::wstring(path, length);
}

std::wstring ProgramBaseName() {
    std::wstring name = ProgramFilePath();
    name = name.substr(name.find_last_of(L"\\/") + 1);
    return name.substr(0, name.find_last_of(L'.'));
}

int ShowMessageBox(const std::wstring& text, UINT flags) {
    if (const Application* app = Application::Current())
        return app->MessageBox(text, flags);
    return ::MessageBoxW(::GetActiveWindow(), text.c_str(), ProgramBaseName().c_str(), flags);
}

Application::Application() {
    g_current = this;
}

Application::~Application() {
    if (g_current == this)
        g_current = nullptr;
}

Application* Application::Current() {
    return g_current;
}

int Application::Run(HINSTANCE instance) {
    instance_ = instance;
    if (appName_.empty())
        appName_ = ProgramBaseName();
    if (InitInstance() && mainWindow_)
        exitCode_ = RunMessageLoop();
    return ExitInstance();
}

int Application::RunMessageLoop() {
    MSG msg;
    for (;;) {
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0)
            return static_cast<int>(msg.wParam);
        if (got == -1)
            return -1;
        if (MessageTarget::PreTranslateForTarget(msg))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

void Application::SetRegistryKey(const std::wstring& key) {
    profileKeyPath_ = L"Software\\" + key + L"\\" + appName_;
}

int Application::GetProfileInt(const std::wstring& section, const std::wstring& entry,
                               int defaultValue) const {
    UniqueRegKey key = OpenProfileKey(ProfileSectionPath(profileKeyPath_, section), false);
    if (!key)
        return defaultValue;
    DWORD type = 0, value = 0, size = sizeof(value);
    if (::RegQueryValueExW(key.get(), entry.c_str(), nullptr, &type,
                           reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(value))
        return defaultValue;
    return static_cast<int>(value);
}

bool Application::WriteProfileInt(const std::wstring& section, const std::wstring& entry,
                                  int value) const {
    UniqueRegKey key = OpenProfileKey(ProfileSectionPath(profileKeyPath_, section), true);
    if (!key)
        return false;
    DWORD data = static_cast<DWORD>(value);
    return ::RegSetValueExW(key.get(), entry.c_str(), 0, REG_DWORD,
                            reinterpret_cast<const BYTE*>(&data), sizeof(data)) == ERROR_SUCCESS;
}

std::wstring Application::GetProfileString(const std::wstring& section, const std::wstring& entry,
                                           const std::wstring& defaultValue) const {
    UniqueRegKey key = OpenProfileKey(ProfileSectionPath(profileKeyPath_, section), false);
    if (!key)
        return defaultValue;
    DWORD type = 0, size = 0;
    if (::RegQueryValueExW(key.get(), entry.c_str(), nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return defaultValue;
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    DWORD capacity = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (::RegQueryValueExW(key.get(), entry.c_str(), nullptr, &type,
                           reinterpret_cast<BYTE*>(text.data()), &capacity) != ERROR_SUCCESS)
        return defaultValue;
    text.resize(wcsnlen(text.c_str(), text.size()));
    return text;
}

bool Application::WriteProfileString(const std::wstring& section, const std::wstring& entry,
                                     const std::wstring& value) const {
    UniqueRegKey key = OpenProfileKey(ProfileSectionPath(profileKeyPath_, section), true);
    if (!key)
        return false;
    DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return ::RegSetValueExW(key.get(), entry.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(value.c_str()), bytes) == ERROR_SUCCESS;
}

int Application::MessageBox(const std::wstring& text, UINT flags) const {
    return ::MessageBoxW(::GetActiveWindow(), text.c_str(), appName_.c_str(), flags);
}

} // namespace dp

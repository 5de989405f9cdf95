#include "updater/win32/update_system.h"

#include <windows.h>
#include <objbase.h>
#include <sddl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "framework/win32/application.h"
#include "framework/win32/handles.h"

namespace dp {

namespace {

// The folder "%temp%" names is read into a path-sized buffer: a longer one is not used.
constexpr DWORD kTempFolderChars = MAX_PATH;

// A read handle that shares reading only: while it is open no writer can open the file, and a
// writer that has it open already makes the guard fail.
class ReadOnlyShare final : public WriteGuard {
public:
    explicit ReadOnlyShare(UniqueFileHandle file) : file_(std::move(file)) {}

private:
    UniqueFileHandle file_;
};

// Read access shared with readers only, so that nobody can write, rename or delete the file
// while it is held; the program loader, which only reads, can still start it.
class HeldSetupFile final : public HeldFile {
public:
    explicit HeldSetupFile(UniqueFileHandle file) : file_(std::move(file)) {}
    std::optional<std::size_t> Read(std::span<std::uint8_t> buffer) override {
        DWORD read = 0;
        const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), 0x7FFFFFFF));
        if (!::ReadFile(file_.get(), buffer.data(), wanted, &read, nullptr))
            return std::nullopt;
        return read;
    }

private:
    UniqueFileHandle file_;
};

// "S-1-5-21-..." of the user this process runs as; empty when it cannot be read.
std::wstring CurrentUserSid() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return {};
    const UniqueHandle owned(token);
    DWORD bytes = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &bytes);
    std::vector<std::uint8_t> buffer(bytes);
    if (bytes == 0 || !::GetTokenInformation(token, TokenUser, buffer.data(), bytes, &bytes))
        return {};
    LPWSTR text = nullptr;
    if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text))
        return {};
    const UniqueLocal freed(text);
    return text;
}

// A random folder name: a version-4 GUID's digits.
std::wstring RandomFolderName() {
    GUID guid{};
    wchar_t text[40] = {};
    if (FAILED(::CoCreateGuid(&guid)) || ::StringFromGUID2(guid, text, 40) != 39)
        return {};
    return L"Renewick-" + std::wstring(text + 1, 36);
}

// The setup's process as the shell handed it back (null when the shell gave none).
class ShellStartedSetup final : public StartedSetup {
public:
    explicit ShellStartedSetup(HANDLE process) : process_(process) {}
    HANDLE get() const { return process_.get(); }

private:
    UniqueHandle process_;
};

// The watcher's message boxes carry the product's caption, not the copy's file name.
constexpr wchar_t kWatcherCaption[] = L"Renewick";

} // namespace

std::optional<std::wstring> Win32UpdateSystem::ExpandTempFolder() {
    wchar_t folder[kTempFolderChars] = {};
    const DWORD needed = ::ExpandEnvironmentStringsW(L"%temp%", folder, kTempFolderChars);
    if (needed == 0 || needed > kTempFolderChars)
        return std::nullopt;
    return std::wstring(folder);
}

SetupStartAnswer Win32UpdateSystem::StartSetup(const SetupRequest& request) {
    // The shell may need COM on this thread to show the elevation prompt.
    ComApartment apartment;
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    // The process handle for the watcher; NOASYNC because this thread may end right after;
    // no error box of the shell's own, the user gets ours (the elevation prompt is no error
    // box and still shows).
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.hwnd = owner_;
    info.lpVerb = nullptr; // the default verb: "open", elevated when the manifest asks for it
    info.lpFile = request.program.c_str();
    info.lpParameters = request.parameters.c_str();
    // Not the install folder: the setup may have to remove it.
    info.lpDirectory = request.folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!::ShellExecuteExW(&info)) {
        const DWORD error = ::GetLastError();
        return {nullptr, error != 0 ? error : static_cast<std::uint32_t>(ERROR_GEN_FAILURE)};
    }
    return {std::make_unique<ShellStartedSetup>(info.hProcess), 0};
}

// Renewick.exe is one of the files the setup replaces, and the setup waits until nobody runs
// it. So this process does not wait: a copy of the program in the download folder, which the
// setup never touches, inherits the setup's process handle, waits for it and tells the user;
// this process ends with its dialog. The copy runs in the download folder, so that no folder
// of the installation is its current directory either.
bool Win32UpdateSystem::WatchSetup(StartedSetup& setup, const SetupWatch& watch) {
    const HANDLE process = static_cast<ShellStartedSetup&>(setup).get();
    const std::wstring program = ProgramFilePath();
    if (!process || program.empty())
        return false;
    const std::wstring copy =
        watch.folder + L"\\Renewick-watch-" + std::to_wstring(::GetCurrentProcessId()) + L".exe";
    if (!::CopyFileW(program.c_str(), copy.c_str(), FALSE))
        return false;
    HANDLE inheritable = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), process, ::GetCurrentProcess(), &inheritable,
                           SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, TRUE, 0))
        return false;
    const UniqueHandle inherited(inheritable);
    std::wstring line = L"\"" + copy + L"\" " +
                        WatcherArguments(reinterpret_cast<std::uintptr_t>(inheritable),
                                         watch.productName, watch.offeredVersion);
    line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    ProcessInformation watcher;
    return ::CreateProcessW(copy.c_str(), line.data(), nullptr, nullptr, TRUE,
                            NORMAL_PRIORITY_CLASS, nullptr, watch.folder.c_str(), &startup,
                            watcher.put()) != FALSE;
}

std::unique_ptr<WriteGuard> Win32UpdateSystem::GuardAgainstWriters(std::wstring_view path) {
    const std::wstring file(path);
    UniqueFileHandle handle(::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle)
        return nullptr;
    return std::make_unique<ReadOnlyShare>(std::move(handle));
}

void Win32UpdateSystem::RemoveFile(std::wstring_view path) {
    const std::wstring file(path);
    ::DeleteFileW(file.c_str());
}

void ReportSetupEnd(const UpdaterCommandLine& commandLine) {
    const UniqueHandle process(reinterpret_cast<HANDLE>(commandLine.watchedSetup));
    DWORD exitCode = 0;
    if (::WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 ||
        !::GetExitCodeProcess(process.get(), &exitCode))
        return;
    const std::wstring text =
        SetupEndedMessage(exitCode, commandLine.productName, commandLine.installedVersion);
    ::MessageBoxW(nullptr, text.c_str(), kWatcherCaption,
                  MB_OK | MB_SETFOREGROUND | (exitCode == 0 ? MB_ICONINFORMATION : MB_ICONWARNING));
}

std::optional<std::wstring> Win32UpdateSystem::CreateDownloadFolder(std::wstring_view tempFolder) {
    // Protected (nothing inherited from %TEMP%): the user, the system and the administrators
    // (the elevated setup runs as one, possibly another account) have full access, nobody else
    // any.
    const std::wstring user = CurrentUserSid();
    if (user.empty())
        return std::nullopt;
    const std::wstring sddl = L"D:P(A;OICI;FA;;;" + user + L")(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                                &descriptor, nullptr))
        return std::nullopt;
    const UniqueLocal freed(descriptor);
    SECURITY_ATTRIBUTES attributes{};
    attributes.nLength = sizeof(attributes);
    attributes.lpSecurityDescriptor = descriptor;
    // A name that exists already was not made here: never used, another one is drawn.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const std::wstring name = RandomFolderName();
        if (name.empty())
            return std::nullopt;
        const std::wstring folder = std::wstring(tempFolder) + L"\\" + name;
        if (::CreateDirectoryW(folder.c_str(), &attributes))
            return folder;
        if (::GetLastError() != ERROR_ALREADY_EXISTS)
            return std::nullopt;
    }
    return std::nullopt;
}

std::unique_ptr<HeldFile> Win32UpdateSystem::HoldFile(std::wstring_view path) {
    const std::wstring file(path);
    UniqueFileHandle handle(::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!handle)
        return nullptr;
    return std::make_unique<HeldSetupFile>(std::move(handle));
}

std::wstring ProfileIniReader::ReadString(std::wstring_view file, std::wstring_view section,
                                          std::wstring_view key, std::wstring_view defaultValue,
                                          std::size_t bufferChars) {
    if (bufferChars == 0)
        return std::wstring();
    const std::wstring path(file), sectionName(section), keyName(key), fallback(defaultValue);
    std::vector<wchar_t> value(bufferChars, L'\0');
    const DWORD length =
        ::GetPrivateProfileStringW(sectionName.c_str(), keyName.c_str(), fallback.c_str(),
                                   value.data(), static_cast<DWORD>(value.size()), path.c_str());
    return std::wstring(value.data(), std::min<std::size_t>(length, value.size() - 1));
}

} // namespace dp

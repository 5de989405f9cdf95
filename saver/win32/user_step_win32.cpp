// The per-user step's platform side: whose desktop this is, and the start of the step in that
// user's session through the desktop's own shell, which runs unelevated as that user.
#include <windows.h>
#include <exdisp.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "framework/win32/application.h"
#include "framework/win32/handles.h"
#include "saver/user_settings_removal.h"
#include "saver/win32/saver_app.h"
#include "saver/win32/saver_modes.h"
#include "saver/win32/user_step_win32.h"
#include "settings/path_forming.h"

namespace dp {
namespace {

// The shell's desktop window hands its "top-level browser" out under this service id.
constexpr GUID kTopLevelBrowser = {
    0x4c96be40, 0x915c, 0x11cf, {0x99, 0xd3, 0x00, 0xaa, 0x00, 0x4a, 0xe8, 0x37}};

// The relay in the desktop user's session: an .exe, because the shell starts a ".scr" with its
// own "/S" whatever arguments it is given.
constexpr wchar_t kRelayName[] = L"Renewick.exe";
constexpr DWORD kFindRelayMs = 15000;
constexpr DWORD kRelayEndMs = 90000;
constexpr DWORD kPollMs = 100;
// The desktop's shell may not serve its objects yet (a shell that is still starting or has just
// restarted): nothing has been started then, so asking again is safe.
constexpr int kShellAttempts = 5;
constexpr DWORD kShellRetryMs = 1000;

// The account (its SID, copied) a token belongs to; empty when it cannot be read.
std::vector<BYTE> TokenUserSid(HANDLE token) {
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    if (size == 0 || size > 4096)
        return {};
    std::vector<BYTE> buffer(size);
    if (!::GetTokenInformation(token, TokenUser, buffer.data(), size, &size))
        return {};
    PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    if (!::IsValidSid(sid))
        return {};
    const DWORD length = ::GetLengthSid(sid);
    const BYTE* bytes = static_cast<const BYTE*>(sid);
    return std::vector<BYTE>(bytes, bytes + length);
}

std::vector<BYTE> ProcessUserSid(HANDLE process) {
    UniqueHandle token;
    if (!::OpenProcessToken(process, TOKEN_QUERY, token.put()))
        return {};
    return TokenUserSid(token.get());
}

// The process that stands for the desktop's user: the shell's, or without a shell window (Wine
// registers none) the desktop window's. On Windows that is a system process whose account is
// never an administrator's, so it never makes another account look like the desktop's user.
DWORD ShellProcessId() {
    HWND shell = ::GetShellWindow();
    if (!shell)
        shell = ::GetDesktopWindow();
    DWORD id = 0;
    if (shell)
        ::GetWindowThreadProcessId(shell, &id);
    return id;
}

// The relays the shell process runs now, by identifier. A snapshot needs no access to the
// processes, which belong to the desktop's user.
std::vector<DWORD> RelayIds(DWORD shellId) {
    std::vector<DWORD> ids;
    UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return ids;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
         more = ::Process32NextW(snapshot.get(), &entry)) {
        if (entry.th32ParentProcessID == shellId &&
            ::CompareStringOrdinal(entry.szExeFile, -1, kRelayName, -1, TRUE) == CSTR_EQUAL)
            ids.push_back(entry.th32ProcessID);
    }
    return ids;
}

bool Contains(const std::vector<DWORD>& ids, DWORD id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// The relay the shell started after the snapshot "before" was taken; 0 when none appeared in
// time (the shell starts it on its own time).
DWORD WaitForNewRelay(DWORD shellId, const std::vector<DWORD>& before) {
    for (DWORD waited = 0; waited < kFindRelayMs; waited += kPollMs) {
        for (DWORD id : RelayIds(shellId))
            if (!Contains(before, id))
                return id;
        ::Sleep(kPollMs);
    }
    return 0;
}

// Waits for the relay's end, bounded: the uninstaller removes the files right after.
ShellRun WaitForRelayEnd(DWORD shellId, DWORD id) {
    ShellRun run;
    run.outcome = ShellRun::Outcome::EndNotSeen;
    UniqueHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
    if (process) {
        DWORD code = 0;
        if (::WaitForSingleObject(process.get(), kRelayEndMs) != WAIT_OBJECT_0)
            return run;
        if (!::GetExitCodeProcess(process.get(), &code)) {
            run.outcome = ShellRun::Outcome::EndedUnread;
            return run;
        }
        run.outcome = ShellRun::Outcome::Ended;
        run.exitCode = code;
        return run;
    }
    // Another account's process may refuse this one even that much: then its end is what the
    // snapshots show, and its result stays unknown.
    for (DWORD waited = 0; waited < kRelayEndMs; waited += kPollMs) {
        if (!Contains(RelayIds(shellId), id)) {
            run.outcome = ShellRun::Outcome::EndedUnread;
            return run;
        }
        ::Sleep(kPollMs);
    }
    return run;
}

// The desktop's shell object, whose ShellExecute runs in the shell's process and so as the
// desktop's user, unelevated.
ComPtr<IShellDispatch2> DesktopShellDispatch() {
    ComPtr<IShellWindows> windows;
    if (FAILED(::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER,
                                  __uuidof(IShellWindows), windows.putVoid())))
        return {};
    Variant location, root;
    location.SetInt(CSIDL_DESKTOP);
    long window = 0;
    ComPtr<IDispatch> desktop;
    if (windows->FindWindowSW(location.get(), root.get(), SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                              desktop.put()) != S_OK ||
        !desktop)
        return {};
    ComPtr<IServiceProvider> services;
    ComPtr<IShellBrowser> browser;
    ComPtr<IShellView> view;
    ComPtr<IDispatch> background;
    ComPtr<IShellFolderViewDual> folderView;
    ComPtr<IDispatch> application;
    ComPtr<IShellDispatch2> shell;
    if (FAILED(desktop->QueryInterface(__uuidof(IServiceProvider), services.putVoid())) ||
        FAILED(
            services->QueryService(kTopLevelBrowser, __uuidof(IShellBrowser), browser.putVoid())) ||
        FAILED(browser->QueryActiveShellView(view.put())) || !view ||
        FAILED(view->GetItemObject(SVGIO_BACKGROUND, __uuidof(IDispatch), background.putVoid())) ||
        FAILED(background->QueryInterface(__uuidof(IShellFolderViewDual), folderView.putVoid())) ||
        FAILED(folderView->get_Application(application.put())) || !application ||
        FAILED(application->QueryInterface(__uuidof(IShellDispatch2), shell.putVoid())))
        return {};
    return shell;
}

// This account's profile key and data folder, as the process's own HKCU and shell folder name
// them.
class Win32UserSettingsPlatform : public UserSettingsPlatform {
public:
    bool RemoveProfileKey() override {
        const std::wstring key = VendorKey() + L"\\" + kSaverAppName;
        const LSTATUS status = ::RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
        return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
    }
    void RemoveVendorKeyIfEmpty() override {
        const std::wstring name = VendorKey();
        DWORD subkeys = 1, values = 1;
        {
            UniqueRegKey key;
            if (::RegOpenKeyExW(HKEY_CURRENT_USER, name.c_str(), 0, KEY_QUERY_VALUE, key.put()) !=
                    ERROR_SUCCESS ||
                ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                   &values, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                return;
        }
        // RegDeleteKey itself refuses a key with subkeys, and would take the values along.
        if (subkeys == 0 && values == 0)
            ::RegDeleteKeyW(HKEY_CURRENT_USER, name.c_str());
    }
    std::wstring UserDataRoot() override {
        wchar_t path[MAX_PATH] = {};
        if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path)))
            return {};
        return std::wstring(path, ::wcsnlen(path, MAX_PATH));
    }
    PathKind KindOf(const std::wstring& path) override {
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            const DWORD error = ::GetLastError();
            return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                       ? PathKind::Missing
                       : PathKind::Unreadable;
        }
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
            return PathKind::Link;
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Folder : PathKind::File;
    }
    bool RemoveFile(const std::wstring& path) override {
        return ::DeleteFileW(path.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    void RemoveFolderIfEmpty(const std::wstring& path) override {
        ::RemoveDirectoryW(path.c_str());
    }

private:
    static std::wstring VendorKey() { return std::wstring(L"Software\\") + kVendorFolder; }
};

class Win32UserStepPlatform : public UserStepPlatform {
public:
    explicit Win32UserStepPlatform(std::wstring programFolder)
        : programFolder_(std::move(programFolder)) {}

    ShellUser FindShellUser() override {
        const DWORD shellId = ShellProcessId();
        if (shellId == 0)
            return ShellUser::None;
        UniqueHandle shell(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, shellId));
        if (!shell)
            return ShellUser::Unknown;
        const std::vector<BYTE> shellUser = ProcessUserSid(shell.get());
        const std::vector<BYTE> ownUser = ProcessUserSid(::GetCurrentProcess());
        if (shellUser.empty() || ownUser.empty())
            return ShellUser::Unknown;
        return ::EqualSid(const_cast<BYTE*>(shellUser.data()), const_cast<BYTE*>(ownUser.data()))
                   ? ShellUser::Same
                   : ShellUser::Other;
    }
    bool DuskpanelIsTheSaver() override { return IsTheSystemSaverWin32(); }
    void SelectDuskpanel() override { UpdateSystemSaverSettingsWin32(true); }
    void PutPreviousSaverBack() override { UpdateSystemSaverSettingsWin32(false); }
    bool RemoveUserSettings() override {
        Win32UserSettingsPlatform settings;
        return dp::RemoveUserSettings(kSaverAppName, settings);
    }

    ShellRun RunInShellSession(const UserStepCommand& here) override {
        // The relay beside this program, in the installation's folder (which only
        // administrators write).
        if (programFolder_.empty())
            return {};
        const std::wstring& folder = programFolder_;
        const std::wstring relay = folder + L"\\" + kRelayName;
        const DWORD shellId = ShellProcessId();
        if (shellId == 0)
            return {};

        // A thread already in another apartment kind serves as well.
        const ComApartment apartment;
        if (FAILED(apartment.result()) && apartment.result() != RPC_E_CHANGED_MODE)
            return {};
        ComPtr<IShellDispatch2> shell = DesktopShellDispatch();
        for (int attempt = 1; !shell && attempt < kShellAttempts; ++attempt) {
            ::Sleep(kShellRetryMs);
            shell = DesktopShellDispatch();
        }
        if (!shell)
            return {};
        UniqueBstr file(::SysAllocStringLen(relay.data(), static_cast<UINT>(relay.size())));
        Variant arguments, directory, operation, show;
        if (!file || !arguments.SetText(FormatUserStepArguments(here)) ||
            !directory.SetText(folder) || !operation.SetText(L"open"))
            return {};
        show.SetInt(SW_HIDE);
        const std::vector<DWORD> before = RelayIds(shellId);
        if (FAILED(shell->ShellExecute(file.get(), arguments.value(), directory.value(),
                                       operation.value(), show.value())))
            return {};
        const DWORD relayId = WaitForNewRelay(shellId, before);
        if (relayId == 0)
            return ShellRun{ShellRun::Outcome::EndNotSeen, 0};
        return WaitForRelayEnd(shellId, relayId);
    }

private:
    std::wstring programFolder_;
};

} // namespace

std::unique_ptr<UserStepPlatform> MakeWin32UserStepPlatform(std::wstring programFolder) {
    return std::make_unique<Win32UserStepPlatform>(std::move(programFolder));
}

std::uint32_t RunUserStepWin32(const UserStepCommand& command) {
    const std::wstring program = ProgramFilePath();
    const std::size_t slash = program.find_last_of(L"\\/");
    auto platform = MakeWin32UserStepPlatform(
        slash == std::wstring::npos ? std::wstring() : program.substr(0, slash));
    return static_cast<std::uint32_t>(RunUserStep(command, *platform));
}

} // namespace dp

#include "updater/win32/user_step_relay.h"

#include <windows.h>

#include <string>
#include <vector>

#include "framework/win32/application.h"
#include "framework/win32/handles.h"

namespace dp {
namespace {

// Below the installer's own wait for this relay, so that it sees this process end.
constexpr DWORD kSaverEndMs = 60000;

} // namespace

std::uint32_t RelayUserStep(const UserStepCommand& command) {
    constexpr auto kFailed = static_cast<std::uint32_t>(UserStepExit::StepFailed);
    const std::wstring self = ProgramFilePath();
    const std::size_t slash = self.find_last_of(L"\\/");
    if (self.empty() || slash == std::wstring::npos)
        return kFailed;
    const std::wstring saver = self.substr(0, slash) + L"\\Duskpanel.scr";
    const std::wstring line = L"\"" + saver + L"\" " + FormatUserStepArguments(command);
    std::vector<wchar_t> buffer(line.begin(), line.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    ProcessInformation process;
    // The program by its full path: never a search for it.
    if (!::CreateProcessW(saver.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, process.put()))
        return kFailed;
    if (::WaitForSingleObject(process.get().hProcess, kSaverEndMs) != WAIT_OBJECT_0)
        return kFailed;
    DWORD code = kFailed;
    if (!::GetExitCodeProcess(process.get().hProcess, &code))
        return kFailed;
    return code;
}

} // namespace dp

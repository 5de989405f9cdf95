// saver_floor.exe: what a program needs at the least to do the saver's work, so that the saver's
// figures can be read against it (testing/bench_saver.py).
//
//   saver_floor apply LEVEL      opens \\.\LCD and sets LEVEL for mains power {1, LEVEL, LEVEL}:
//                                the start to the level applied, with nothing else on the way
//   saver_floor relaunch LEVEL   starts "saver_floor apply LEVEL" as the saver starts its /w
//                                copy (high priority, a process group of its own) and ends
//   saver_floor idle             a hidden window with the saver's 100 ms timer calling
//                                GetLastInputInfo, until the window is closed or the process ends
#include <windows.h>

#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

constexpr DWORD kSetDisplayBrightness = 0x23049C;
constexpr UINT_PTR kPollTimerId = 1;
constexpr UINT kPollIntervalMs = 100;

int Apply(BYTE level) {
    const HANDLE device =
        ::CreateFileW(L"\\\\.\\LCD", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE)
        return 1;
    BYTE record[3] = {1, level, level};
    DWORD bytes = 0;
    const BOOL set =
        ::DeviceIoControl(device, kSetDisplayBrightness, record, 3, nullptr, 0, &bytes, nullptr);
    ::CloseHandle(device);
    return set ? 0 : 1;
}

int Relaunch(const wchar_t* level) {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 1;
    std::wstring commandLine = L"\"" + std::wstring(path) + L"\" apply " + level;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                          HIGH_PRIORITY_CLASS | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr,
                          &startup, &process))
        return 1;
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return 0;
}

LRESULT CALLBACK IdleProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER: {
        LASTINPUTINFO last{};
        last.cbSize = sizeof(last);
        ::GetLastInputInfo(&last);
        return 0;
    }
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

int Idle() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = IdleProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"DuskpanelSaverFloor";
    if (!::RegisterClassW(&windowClass))
        return 1;
    const HWND window =
        ::CreateWindowExW(0, windowClass.lpszClassName, L"saver floor", WS_POPUP, 0, 0, 1, 1,
                          nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!window)
        return 1;
    ::SetTimer(window, kPollTimerId, kPollIntervalMs, nullptr);
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t*, int) {
    const int argc = __argc;
    wchar_t** argv = __wargv;
    if (argc == 3 && std::wcscmp(argv[1], L"apply") == 0)
        return Apply(static_cast<BYTE>(std::wcstoul(argv[2], nullptr, 10)));
    if (argc == 3 && std::wcscmp(argv[1], L"relaunch") == 0)
        return Relaunch(argv[2]);
    if (argc == 2 && std::wcscmp(argv[1], L"idle") == 0)
        return Idle();
    return 2;
}

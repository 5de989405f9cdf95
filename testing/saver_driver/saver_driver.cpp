// saver_driver.exe: drives the running saver (Duskpanel.scr /w) from another program in the same
// Wine prefix, so that end-to-end tests deliver what the system would deliver.
//
//   saver_driver find [--timeout MS]
//       waits for the saver's window (class "DuskpanelDimmer", title "Duskpanel"), visible or
//       not, and prints: hwnd 0x<handle> visible <0|1> rect <l> <t> <r> <b> exstyle 0x<style>
//       pid <n>. Exit 0 when found, 1 after the time-out (default 10000 ms).
//   saver_driver post HWND MSG WPARAM [LPARAM]    PostMessageW (numbers in C notation)
//   saver_driver key VK                           SendInput: key VK pressed and released
//   saver_driver wait-gone HWND [--timeout MS]    exit 0 once the window is gone, else 1
//   saver_driver fault PID     a thread started in process PID at an invalid address: an
//                              access violation there that nothing in the process handles
//   saver_driver terminate PID TerminateProcess: the process ends without running any code
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>

namespace {

constexpr wchar_t kSaverClass[] = L"DuskpanelDimmer";
constexpr wchar_t kSaverTitle[] = L"Duskpanel";
constexpr DWORD kPollMs = 20;

std::uintptr_t ParseNumber(const wchar_t* text) {
    return static_cast<std::uintptr_t>(std::wcstoull(text, nullptr, 0));
}

DWORD TimeoutArgument(int argc, wchar_t** argv, int from, DWORD fallback) {
    for (int i = from; i + 1 < argc; ++i) {
        if (std::wcscmp(argv[i], L"--timeout") == 0)
            return static_cast<DWORD>(ParseNumber(argv[i + 1]));
    }
    return fallback;
}

int Find(DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (HWND window = ::FindWindowW(kSaverClass, kSaverTitle)) {
            RECT rect{};
            ::GetWindowRect(window, &rect);
            DWORD pid = 0;
            ::GetWindowThreadProcessId(window, &pid);
            std::printf(
                "hwnd 0x%llx visible %d rect %ld %ld %ld %ld exstyle 0x%llx pid %lu\n",
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(window)),
                ::IsWindowVisible(window) ? 1 : 0, rect.left, rect.top, rect.right, rect.bottom,
                static_cast<unsigned long long>(::GetWindowLongPtrW(window, GWL_EXSTYLE)), pid);
            return 0;
        }
        if (::GetTickCount() - start >= timeoutMs)
            return 1;
        ::Sleep(kPollMs);
    }
}

int Post(int argc, wchar_t** argv) {
    if (argc < 5)
        return 2;
    const HWND window = reinterpret_cast<HWND>(ParseNumber(argv[2]));
    const UINT message = static_cast<UINT>(ParseNumber(argv[3]));
    const WPARAM wParam = ParseNumber(argv[4]);
    const LPARAM lParam = argc > 5 ? static_cast<LPARAM>(ParseNumber(argv[5])) : 0;
    const BOOL posted = ::PostMessageW(window, message, wParam, lParam);
    std::printf("posted %d error %lu\n", posted ? 1 : 0, posted ? 0UL : ::GetLastError());
    return posted ? 0 : 1;
}

int Key(int argc, wchar_t** argv) {
    if (argc < 3)
        return 2;
    INPUT keys[2]{};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = static_cast<WORD>(ParseNumber(argv[2]));
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    const UINT sent = ::SendInput(2, keys, sizeof(INPUT));
    std::printf("sent %u\n", sent);
    return sent == 2 ? 0 : 1;
}

int WaitGone(HWND window, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    while (::IsWindow(window)) {
        if (::GetTickCount() - start >= timeoutMs)
            return 1;
        ::Sleep(kPollMs);
    }
    return 0;
}

// An address no module is mapped at, so the new thread faults on its first instruction.
constexpr std::uintptr_t kInvalidStart = 0x10;

HANDLE OpenTarget(const wchar_t* pid, DWORD access) {
    return ::OpenProcess(access, FALSE, static_cast<DWORD>(ParseNumber(pid)));
}

int Fault(const wchar_t* pid) {
    const HANDLE process =
        OpenTarget(pid, PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION | PROCESS_VM_OPERATION |
                            PROCESS_VM_WRITE | PROCESS_VM_READ);
    if (!process)
        return 1;
    const HANDLE thread = ::CreateRemoteThread(
        process, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(kInvalidStart), nullptr, 0,
        nullptr);
    std::printf("thread %d error %lu\n", thread ? 1 : 0, thread ? 0UL : ::GetLastError());
    if (thread)
        ::CloseHandle(thread);
    ::CloseHandle(process);
    return thread ? 0 : 1;
}

int Terminate(const wchar_t* pid) {
    const HANDLE process = OpenTarget(pid, PROCESS_TERMINATE | SYNCHRONIZE);
    if (!process)
        return 1;
    const BOOL ended =
        ::TerminateProcess(process, 1) && ::WaitForSingleObject(process, 10000) == WAIT_OBJECT_0;
    ::CloseHandle(process);
    return ended ? 0 : 1;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2)
        return 2;
    if (std::wcscmp(argv[1], L"find") == 0)
        return Find(TimeoutArgument(argc, argv, 2, 10000));
    if (std::wcscmp(argv[1], L"post") == 0)
        return Post(argc, argv);
    if (std::wcscmp(argv[1], L"key") == 0)
        return Key(argc, argv);
    if (std::wcscmp(argv[1], L"wait-gone") == 0 && argc >= 3)
        return WaitGone(reinterpret_cast<HWND>(ParseNumber(argv[2])),
                        TimeoutArgument(argc, argv, 3, 10000));
    if (std::wcscmp(argv[1], L"fault") == 0 && argc >= 3)
        return Fault(argv[2]);
    if (std::wcscmp(argv[1], L"terminate") == 0 && argc >= 3)
        return Terminate(argv[2]);
    return 2;
}

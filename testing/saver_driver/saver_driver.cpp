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
//   saver_driver abort PID     a thread in PID calling the C library's abort()
//   saver_driver raise-overflow PID    a thread raising EXCEPTION_STACK_OVERFLOW
//   saver_driver overflow PID  a thread recursing until its stack is exhausted
//   saver_driver fastfail PID  a thread calling __fastfail (int 0x29): no handler runs
//   saver_driver heap-fault PID
//       one thread takes the process heap's lock and keeps it; another, started first, faults
//       half a second later: whatever the dying process allocates then waits for ever
// The injected threads run a few bytes of x86-64 code written into the target; the addresses of
// the functions they call are found through the target's module list (64-bit targets only).
#include <windows.h>
#include <tlhelp32.h>

#include <cstring>
#include <vector>

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

// The address of module!name in process pid: the same offset from the module's base as here.
std::uintptr_t RemoteProc(DWORD pid, const wchar_t* module, const char* name) {
    const HMODULE local = ::LoadLibraryW(module);
    if (!local)
        return 0;
    const auto proc = reinterpret_cast<std::uintptr_t>(::GetProcAddress(local, name));
    if (!proc)
        return 0;
    const HANDLE snapshot =
        ::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, pid);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    MODULEENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    std::uintptr_t found = 0;
    for (BOOL more = ::Module32FirstW(snapshot, &entry); more;
         more = ::Module32NextW(snapshot, &entry)) {
        if (::lstrcmpiW(entry.szModule, module) == 0) {
            found = reinterpret_cast<std::uintptr_t>(entry.modBaseAddr) +
                    (proc - reinterpret_cast<std::uintptr_t>(local));
            break;
        }
    }
    ::CloseHandle(snapshot);
    return found;
}

// Machine code for the injected threads.
class Code {
public:
    Code& Bytes(std::initializer_list<unsigned char> bytes) {
        code_.insert(code_.end(), bytes);
        return *this;
    }
    template <std::size_t N> Code& Bytes(const unsigned char (&bytes)[N]) {
        code_.insert(code_.end(), bytes, bytes + N);
        return *this;
    }
    Code& Address(std::uintptr_t value) {
        for (int i = 0; i < 8; ++i)
            code_.push_back(static_cast<unsigned char>(value >> (8 * i)));
        return *this;
    }
    // rax = address; call rax (the stack is kept aligned and with its shadow space)
    Code& Call(std::uintptr_t address) {
        Bytes({0x48, 0xB8}).Address(address);
        return Bytes({0xFF, 0xD0});
    }
    Code& Ecx(std::uint32_t value) {
        Bytes({0xB9});
        for (int i = 0; i < 4; ++i)
            code_.push_back(static_cast<unsigned char>(value >> (8 * i)));
        return *this;
    }
    const std::vector<unsigned char>& get() const { return code_; }

private:
    std::vector<unsigned char> code_;
};

const unsigned char kFrame[] = {0x48, 0x83, 0xEC, 0x28}; // sub rsp, 0x28
const unsigned char kFault[] = {0x31, 0xC0, 0x89, 0x00}; // xor eax, eax; mov [rax], eax
const unsigned char kHang[] = {0xEB, 0xFE};              // jmp $

int RunCode(DWORD pid, const Code& code) {
    const HANDLE process =
        ::OpenProcess(PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION | PROCESS_VM_OPERATION |
                          PROCESS_VM_WRITE | PROCESS_VM_READ,
                      FALSE, pid);
    if (!process)
        return 1;
    void* memory = ::VirtualAllocEx(process, nullptr, code.get().size(), MEM_COMMIT | MEM_RESERVE,
                                    PAGE_EXECUTE_READWRITE);
    SIZE_T written = 0;
    HANDLE thread = nullptr;
    if (memory &&
        ::WriteProcessMemory(process, memory, code.get().data(), code.get().size(), &written))
        thread = ::CreateRemoteThread(process, nullptr, 0,
                                      reinterpret_cast<LPTHREAD_START_ROUTINE>(memory), nullptr, 0,
                                      nullptr);
    std::printf("thread %d error %lu\n", thread ? 1 : 0, thread ? 0UL : ::GetLastError());
    if (thread)
        ::CloseHandle(thread);
    ::CloseHandle(process);
    return thread ? 0 : 1;
}

int Inject(const wchar_t* verb, const wchar_t* pidText) {
    const auto pid = static_cast<DWORD>(ParseNumber(pidText));
    const auto kernel = [&](const char* name) { return RemoteProc(pid, L"kernel32.dll", name); };
    Code code;
    code.Bytes(kFrame);
    if (std::wcscmp(verb, L"abort") == 0) {
        const std::uintptr_t abortProc = RemoteProc(pid, L"msvcrt.dll", "abort");
        if (!abortProc)
            return 1;
        code.Call(abortProc);
    } else if (std::wcscmp(verb, L"raise-overflow") == 0) {
        // RaiseException(EXCEPTION_STACK_OVERFLOW, 0, 0, nullptr)
        code.Ecx(EXCEPTION_STACK_OVERFLOW).Bytes({0x31, 0xD2, 0x45, 0x31, 0xC0, 0x45, 0x31, 0xC9});
        code.Call(kernel("RaiseException"));
    } else if (std::wcscmp(verb, L"overflow") == 0) {
        // again: sub rsp, 0x1000; mov [rsp], rax; jmp again
        code.Bytes({0x48, 0x81, 0xEC, 0x00, 0x10, 0x00, 0x00, 0x48, 0x89, 0x04, 0x24, 0xEB, 0xF3});
    } else if (std::wcscmp(verb, L"fastfail") == 0) {
        code.Ecx(7).Bytes({0xCD, 0x29}); // FAST_FAIL_FATAL_APP_EXIT
    } else {
        return 2;
    }
    code.Bytes(kHang);
    return RunCode(pid, code);
}

int HeapFault(const wchar_t* pidText) {
    const auto pid = static_cast<DWORD>(ParseNumber(pidText));
    const auto kernel = [&](const char* name) { return RemoteProc(pid, L"kernel32.dll", name); };
    if (!kernel("Sleep") || !kernel("HeapLock") || !kernel("GetProcessHeap"))
        return 1;
    // Started first, so that starting it needs no heap: sleeps, then faults.
    Code faulting;
    faulting.Bytes(kFrame).Ecx(500).Call(kernel("Sleep"));
    faulting.Bytes(kFault);
    // Takes the process heap's lock and keeps it.
    Code locking;
    locking.Bytes(kFrame).Call(kernel("GetProcessHeap"));
    locking.Bytes({0x48, 0x89, 0xC1}).Call(kernel("HeapLock")); // mov rcx, rax
    locking.Ecx(INFINITE).Call(kernel("Sleep"));
    if (RunCode(pid, faulting) != 0)
        return 1;
    return RunCode(pid, locking);
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
    if (std::wcscmp(argv[1], L"heap-fault") == 0 && argc >= 3)
        return HeapFault(argv[2]);
    if (argc >= 3)
        return Inject(argv[1], argv[2]);
    return 2;
}

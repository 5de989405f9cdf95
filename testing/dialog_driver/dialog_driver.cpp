// dialog_driver.exe: finds, reads and answers the dialogs and message boxes of another program
// in the same Wine prefix, so that end-to-end tests press buttons instead of sleeping.
//
//   dialog_driver find [--title T] [--class C] [--text S] [--timeout MS]
//       waits for a visible top-level window with that exact title and class whose own text
//       or one of whose children's texts contains S; prints its description (below).
//       Exit 0 when found, 1 after the time-out (default 10000 ms).
//   dialog_driver describe HWND          the description of one window
//   dialog_driver press HWND ID          posts WM_COMMAND (BN_CLICKED) for button ID
//   dialog_driver click HWND ID          posts BM_CLICK to button ID (a check box toggles)
//   dialog_driver post HWND MSG WPARAM [LPARAM]   PostMessageW (numbers in C notation)
//   dialog_driver slider HWND ID POS     moves trackbar ID to POS and posts the dialog the
//                                        WM_HSCROLL (TB_THUMBPOSITION) a drag ends with
//   dialog_driver syscommand HWND CMD    posts WM_SYSCOMMAND CMD
//   dialog_driver wait-gone HWND [--timeout MS]   exit 0 once the window is gone
//   dialog_driver watch HWND PROGRESS_ID TEXT_ID [--interval MS] [--timeout MS]
//       prints "sample <position> <text>" for a progress bar and a text control until the
//       window is gone or the time-out passes
//   dialog_driver start COMMAND_LINE [--timeout MS]
//       starts a program with exactly that command line (CreateProcessW), prints "pid <n>",
//       waits for it and ends with its exit code (259 when it outlives the time-out)
//   dialog_driver host [--title T] [--timeout MS]
//       shows a window of its own, prints "hwnd 0x..." and runs until it is closed
//   dialog_driver serve
//       runs the commands above from standard input until it ends (testing/serve_loop.h)
//
// A description is one line per fact, UTF-8, with \r, \n and \\ escaped:
//   hwnd 0x<handle>  /  class <name>  /  caption <text>  /  owner 0x<handle>  /  pid <n>
//   item <id> <class> <text>     for every child window, in Z order
//   position <id> <n>            for every progress bar
//   combo <id> <text>            for every entry of every combo box
//   state <id> <enabled 0|1> <check state>   for every child (check state 0 unless a button)
//   trackbar <id> <min> <max> <position>     for every trackbar
#include "testing/serve_loop.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

// Cross-process messages are sent with a time-out, so a hung target cannot hang a test.
constexpr UINT kSendTimeoutMs = 2000;

void Print(const std::wstring& line) {
    std::wstring escaped;
    for (wchar_t c : line) {
        if (c == L'\r')
            escaped += L"\\r";
        else if (c == L'\n')
            escaped += L"\\n";
        else if (c == L'\\')
            escaped += L"\\\\";
        else
            escaped += c;
    }
    escaped += L'\n';
    const int bytes = ::WideCharToMultiByte(
        CP_UTF8, 0, escaped.data(), static_cast<int>(escaped.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, escaped.data(), static_cast<int>(escaped.size()), utf8.data(),
                          bytes, nullptr, nullptr);
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    std::fflush(stdout);
}

std::wstring Hex(const void* handle) {
    wchar_t text[32];
    std::swprintf(text, 32, L"0x%llx",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(handle)));
    return text;
}

bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result) {
    return ::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                                 result) != 0;
}

std::wstring TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (!Send(window, WM_GETTEXTLENGTH, 0, 0, &length))
        return L"";
    std::vector<wchar_t> text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), &copied))
        return L"";
    return std::wstring(text.data(), std::min<std::size_t>(copied, length));
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    ::GetClassNameW(window, name, 256);
    return name;
}

bool IsClass(HWND window, const wchar_t* name) {
    return ::lstrcmpiW(ClassOf(window).c_str(), name) == 0;
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = ::GetWindow(parent, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

std::vector<std::wstring> ComboEntries(HWND combo) {
    std::vector<std::wstring> entries;
    DWORD_PTR count = 0;
    if (!Send(combo, CB_GETCOUNT, 0, 0, &count) || static_cast<LONG_PTR>(count) < 0)
        return entries;
    for (DWORD_PTR i = 0; i < count; ++i) {
        DWORD_PTR length = 0;
        if (!Send(combo, CB_GETLBTEXTLEN, i, 0, &length) || static_cast<LONG_PTR>(length) < 0)
            continue;
        std::vector<wchar_t> text(length + 1, L'\0');
        DWORD_PTR copied = 0;
        Send(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()), &copied);
        entries.emplace_back(text.data());
    }
    return entries;
}

int SendForNumber(HWND window, UINT message) {
    DWORD_PTR value = 0;
    Send(window, message, 0, 0, &value);
    return static_cast<int>(value);
}

int ProgressPosition(HWND bar) {
    DWORD_PTR position = 0;
    Send(bar, PBM_GETPOS, 0, 0, &position);
    return static_cast<int>(position);
}

void Describe(HWND window) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    Print(L"hwnd " + Hex(window));
    Print(L"class " + ClassOf(window));
    Print(L"caption " + TextOf(window));
    Print(L"owner " + Hex(::GetWindow(window, GW_OWNER)));
    Print(L"pid " + std::to_wstring(pid));
    for (HWND child : Children(window)) {
        const std::wstring id = std::to_wstring(static_cast<int>(::GetDlgCtrlID(child)));
        Print(L"item " + id + L" " + ClassOf(child) + L" " + TextOf(child));
        if (IsClass(child, PROGRESS_CLASSW))
            Print(L"position " + id + L" " + std::to_wstring(ProgressPosition(child)));
        const int check = IsClass(child, L"Button") ? SendForNumber(child, BM_GETCHECK) : 0;
        Print(L"state " + id + L" " + (::IsWindowEnabled(child) ? L"1 " : L"0 ") +
              std::to_wstring(check));
        if (IsClass(child, TRACKBAR_CLASSW))
            Print(L"trackbar " + id + L" " +
                  std::to_wstring(SendForNumber(child, TBM_GETRANGEMIN)) + L" " +
                  std::to_wstring(SendForNumber(child, TBM_GETRANGEMAX)) + L" " +
                  std::to_wstring(SendForNumber(child, TBM_GETPOS)));
        if (IsClass(child, L"ComboBox")) {
            for (const std::wstring& entry : ComboEntries(child))
                Print(L"combo " + id + L" " + entry);
        }
    }
}

struct Query {
    const wchar_t* title = nullptr;
    const wchar_t* className = nullptr;
    const wchar_t* text = nullptr;
    HWND found = nullptr;
};

bool Contains(const std::wstring& haystack, const wchar_t* needle) {
    return haystack.find(needle) != std::wstring::npos;
}

bool Matches(HWND window, const Query& query) {
    if (!::IsWindowVisible(window))
        return false;
    if (query.className && !IsClass(window, query.className))
        return false;
    if (query.title && TextOf(window) != query.title)
        return false;
    if (!query.text || Contains(TextOf(window), query.text))
        return true;
    for (HWND child : Children(window)) {
        if (Contains(TextOf(child), query.text))
            return true;
    }
    return false;
}

BOOL CALLBACK FindMatch(HWND window, LPARAM parameter) {
    auto* query = reinterpret_cast<Query*>(parameter);
    if (!Matches(window, *query))
        return TRUE;
    query->found = window;
    return FALSE;
}

HWND ParseHandle(const wchar_t* text) {
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::wcstoull(text, nullptr, 0)));
}

// The value following a named option, or fallback.
const wchar_t* Option(int argc, wchar_t** argv, const wchar_t* name, const wchar_t* fallback) {
    for (int i = 2; i + 1 < argc; ++i) {
        if (std::wcscmp(argv[i], name) == 0)
            return argv[i + 1];
    }
    return fallback;
}

DWORD OptionMs(int argc, wchar_t** argv, const wchar_t* name, DWORD fallback) {
    const wchar_t* value = Option(argc, argv, name, nullptr);
    return value ? static_cast<DWORD>(std::wcstoul(value, nullptr, 10)) : fallback;
}

int Find(int argc, wchar_t** argv) {
    Query query;
    query.title = Option(argc, argv, L"--title", nullptr);
    query.className = Option(argc, argv, L"--class", nullptr);
    query.text = Option(argc, argv, L"--text", nullptr);
    const DWORD timeoutMs = OptionMs(argc, argv, L"--timeout", 10000);
    const DWORD start = ::GetTickCount();
    for (;;) {
        query.found = nullptr;
        ::EnumWindows(FindMatch, reinterpret_cast<LPARAM>(&query));
        if (query.found) {
            Describe(query.found);
            return 0;
        }
        if (::GetTickCount() - start >= timeoutMs)
            return 1;
        ::Sleep(50);
    }
}

int WaitGone(HWND window, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    while (::IsWindow(window)) {
        if (::GetTickCount() - start >= timeoutMs)
            return 1;
        ::Sleep(50);
    }
    return 0;
}

int Watch(int argc, wchar_t** argv) {
    const HWND window = ParseHandle(argv[2]);
    const int progressId = std::wcstol(argv[3], nullptr, 10);
    const int textId = std::wcstol(argv[4], nullptr, 10);
    const DWORD intervalMs = OptionMs(argc, argv, L"--interval", 50);
    const DWORD timeoutMs = OptionMs(argc, argv, L"--timeout", 30000);
    const DWORD start = ::GetTickCount();
    while (::IsWindow(window) && ::GetTickCount() - start < timeoutMs) {
        // The text before the position: the dialog sets the position first, so a sample taken
        // while it changes both never pairs a newer text with an older position (the bar of
        // the previous download, say).
        const std::wstring text = TextOf(::GetDlgItem(window, textId));
        const int position = ProgressPosition(::GetDlgItem(window, progressId));
        if (::IsWindow(window))
            Print(L"sample " + std::to_wstring(position) + L" " + text);
        ::Sleep(intervalMs);
    }
    return 0;
}

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

int Host(int argc, wchar_t** argv) {
    const wchar_t* title = Option(argc, argv, L"--title", L"dialog driver host");
    const DWORD timeoutMs = OptionMs(argc, argv, L"--timeout", 60000);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = HostProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"DialogDriverHost";
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    ::RegisterClassW(&windowClass);
    HWND window = ::CreateWindowExW(0, windowClass.lpszClassName, title, WS_OVERLAPPEDWINDOW, 10,
                                    10, 300, 200, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!window)
        return 1;
    ::ShowWindow(window, SW_SHOWNORMAL);
    Print(L"hwnd " + Hex(window));
    ::SetTimer(window, 1, timeoutMs, nullptr);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER && msg.hwnd == window) {
            ::DestroyWindow(window);
            continue;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}

int Start(int argc, wchar_t** argv) {
    std::vector<wchar_t> commandLine(argv[2], argv[2] + std::wcslen(argv[2]) + 1);
    const DWORD timeoutMs = OptionMs(argc, argv, L"--timeout", 120000);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process)) {
        Print(L"error " + std::to_wstring(::GetLastError()));
        return 1;
    }
    Print(L"pid " + std::to_wstring(process.dwProcessId));
    ::WaitForSingleObject(process.hProcess, timeoutMs);
    DWORD exitCode = STILL_ACTIVE;
    ::GetExitCodeProcess(process.hProcess, &exitCode);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return static_cast<int>(exitCode);
}

int Usage() {
    Print(L"usage: dialog_driver "
          L"find|describe|press|click|post|slider|syscommand|wait-gone|watch|start|host "
          L"...");
    return 2;
}

int Run(int argc, wchar_t** argv) {
    if (argc < 2)
        return Usage();
    const std::wstring command = argv[1];
    if (command == L"find")
        return Find(argc, argv);
    if (command == L"host")
        return Host(argc, argv);
    if (argc < 3)
        return Usage();
    const HWND window = ParseHandle(argv[2]);
    if (command == L"start")
        return Start(argc, argv);
    if (command == L"describe") {
        if (!::IsWindow(window))
            return 1;
        Describe(window);
        return 0;
    }
    if (command == L"wait-gone")
        return WaitGone(window, OptionMs(argc, argv, L"--timeout", 10000));
    if (command == L"watch" && argc >= 5)
        return Watch(argc, argv);
    if (argc < 4)
        return Usage();
    const UINT id = static_cast<UINT>(std::wcstoul(argv[3], nullptr, 0));
    if (command == L"press") {
        HWND button = ::GetDlgItem(window, static_cast<int>(id));
        return ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                              reinterpret_cast<LPARAM>(button))
                   ? 0
                   : 1;
    }
    if (command == L"click")
        return ::PostMessageW(::GetDlgItem(window, static_cast<int>(id)), BM_CLICK, 0, 0) ? 0 : 1;
    if (command == L"post" && argc >= 5) {
        const WPARAM wParam = static_cast<WPARAM>(std::wcstoull(argv[4], nullptr, 0));
        const LPARAM lParam =
            argc >= 6 ? static_cast<LPARAM>(std::wcstoll(argv[5], nullptr, 0)) : 0;
        return ::PostMessageW(window, id, wParam, lParam) ? 0 : 1;
    }
    if (command == L"slider" && argc >= 5) {
        HWND trackbar = ::GetDlgItem(window, static_cast<int>(id));
        const int position = std::wcstol(argv[4], nullptr, 10);
        DWORD_PTR ignored = 0;
        if (!trackbar || !Send(trackbar, TBM_SETPOS, TRUE, position, &ignored))
            return 1;
        return ::PostMessageW(window, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position),
                              reinterpret_cast<LPARAM>(trackbar))
                   ? 0
                   : 1;
    }
    if (command == L"syscommand")
        return ::PostMessageW(window, WM_SYSCOMMAND, id, 0) ? 0 : 1;
    return Usage();
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 2 && std::wcscmp(argv[1], L"serve") == 0)
        return dp::testing::ServeCommands(L"dialog_driver", Run);
    return Run(argc, argv);
}

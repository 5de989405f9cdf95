// Drives a modal dialog from the thread that shows it: a thread timer, which the dialog's modal
// loop dispatches, calls `step` every few milliseconds, and the step reads and presses the
// dialog through window texts and messages (FindWindow, GetWindowText, posted WM_COMMAND).
// Posted messages are handled before timer messages, so each step sees what the previous one
// posted already done.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>

namespace dp::test {

class ModalPoller {
public:
    ModalPoller(std::function<void()> step, UINT intervalMs = 10) {
        Current() = std::move(step);
        id_ = ::SetTimer(nullptr, 0, intervalMs, &ModalPoller::Tick);
    }
    ~ModalPoller() {
        ::KillTimer(nullptr, id_);
        Current() = nullptr;
    }
    ModalPoller(const ModalPoller&) = delete;
    ModalPoller& operator=(const ModalPoller&) = delete;

private:
    static std::function<void()>& Current() {
        static std::function<void()> step;
        return step;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        if (Current())
            Current()();
    }

    UINT_PTR id_ = 0;
};

inline std::wstring TextOf(HWND window) {
    wchar_t text[512] = {};
    ::GetWindowTextW(window, text, 512);
    return text;
}

inline double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace dp::test

#include "framework/win32/window.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

namespace dp {

namespace {

// The framework's own record of which window belongs to which object, kept by Bind and Unbind.
// The message loop and every window procedure ask it for each message; a window property would
// answer the same, but under Wine each GetPropW is a round trip to the wineserver (the saver's
// 100 ms input poll spent a third of its requests on them). A process has a handful of framework
// windows, on more than one thread in the updater.
class TargetTable {
public:
    MessageTarget* Find(HWND hwnd) {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto entry = Entry(hwnd);
        return entry == entries_.end() ? nullptr : entry->second;
    }
    bool Add(HWND hwnd, MessageTarget* target) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (Entry(hwnd) != entries_.end())
            return false;
        // Bind runs inside window procedures, which nothing may unwind through.
        try {
            entries_.emplace_back(hwnd, target);
        } catch (...) {
            return false;
        }
        return true;
    }
    void Remove(HWND hwnd) {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto entry = Entry(hwnd);
        if (entry != entries_.end())
            entries_.erase(entry);
    }

private:
    std::vector<std::pair<HWND, MessageTarget*>>::iterator Entry(HWND hwnd) {
        return std::find_if(entries_.begin(), entries_.end(),
                            [hwnd](const auto& entry) { return entry.first == hwnd; });
    }

    std::mutex mutex_;
    std::vector<std::pair<HWND, MessageTarget*>> entries_;
};

TargetTable& Targets() {
    static TargetTable table;
    return table;
}

// The control a notification to its parent comes from; null for messages that are not one
// (menu and accelerator commands, scroll bars of the window itself, menu items drawn, the
// colours of the dialog itself).
HWND NotifyingChild(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<HWND>(lParam);
    case WM_NOTIFY:
        return lParam ? reinterpret_cast<const NMHDR*>(lParam)->hwndFrom : nullptr;
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        return wParam != 0 && item ? item->hwndItem : nullptr;
    }
    default:
        return nullptr;
    }
}

} // namespace

MessageTarget* MessageTarget::FromHandle(HWND hwnd) {
    return hwnd ? Targets().Find(hwnd) : nullptr;
}

bool MessageTarget::PreTranslateForTarget(MSG& msg) {
    for (HWND hwnd = msg.hwnd; hwnd; hwnd = ::GetParent(hwnd)) {
        if (MessageTarget* target = FromHandle(hwnd)) {
            if (target->PreTranslateMessage(msg))
                return true;
        }
    }
    return false;
}

bool MessageTarget::ReflectToChild(HWND parent, UINT message, WPARAM wParam, LPARAM lParam,
                                   LRESULT* result) {
    HWND child = NotifyingChild(message, wParam, lParam);
    if (!child || ::GetParent(child) != parent)
        return false;
    MessageTarget* target = FromHandle(child);
    return target && target->OnReflectedMessage(message, wParam, lParam, result);
}

bool MessageTarget::Bind(HWND hwnd, MessageTarget* target) {
    return hwnd && target && Targets().Add(hwnd, target);
}

void MessageTarget::Unbind(HWND hwnd) {
    Targets().Remove(hwnd);
}

Window::~Window() {
    // A window object that dies before its window: detach so no message reaches freed memory.
    if (hwnd_ && ::IsWindow(hwnd_)) {
        Unbind(hwnd_);
        HWND hwnd = hwnd_;
        hwnd_ = nullptr;
        ::DestroyWindow(hwnd);
    }
}

bool Window::RegisterClass(const wchar_t* className, UINT style, HCURSOR cursor, HBRUSH background,
                           HICON icon) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    if (::GetClassInfoExW(instance, className, &wc))
        return true;
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof(wc);
    wc.style = style;
    wc.lpfnWndProc = StaticWndProc;
    wc.hInstance = instance;
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.hIcon = icon;
    wc.lpszClassName = className;
    return ::RegisterClassExW(&wc) != 0;
}

bool Window::CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style,
                      const RECT& rect, HWND parent, HMENU menu) {
    HWND hwnd = ::CreateWindowExW(exStyle, className, title, style, rect.left, rect.top,
                                  rect.right - rect.left, rect.bottom - rect.top, parent, menu,
                                  ::GetModuleHandleW(nullptr), this);
    return hwnd != nullptr;
}

void Window::Destroy() {
    if (hwnd_)
        ::DestroyWindow(hwnd_);
}

LRESULT Window::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return Default(message, wParam, lParam);
}

LRESULT Window::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcW(hwnd_, message, wParam, lParam);
}

// Only classes registered by RegisterClass have this procedure, and only CreateEx passes the
// object in: the object found here is always a Window.
LRESULT CALLBACK Window::StaticWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        if (auto* window = static_cast<Window*>(create->lpCreateParams)) {
            window->hwnd_ = hwnd;
            Bind(hwnd, window);
        }
    }
    auto* window = static_cast<Window*>(FromHandle(hwnd));
    if (!window)
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    LRESULT result = 0;
    if (ReflectToChild(hwnd, message, wParam, lParam, &result))
        return result;
    result = window->OnMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        Unbind(hwnd);
        window->hwnd_ = nullptr;
        window->PostNcDestroy();
    }
    return result;
}

} // namespace dp

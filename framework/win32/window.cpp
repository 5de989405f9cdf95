#include "framework/win32/window.h"

namespace dp {

namespace {

// The property is the only mark of a framework object; its value is the MessageTarget.
constexpr wchar_t kTargetProperty[] = L"dp.MessageTarget";

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
    return static_cast<MessageTarget*>(::GetPropW(hwnd, kTargetProperty));
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
    if (FromHandle(hwnd))
        return false;
    return ::SetPropW(hwnd, kTargetProperty, target) != FALSE;
}

void MessageTarget::Unbind(HWND hwnd) {
    ::RemovePropW(hwnd, kTargetProperty);
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
// object in: the property found here is always a Window.
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

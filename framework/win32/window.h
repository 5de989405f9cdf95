// A window object bound to its HWND: messages reach the virtual OnMessage, queued messages are
// offered to PreTranslateMessage first, and PostNcDestroy is the last call (a self-owning
// window deletes itself there).
#pragma once

#include <windows.h>

#include <string>

namespace dp {

// Whatever the framework runs a window for: its own windows, its dialogs and the controls it
// subclasses. The object is found from its HWND through a table of the framework's own, kept
// by Bind and Unbind, never through GWLP_USERDATA or DWLP_USER: those belong to whoever made the
// window, and a common control, a system dialog, a tooltip or an IME window may keep anything
// there.
class MessageTarget {
public:
    MessageTarget() = default;
    virtual ~MessageTarget() = default;
    MessageTarget(const MessageTarget&) = delete;
    MessageTarget& operator=(const MessageTarget&) = delete;

    // The framework object bound to hwnd; null for every window the framework does not run.
    static MessageTarget* FromHandle(HWND hwnd);

    // Called by the message loop for every queued message; true means "handled, do not
    // dispatch". The message is offered to the framework object of the window it is for, then
    // to those of that window's parents and owners; other windows on the way are passed over.
    // Modal dialogs of the framework run the system's own loop, which offers its messages here
    // too (see Dialog::DoModal).
    static bool PreTranslateForTarget(MSG& msg);

    // Called by a parent's procedure for the notifications a child control sends its parent
    // (WM_COMMAND and WM_NOTIFY from a control, WM_CTLCOLOR* of a control, WM_DRAWITEM,
    // WM_HSCROLL and WM_VSCROLL from a control): when the child is a framework object, it is
    // offered the message first, so that a control can answer for itself (its colours, its
    // clicks) whatever dialog it sits in. True when the child handled it; its answer is in
    // *result.
    static bool ReflectToChild(HWND parent, UINT message, WPARAM wParam, LPARAM lParam,
                               LRESULT* result);

protected:
    // Sees each queued message of this window, or of a window below it, before dispatch.
    virtual bool PreTranslateMessage(MSG&) { return false; }
    // A notification this window sent its parent, handed back to it (ReflectToChild); true
    // when handled, with the parent's answer in *result.
    virtual bool OnReflectedMessage(UINT /*message*/, WPARAM, LPARAM, LRESULT* /*result*/) {
        return false;
    }

    // Binding is refused when hwnd already belongs to a framework object.
    static bool Bind(HWND hwnd, MessageTarget* target);
    static void Unbind(HWND hwnd);
};

class Window : public MessageTarget {
public:
    Window() = default;
    ~Window() override;

    HWND Handle() const { return hwnd_; }

    // Registers (once per name) a window class whose procedure dispatches to Window objects.
    static bool RegisterClass(const wchar_t* className, UINT style, HCURSOR cursor,
                              HBRUSH background, HICON icon);
    bool CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style,
                  const RECT& rect, HWND parent, HMENU menu = nullptr);
    void Destroy();

protected:
    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    virtual void PostNcDestroy() {}
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;
};

} // namespace dp

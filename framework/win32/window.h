// A window object bound to its HWND: messages reach the virtual OnMessage, queued messages are
// offered to PreTranslateMessage first, and PostNcDestroy is the last call (a self-owning
// window deletes itself there).
#pragma once

#include <windows.h>

#include <string>

namespace dp {

class Window {
public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND Handle() const { return hwnd_; }

    // Registers (once per name) a window class whose procedure dispatches to Window objects.
    static bool RegisterClass(const wchar_t* className, UINT style, HCURSOR cursor,
                              HBRUSH background, HICON icon);
    bool CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style,
                  const RECT& rect, HWND parent, HMENU menu = nullptr);
    void Destroy();

    // Called by the message loop for every queued message; true means "handled, do not
    // dispatch". The message goes to the window it is for, then to that window's ancestors.
    static bool PreTranslateForTarget(MSG& msg);

protected:
    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    virtual bool PreTranslateMessage(MSG&) { return false; }
    virtual void PostNcDestroy() {}
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static Window* FromHandle(HWND hwnd);

    HWND hwnd_ = nullptr;
};

} // namespace dp

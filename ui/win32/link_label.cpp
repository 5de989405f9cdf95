#include "ui/win32/link_label.h"

#include <windowsx.h>

#include <vector>

#include "framework/win32/application.h"
#include "framework/win32/dpi.h"
#include "renderer/open_url.h"
#include "renderer/win32/open_url.h"

namespace dp {
namespace {

constexpr UINT kToolId = 1;
constexpr UINT kHoverPeriodMs = 100;
constexpr int kHelpHandCursor = 106;
// The leave redraw reaches below the control (pixels at 96 dpi): an underline drawn by a taller
// font may stick out.
constexpr int kLeaveRedrawExtra = 10;
// Bit 30 of a key message: the key was down before, so this press is a repeat.
constexpr LPARAM kKeyWasDown = 1 << 30;

std::wstring WindowText(HWND hwnd) {
    std::vector<wchar_t> text(static_cast<std::size_t>(::GetWindowTextLengthW(hwnd)) + 1);
    const int length = ::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()));
    return std::wstring(text.data(), static_cast<std::size_t>(length > 0 ? length : 0));
}

HFONT ControlFont(HWND hwnd) {
    if (auto font = reinterpret_cast<HFONT>(::SendMessageW(hwnd, WM_GETFONT, 0, 0)))
        return font;
    if (auto font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)))
        return font;
    return static_cast<HFONT>(::GetStockObject(ANSI_VAR_FONT));
}

// The hand of the old help viewer when Windows still carries it, else the system's own; a copy
// of ours either way. The viewer's file is only read for its resources, never run.
UniqueCursor LoadHelpHandCursor() {
    wchar_t windows[MAX_PATH] = {};
    const UINT length = ::GetWindowsDirectoryW(windows, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        const std::wstring path = std::wstring(windows, length) + L"\\winhlp32.exe";
        UniqueModule viewer(::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        if (viewer) {
            if (HCURSOR hand = ::LoadCursorW(viewer.get(), MAKEINTRESOURCEW(kHelpHandCursor)))
                return UniqueCursor(::CopyIcon(hand));
        }
    }
    if (HCURSOR hand = ::LoadCursorW(nullptr, IDC_HAND))
        return UniqueCursor(::CopyIcon(hand));
    return UniqueCursor();
}

} // namespace

LinkLabel::~LinkLabel() {
    ReleaseWindow();
    Detach();
}

void LinkLabel::SetLinkUrl(const std::wstring& url) {
    url_ = url;
    if (!Handle())
        return;
    FitToText();
    tip_.UpdateTipText(Handle(), kToolId, url_);
}

void LinkLabel::SetVisitedState(bool visited) {
    visited_ = visited;
    if (Handle())
        ::InvalidateRect(Handle(), nullptr, TRUE);
}

void LinkLabel::SetUnderlineMode(int mode) {
    if (mode == underlineMode_)
        return;
    if (Handle()) {
        ApplyFont(FontForMode(mode));
        ::InvalidateRect(Handle(), nullptr, TRUE);
    }
    underlineMode_ = mode;
}

INT_PTR LinkLabel::OpenLink(const std::wstring& url, int showCommand) {
    return OpenUrl(url, showCommand);
}

void LinkLabel::Beep() {
    ::MessageBeep(MB_ICONEXCLAMATION);
}

void LinkLabel::ShowOpenError(INT_PTR code) {
    ShowMessageBox(OpenErrorMessage(code), MB_ICONEXCLAMATION | MB_OK);
}

void LinkLabel::OnAttached() {
    HWND hwnd = Handle();
    templateFont_ = reinterpret_cast<HFONT>(::SendMessageW(hwnd, WM_GETFONT, 0, 0));
    // Without SS_NOTIFY a static lets clicks through to the dialog and never reports them;
    // without WS_TABSTOP the keyboard never reaches it.
    ::SetWindowLongPtrW(hwnd, GWL_STYLE,
                        ::GetWindowLongPtrW(hwnd, GWL_STYLE) | SS_NOTIFY | WS_TABSTOP);
    const std::wstring text = WindowText(hwnd);
    if (url_.empty())
        url_ = text;
    if (text.empty())
        ::SetWindowTextW(hwnd, url_.c_str());
    CreateFonts();
    FitToText();
    LoadHandCursor();
    SetUnderlineMode(kUnderlineWhileHovering);
    RECT client{};
    ::GetClientRect(hwnd, &client);
    if (tip_.Create(hwnd))
        tip_.AddTool(hwnd, kToolId, url_, client);
}

void LinkLabel::CreateFonts() {
    LOGFONTW description{};
    if (!::GetObjectW(ControlFont(Handle()), sizeof(description), &description))
        return;
    plainFont_.reset(::CreateFontIndirectW(&description));
    description.lfUnderline = TRUE;
    underlinedFont_.reset(::CreateFontIndirectW(&description));
}

void LinkLabel::FitToText() {
    HWND hwnd = Handle();
    RECT window{};
    RECT client{};
    ::GetWindowRect(hwnd, &window);
    ::GetClientRect(hwnd, &client);
    if (HWND parent = ::GetParent(hwnd))
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&window), 2);
    const std::wstring text = WindowText(hwnd);
    SIZE extent{};
    {
        WindowDc dc(hwnd);
        if (!dc)
            return;
        SelectedObject font(dc.get(), underlinedFont_ ? underlinedFont_.get() : ControlFont(hwnd));
        if (!::GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()),
                                     &extent))
            return;
    }
    const PixelRect fitted =
        FitRectToText(PixelRect{window.left, window.top, window.right, window.bottom},
                      PixelSize{client.right - client.left, client.bottom - client.top},
                      PixelSize{extent.cx, extent.cy},
                      static_cast<std::uint32_t>(::GetWindowLongPtrW(hwnd, GWL_STYLE)));
    ::SetWindowPos(hwnd, nullptr, fitted.left, fitted.top, fitted.right - fitted.left,
                   fitted.bottom - fitted.top, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT fittedClient{};
    ::GetClientRect(hwnd, &fittedClient);
    tip_.SetToolArea(hwnd, kToolId, fittedClient);
}

void LinkLabel::LoadHandCursor() {
    if (!handCursor_)
        handCursor_ = LoadHelpHandCursor();
}

void LinkLabel::ApplyFont(LinkFont font) {
    if (font == LinkFont::Unchanged)
        return;
    const UniqueGdiObject& chosen = font == LinkFont::Underlined ? underlinedFont_ : plainFont_;
    if (chosen)
        ::SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(chosen.get()), TRUE);
}

LRESULT LinkLabel::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETCURSOR:
        return OnSetCursor() ? TRUE : FALSE;
    case WM_MOUSEMOVE:
        OnMouseMove();
        break;
    case WM_TIMER:
        OnTimer();
        break;
    case WM_ERASEBKGND:
        OnEraseBackground(reinterpret_cast<HDC>(wParam));
        return TRUE;
    case WM_DESTROY:
        ::KillTimer(Handle(), kHoverTimerId);
        tip_.Destroy();
        break;
    case WM_GETDLGCODE:
        return OnGetDlgCode(wParam, lParam);
    case WM_KEYDOWN:
        if (OnKeyDown(wParam, lParam))
            return 0;
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_UPDATEUISTATE: // keyboard cues shown or hidden: the focus rectangle with them
        ::InvalidateRect(Handle(), nullptr, TRUE);
        break;
    case WM_PAINT:
        return OnPaint(wParam, lParam);
    case WM_SETFONT:
        return OnSetFont(wParam, lParam);
    case kDpiChangedAfterParent:
        OnResolutionChanged();
        break;
    default:
        break;
    }
    return Default(message, wParam, lParam);
}

// Enter is the dialog's (its default button) unless the control asks for it.
LRESULT LinkLabel::OnGetDlgCode(WPARAM wParam, LPARAM lParam) {
    LRESULT code = Default(WM_GETDLGCODE, wParam, lParam);
    const auto* message = reinterpret_cast<const MSG*>(lParam);
    if (message && message->message == WM_KEYDOWN &&
        LinkTakesKey(static_cast<unsigned>(message->wParam)))
        code |= DLGC_WANTMESSAGE;
    return code;
}

bool LinkLabel::OnKeyDown(WPARAM key, LPARAM flags) {
    if (!OpensLink(static_cast<unsigned>(key), (flags & kKeyWasDown) != 0))
        return false;
    OnLinkClicked();
    return true;
}

// The static draws its text; the focus rectangle goes over it. A dotted line of its own rather
// than DrawFocusRect's inversion: a repaint of part of the control then cannot invert it away.
LRESULT LinkLabel::OnPaint(WPARAM wParam, LPARAM lParam) {
    const LRESULT result = Default(WM_PAINT, wParam, lParam);
    const bool cuesHidden = (::SendMessageW(Handle(), WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) != 0;
    if (::GetFocus() != Handle() || cuesHidden)
        return result;
    WindowDc dc(Handle());
    LOGBRUSH colour{BS_SOLID, ::GetSysColor(COLOR_BTNTEXT), 0};
    UniqueGdiObject pen(::ExtCreatePen(PS_COSMETIC | PS_ALTERNATE, 1, &colour, 0, nullptr));
    if (!dc || !pen)
        return result;
    RECT client{};
    ::GetClientRect(Handle(), &client);
    SelectedObject selectedPen(dc.get(), pen.get());
    SelectedObject hollow(dc.get(), ::GetStockObject(NULL_BRUSH));
    ::Rectangle(dc.get(), client.left, client.top, client.right, client.bottom);
    return result;
}

// A font from outside (the dialog's, rescaled for another resolution): the link fonts are made
// from it anew, the one the state calls for is applied, and the control fits the text again.
LRESULT LinkLabel::OnSetFont(WPARAM wParam, LPARAM lParam) {
    if (IsOwnFont(wParam) || !wParam || releasing_)
        return Default(WM_SETFONT, wParam, lParam);
    templateFont_ = reinterpret_cast<HFONT>(wParam);
    const LRESULT result = Default(WM_SETFONT, wParam, FALSE);
    CreateFonts();
    ApplyFont(FontForState(underlineMode_, hovering_));
    FitToText();
    return result;
}

bool LinkLabel::IsOwnFont(WPARAM font) const {
    const auto handle = reinterpret_cast<HGDIOBJ>(font);
    return handle && (handle == plainFont_.get() || handle == underlinedFont_.get());
}

// The system has moved and sized the control in proportion; its text does not grow quite in
// proportion, so the control is fitted again, and the tooltip follows it.
void LinkLabel::OnResolutionChanged() {
    FitToText();
}

bool LinkLabel::OnReflectedMessage(UINT message, WPARAM wParam, LPARAM, LRESULT* result) {
    if (message == WM_CTLCOLORSTATIC) {
        *result = reinterpret_cast<LRESULT>(CtlColor(reinterpret_cast<HDC>(wParam)));
        return true;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == STN_CLICKED) {
        OnLinkClicked();
        *result = 0;
        return true;
    }
    return false;
}

bool LinkLabel::PreTranslateMessage(MSG& msg) {
    tip_.RelayEvent(msg);
    return false;
}

HBRUSH LinkLabel::CtlColor(HDC dc) const {
    ::SetTextColor(dc, LinkTextColour(colours_, hovering_, visited_));
    ::SetBkMode(dc, TRANSPARENT);
    return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
}

void LinkLabel::OnMouseMove() {
    if (hovering_)
        return;
    hovering_ = true;
    ApplyFont(FontOnPointerEnter(underlineMode_));
    ::InvalidateRect(Handle(), nullptr, TRUE);
    ::SetTimer(Handle(), kHoverTimerId, kHoverPeriodMs, nullptr);
}

// The pointer has no leave message here that a static control would get reliably: the timer
// looks where it is until it has gone.
void LinkLabel::OnTimer() {
    const DWORD position = ::GetMessagePos();
    POINT pointer{GET_X_LPARAM(position), GET_Y_LPARAM(position)};
    ::ScreenToClient(Handle(), &pointer);
    RECT client{};
    ::GetClientRect(Handle(), &client);
    if (::PtInRect(&client, pointer))
        return;
    hovering_ = false;
    ::KillTimer(Handle(), kHoverTimerId);
    ApplyFont(FontOnPointerLeave(underlineMode_));
    client.bottom += ScaleToDpi(kLeaveRedrawExtra, DpiForWindow(Handle()));
    ::InvalidateRect(Handle(), &client, TRUE);
}

bool LinkLabel::OnSetCursor() {
    if (!handCursor_)
        return false;
    ::SetCursor(handCursor_.get());
    return true;
}

void LinkLabel::OnEraseBackground(HDC dc) {
    RECT client{};
    ::GetClientRect(Handle(), &client);
    ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_BTNFACE));
}

void LinkLabel::OnLinkClicked() {
    hovering_ = false;
    const INT_PTR result = OpenLink(url_, SW_SHOW);
    // A failed click forgets an earlier success too; the colour follows at the next redraw.
    visited_ = result > 32;
    if (visited_) {
        SetVisitedState(true);
        return;
    }
    Beep();
    ShowOpenError(result);
}

// The object may go before its control (a dialog destroyed later): the control gets back the
// font it came with, since ours are deleted with this object.
void LinkLabel::ReleaseWindow() {
    HWND hwnd = Handle();
    if (!hwnd || !::IsWindow(hwnd))
        return;
    ::KillTimer(hwnd, kHoverTimerId);
    releasing_ = true;
    ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(templateFont_), FALSE);
    tip_.Destroy();
}

} // namespace dp

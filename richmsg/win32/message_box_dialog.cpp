#include "richmsg/win32/message_box_dialog.h"

#include "framework/win32/dpi.h"
#include "richmsg/win32/message_box_background.h"

#include <algorithm>
#include <array>

namespace dp {
namespace {

constexpr UINT_PTR kCountdownTimer = 1;
constexpr UINT kCountdownIntervalMs = 1000;
// Sent by the renderers when the hovered link changes; the box repaints at once.
constexpr UINT kRepaintMessage = 0x8064;
constexpr DWORD kPushButtonStyle = 0x50010000;    // child, visible, tab stop
constexpr DWORD kDefaultButtonStyle = 0x50010001; // ... default push button
constexpr DWORD kCheckboxStyle = 0x50010003;      // ... auto check box
constexpr DWORD kCheckboxLabelStyle = WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOTIFY;
constexpr int kMaxOwnerTitle = 260;

richbox::TextRef RefOf(const wchar_t* field) {
    if (!field)
        return {};
    if (IS_INTRESOURCE(field))
        return richbox::TextRef::Id(static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(field)));
    return richbox::TextRef::Text(field);
}

std::wstring WindowText(HWND hwnd) {
    std::wstring text(kMaxOwnerTitle + 1, L'\0');
    const int length = ::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(std::max(0, length)));
    return text;
}

richbox::Size TextSize(HDC dc, const std::wstring& text) {
    SIZE size{};
    if (!text.empty())
        ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return {size.cx, size.cy};
}

richbox::Size ToSize(SIZE size) {
    return {size.cx, size.cy};
}

richbox::Box ToBox(const RECT& rect) {
    return {rect.left, rect.top, rect.right, rect.bottom};
}

RECT ToRect(const richbox::Box& box) {
    return {box.left, box.top, box.right, box.bottom};
}

RECT WorkAreaNear(HWND hwnd) {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    HMONITOR monitor = ::MonitorFromWindow(hwnd, MONITOR_DEFAULTTOPRIMARY);
    if (monitor && ::GetMonitorInfoW(monitor, &info))
        return info.rcWork;
    return {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
}

const wchar_t* SystemIcon(richbox::BoxIcon icon) {
    switch (icon) {
    case richbox::BoxIcon::Hand:
        return IDI_HAND;
    case richbox::BoxIcon::Question:
        return IDI_QUESTION;
    case richbox::BoxIcon::Exclamation:
        return IDI_EXCLAMATION;
    case richbox::BoxIcon::Asterisk:
        return IDI_ASTERISK;
    default:
        return nullptr;
    }
}

void FocusControl(HWND dialog, HWND control) {
    ::SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
}

// The box lays itself out for a new resolution (WM_DPICHANGED); the dialog manager's own
// rescaling (Windows 10 1703 and later), which would scale the controls and send them the
// dialog's font, is switched off where the system has it.
void LeaveRescalingToTheBox(HWND dialog) {
    using SetDialogDpiChangeBehaviorFn = BOOL(WINAPI*)(HWND, int, int);
    constexpr int kDisableAll = 1; // DDC_DISABLE_ALL
    const auto set = BindEntry<SetDialogDpiChangeBehaviorFn>(::GetModuleHandleW(L"user32.dll"),
                                                             "SetDialogDpiChangeBehavior");
    if (set)
        set(dialog, kDisableAll, kDisableAll);
}

void MoveControl(HWND control, const richbox::Box& box) {
    ::SetWindowPos(control, nullptr, box.left, box.top, box.Width(), box.Height(),
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

std::wstring ModuleStrings::Load(unsigned id) {
    std::wstring text(richbox::kMaxResourceText + 1, L'\0');
    HMODULE module = module_ ? module_ : ::GetModuleHandleW(nullptr);
    const int length = ::LoadStringW(module, id, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(std::max(0, length)));
    return text;
}

MessageBoxDialog::MessageBoxDialog(const DLGTEMPLATE* dialogTemplate,
                                   const RichMessageBoxParams& params)
    : Dialog(dialogTemplate, params.parentWindow), params_(params),
      strings_(params.resourceModule) {
    if (params_.buttonLabels)
        for (const auto& [id, label] : *params_.buttonLabels)
            labelOverrides_[id] = RefOf(label);
    text_.strings = &strings_;
    text_.resourcesAllowed = (params_.style & RMB_NORESOURCE) == 0;
    text_.overrides = &labelOverrides_;
}

INT_PTR MessageBoxDialog::Run() {
    Prepare();
    const INT_PTR result = DoModal();
    // A box that could not be shown reads as cancelled, never as a set check-box bit.
    return result <= 0 ? IDCANCEL : result;
}

std::wstring MessageBoxDialog::Text(const wchar_t* field) const {
    return richbox::ResolveText(text_, RefOf(field));
}

void MessageBoxDialog::Prepare() {
    HWND owner = params_.parentWindow;
    caption_ = richbox::ChooseCaption(Text(params_.caption), owner ? WindowText(owner) : L"");
    header_ = Text(params_.headerText);
    message_ = Text(params_.messageText);
    footer_ = Text(params_.footerText);
    // Centred over its owner, the box appears on the owner's monitor.
    dpi_ = DpiForWindow(owner);
    font_ = CreateBoxFont();
    icon_ = LoadBoxIcon();

    const std::wstring customButtons = Text(params_.customButtons);
    plan_ =
        richbox::PlanButtons({params_.style, customButtons,
                              params_.reportMessage != 0 && owner != nullptr, !footer_.empty()});
    for (const richbox::PlannedButton& button : plan_.buttons)
        labels_.push_back(button.customLabel.empty() ? richbox::ResolveLabel(text_, button.id)
                                                     : button.customLabel);
    richbox::CountdownSetup countdown;
    countdown.timeoutSeconds = params_.timeoutSeconds;
    countdown.disabledSeconds = params_.disabledSeconds;
    countdown.inCaption = params_.countdownInCaption != 0;
    countdown.cancellable = plan_.cancellable;
    for (const richbox::PlannedButton& button : plan_.buttons)
        countdown.buttons.push_back(button.id);
    countdown.defaultIndex = plan_.defaultIndex;
    countdown.caption = caption_;
    if (!labels_.empty())
        countdown.defaultLabel = labels_[static_cast<std::size_t>(plan_.defaultIndex)];
    countdown.captionFormat = richbox::ResolveLabel(text_, richbox::kCaptionCountdownLabel);
    countdown_.emplace(std::move(countdown));
}

UniqueGdiObject MessageBoxDialog::CreateBoxFont() const {
    UniqueGdiObject font;
    LOGFONTW description{};
    if (MessageFontForDpi(dpi_, description))
        font.reset(::CreateFontIndirectW(&description));
    if (!font) // a font of our own all the same, so that the box always owns what it selects
        font.reset(::CreateFontW(FontHeightForPoints(8, dpi_), 0, 0, 0, FW_NORMAL, 0, 0, 0,
                                 DEFAULT_CHARSET, 0, 0, 0, 0, L"MS Shell Dlg"));
    return font;
}

UniqueIcon MessageBoxDialog::LoadBoxIcon() const {
    const richbox::BoxIcon choice = richbox::IconForStyle(params_.style);
    if (choice == richbox::BoxIcon::User) {
        HMODULE module = params_.iconModule ? params_.iconModule : ::GetModuleHandleW(nullptr);
        return params_.customIcon ? LoadIconForDpi(module, params_.customIcon, dpi_) : UniqueIcon();
    }
    if (const wchar_t* system = SystemIcon(choice))
        return LoadIconForDpi(nullptr, system, dpi_);
    return UniqueIcon();
}

bool MessageBoxDialog::OnInitDialog() {
    LeaveRescalingToTheBox(Handle());
    for (HtmlDrawer* drawer : {&headerHtml_, &messageHtml_, &footerHtml_}) {
        drawer->Attach(Handle(), kRepaintMessage, 0);
        drawer->SetDpi(dpi_);
    }
    CreateControls();
    ApplyCountdown();
    PlaceWindow();
    if (params_.style & richbox::kStyleTopmost)
        ::SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    if (params_.style & richbox::kStyleSetForeground)
        ::SetForegroundWindow(Handle());
    if (countdown_->Running())
        ::SetTimer(Handle(), kCountdownTimer, kCountdownIntervalMs, nullptr);
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        const std::size_t index =
            (static_cast<std::size_t>(plan_.defaultIndex) + i) % buttons_.size();
        if (::IsWindowEnabled(buttons_[index].hwnd)) {
            FocusControl(Handle(), buttons_[index].hwnd);
            break;
        }
    }
    return false;
}

void MessageBoxDialog::CreateControls() {
    WindowDc dc(Handle());
    SelectedObject font(dc.get(), font_.get());
    layout_ = richbox::LayOutBox(Measure(dc.get()));
    for (std::size_t i = 0; i < plan_.buttons.size(); ++i)
        buttons_.push_back({plan_.buttons[i].id, CreateButton(i)});
    if (params_.style & RMB_CHECKBOX)
        CreateCheckbox();
}

richbox::LayoutInput MessageBoxDialog::Measure(HDC dc) {
    richbox::LayoutInput in;
    in.dpi = dpi_;
    const RECT work = WorkAreaNear(params_.parentWindow ? params_.parentWindow : Handle());
    const int maxWidth = richbox::MaxTextWidth(work.right - work.left, dpi_);
    hasHeader_ = params_.headerHeight > 0;
    if (hasHeader_) {
        in.headerMinHeight = params_.headerHeight;
        in.headerText = ToSize(headerHtml_.Measure(dc, header_, maxWidth));
        if (HasSeparator(params_.headerBand))
            in.headerCaptionWidth = TextSize(dc, Text(params_.headerBand.separatorCaption)).width;
    }
    // The cell's width is read as 96-dpi pixels, like every length of the message.
    const std::wstring message = richbox::WrapMessage(
        message_, (params_.style & richbox::kStyleRight) != 0,
        reinterpret_cast<std::uintptr_t>(icon_.get()), ScaleFromDpi(IconSizeForDpi(dpi_).cx, dpi_));
    in.messageText = ToSize(messageHtml_.Measure(dc, message, maxWidth));
    hasFooter_ = in.footer = !footer_.empty();
    if (hasFooter_)
        in.footerText = ToSize(footerHtml_.Measure(dc, footer_, maxWidth));
    const bool buttonSeparator = HasSeparator(params_.buttonBand);
    in.buttonBand = buttonSeparator || params_.buttonBand.effect >= 0;
    if (buttonSeparator)
        in.buttonCaptionWidth = TextSize(dc, Text(params_.buttonBand.separatorCaption)).width;
    in.checkbox = (params_.style & RMB_CHECKBOX) != 0;
    in.checkboxBelow = (params_.style & RMB_CHECKBOX_BELOW) != 0;
    if (in.checkbox)
        in.checkboxLabel = TextSize(dc, richbox::CheckboxLabel(text_, RefOf(params_.checkboxText)));
    for (std::size_t i = 0; i < plan_.buttons.size(); ++i) {
        richbox::Size label = TextSize(dc, labels_[i]);
        if (plan_.buttons[i].id == richbox::kMore) {
            const richbox::Size less = TextSize(dc, richbox::ResolveLabel(text_, richbox::kLess));
            label = {std::max(label.width, less.width), std::max(label.height, less.height)};
        }
        in.buttonLabels.push_back(label);
    }
    in.buttonAlign = richbox::AlignFromInt(params_.buttonAlign);
    const SIZE frame =
        NonClientSizeForDpi(static_cast<DWORD>(::GetWindowLongW(Handle(), GWL_STYLE)),
                            static_cast<DWORD>(::GetWindowLongW(Handle(), GWL_EXSTYLE)), dpi_);
    in.nonClient = {frame.cx, frame.cy};
    in.maxWindowWidth = work.right - work.left;
    return in;
}

HWND MessageBoxDialog::CreateButton(std::size_t index) {
    const bool isDefault = static_cast<int>(index) == plan_.defaultIndex;
    DWORD style =
        isDefault && countdown_->DefaultLooksDefault() ? kDefaultButtonStyle : kPushButtonStyle;
    if (!countdown_->ButtonEnabled(static_cast<int>(index)))
        style |= WS_DISABLED;
    const richbox::Point at = layout_.buttons[index];
    HWND button =
        ::CreateWindowExW(0, L"BUTTON", labels_[index].c_str(), style, at.x, at.y,
                          layout_.button.width, layout_.button.height, Handle(),
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(plan_.buttons[index].id)),
                          ::GetModuleHandleW(nullptr), nullptr);
    ::SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    return button;
}

// The check box and its label have ID 0: their clicks reach WM_COMMAND as ID 0, which the box
// ignores.
void MessageBoxDialog::CreateCheckbox() {
    const std::wstring label = richbox::CheckboxLabel(text_, RefOf(params_.checkboxText));
    const richbox::Box box = layout_.checkbox;
    const richbox::Box text = layout_.checkboxLabel;
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    checkbox_ = ::CreateWindowExW(0, L"BUTTON", L"", kCheckboxStyle, box.left, box.top, box.Width(),
                                  box.Height(), Handle(), nullptr, instance, nullptr);
    checkboxLabel_ =
        ::CreateWindowExW(0, L"STATIC", label.c_str(), kCheckboxLabelStyle, text.left, text.top,
                          text.Width(), text.Height(), Handle(), nullptr, instance, nullptr);
    ::SendMessageW(checkboxLabel_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    if (params_.style & RMB_CHECKBOX_CHECKED)
        ::SendMessageW(checkbox_, BM_SETCHECK, BST_CHECKED, 0);
}

void MessageBoxDialog::PlaceWindow() {
    HWND owner = params_.parentWindow;
    RECT over{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    if (owner)
        ::GetWindowRect(owner, &over);
    const richbox::Point at = richbox::CentreWindow(ToBox(over), layout_.window,
                                                    ToBox(WorkAreaNear(owner ? owner : Handle())));
    ::SetWindowPos(Handle(), nullptr, at.x, at.y, layout_.window.width, layout_.window.height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

// Everything the countdown decides: the title, the default button's label, which buttons are
// enabled, the dialog's default button (none while it waits), and the Close item.
void MessageBoxDialog::ApplyCountdown() {
    ::SetWindowTextW(Handle(), countdown_->Title().c_str());
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        ::EnableWindow(buttons_[i].hwnd, countdown_->ButtonEnabled(static_cast<int>(i)));
        if (static_cast<int>(i) == plan_.defaultIndex)
            ::SetWindowTextW(buttons_[i].hwnd, countdown_->DefaultLabel().c_str());
    }
    if (const int id = countdown_->DefaultId(); id && countdown_->DefaultLooksDefault())
        ::SendMessageW(Handle(), DM_SETDEFID, static_cast<WPARAM>(id), 0);
    SetCloseItem(countdown_->CloseEnabled());
}

void MessageBoxDialog::SetCloseItem(bool enabled) {
    ::EnableMenuItem(::GetSystemMenu(Handle(), FALSE), SC_CLOSE,
                     MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

bool MessageBoxDialog::OnCommand(int id, int code, HWND control) {
    if (code != BN_CLICKED)
        return false;
    OnButton(id, control);
    return true;
}

void MessageBoxDialog::OnButton(int id, HWND control) {
    if (control && control == checkboxLabel_) {
        ::SendMessageW(checkbox_, BM_CLICK, 0, 0);
        return;
    }
    if (!countdown_->AcceptsCommand(id))
        return;
    switch (id) {
    case richbox::kHelp:
        OpenHelp();
        return;
    case richbox::kReport:
        if (params_.parentWindow && params_.reportMessage)
            ::SendMessageW(params_.parentWindow, params_.reportMessage, 0, 0);
        return;
    case richbox::kMore:
    case richbox::kLess:
        if (hasFooter_)
            ToggleFooter();
        return;
    default:
        ::KillTimer(Handle(), kCountdownTimer);
        EndDialog(richbox::ResultCode(id, IsChecked()));
    }
}

bool MessageBoxDialog::IsChecked() const {
    return checkbox_ && ::SendMessageW(checkbox_, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void MessageBoxDialog::OnTimer() {
    const richbox::TickResult tick = countdown_->Tick();
    if (!countdown_->Running())
        ::KillTimer(Handle(), kCountdownTimer);
    switch (tick) {
    case richbox::TickResult::Nothing:
        return;
    case richbox::TickResult::Updated:
        ::SetWindowTextW(Handle(), countdown_->Title().c_str());
        if (!buttons_.empty())
            ::SetWindowTextW(buttons_[static_cast<std::size_t>(plan_.defaultIndex)].hwnd,
                             countdown_->DefaultLabel().c_str());
        return;
    case richbox::TickResult::Finished: {
        ApplyCountdown();
        HWND focus = ::GetFocus();
        if (!buttons_.empty() &&
            (!focus || !::IsChild(Handle(), focus) || !::IsWindowEnabled(focus)))
            FocusControl(Handle(), buttons_[static_cast<std::size_t>(plan_.defaultIndex)].hwnd);
        return;
    }
    case richbox::TickResult::PressDefault: {
        ApplyCountdown();
        const int id = countdown_->TimeoutCommand();
        ::SendMessageW(Handle(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(Handle(), id)));
        return;
    }
    }
}

void MessageBoxDialog::ToggleFooter() {
    footerShown_ = !footerShown_;
    RECT window{};
    ::GetWindowRect(Handle(), &window);
    const int height =
        window.bottom - window.top + (footerShown_ ? layout_.footerHeight : -layout_.footerHeight);
    ::SetWindowPos(Handle(), nullptr, 0, 0, window.right - window.left, height,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    const auto more = std::find_if(buttons_.begin(), buttons_.end(),
                                   [](const ButtonWindow& b) { return b.id == richbox::kMore; });
    if (more != buttons_.end())
        ::SetWindowTextW(
            more->hwnd,
            richbox::ResolveLabel(text_, footerShown_ ? richbox::kLess : richbox::kMore).c_str());
}

void MessageBoxDialog::OpenHelp() {
    std::array<wchar_t, MAX_PATH> path{};
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    const std::wstring help = richbox::HelpFilePath({path.data(), length});
    const DWORD context = params_.helpContext;
    ::WinHelpW(Handle(), help.c_str(), context ? HELP_CONTEXT : HELP_FINDER, context);
}

bool MessageBoxDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
    switch (message) {
    case WM_PAINT:
        OnPaint();
        return true;
    case kRepaintMessage:
        RepaintTexts();
        return true;
    case WM_ERASEBKGND: // the paint covers everything
        ::SetWindowLongPtrW(Handle(), DWLP_MSGRESULT, TRUE);
        *result = TRUE;
        return true;
    case WM_CTLCOLORSTATIC:
        ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        *result = reinterpret_cast<INT_PTR>(::GetStockObject(NULL_BRUSH));
        return true;
    case WM_SETCURSOR:
        if (!OnSetCursor(wParam, lParam))
            return false;
        ::SetWindowLongPtrW(Handle(), DWLP_MSGRESULT, TRUE);
        *result = TRUE;
        return true;
    case WM_LBUTTONDOWN:
        OnClick(lParam);
        return true;
    case WM_TIMER:
        if (wParam != kCountdownTimer)
            return false;
        OnTimer();
        return true;
    case WM_DPICHANGED: {
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        if (suggested)
            OnDpiChanged(LOWORD(wParam), *suggested);
        ::SetWindowLongPtrW(Handle(), DWLP_MSGRESULT, 0);
        *result = TRUE;
        return true;
    }
    case WM_DESTROY:
        OnDestroy();
        return false;
    default:
        return false;
    }
}

// Moved to a monitor of another scaling: the box lays itself out anew at the new resolution
// (fonts, icon, margins, buttons) and takes the suggested place at its new size. The old font
// and icon stay alive until nothing uses them any more.
void MessageBoxDialog::OnDpiChanged(int dpi, const RECT& suggested) {
    dpi = SaneDpi(dpi);
    if (dpi == dpi_)
        return;
    dpi_ = dpi;
    UniqueGdiObject oldFont = std::move(font_);
    UniqueIcon oldIcon = std::move(icon_);
    font_ = CreateBoxFont();
    icon_ = LoadBoxIcon();
    for (HtmlDrawer* drawer : {&headerHtml_, &messageHtml_, &footerHtml_})
        drawer->SetDpi(dpi_);
    {
        WindowDc dc(Handle());
        SelectedObject font(dc.get(), font_.get());
        layout_ = richbox::LayOutBox(Measure(dc.get()));
    }
    ApplyLayout();
    const int height = layout_.window.height + (footerShown_ ? layout_.footerHeight : 0);
    const DpiRect place =
        RectForNewLayout({suggested.left, suggested.top, suggested.right, suggested.bottom},
                         layout_.window.width, height);
    ::SetWindowPos(Handle(), nullptr, place.left, place.top, place.Width(), place.Height(),
                   SWP_NOZORDER | SWP_NOACTIVATE);
    ::InvalidateRect(Handle(), nullptr, TRUE);
}

// The controls where the layout puts them, in the box's font.
void MessageBoxDialog::ApplyLayout() {
    background_.reset();
    const auto font = reinterpret_cast<WPARAM>(font_.get());
    for (std::size_t i = 0; i < buttons_.size() && i < layout_.buttons.size(); ++i) {
        const richbox::Point at = layout_.buttons[i];
        MoveControl(buttons_[i].hwnd,
                    {at.x, at.y, at.x + layout_.button.width, at.y + layout_.button.height});
        ::SendMessageW(buttons_[i].hwnd, WM_SETFONT, font, TRUE);
    }
    if (checkbox_)
        MoveControl(checkbox_, layout_.checkbox);
    if (checkboxLabel_) {
        MoveControl(checkboxLabel_, layout_.checkboxLabel);
        ::SendMessageW(checkboxLabel_, WM_SETFONT, font, TRUE);
    }
}

void MessageBoxDialog::OnPaint() {
    PaintDc paint(Handle());
    RECT client{};
    ::GetClientRect(Handle(), &client);
    Compose(paint.get(), client.right, client.bottom);
}

// Everything is drawn into a bitmap first and reaches the window with one BitBlt.
void MessageBoxDialog::Compose(HDC target, int width, int height) {
    UniqueMemDc frameDc(::CreateCompatibleDC(target));
    UniqueGdiObject frame(
        ::CreateCompatibleBitmap(target, std::max(1, width), std::max(1, height)));
    if (!frameDc || !frame)
        return;
    SelectedObject selected(frameDc.get(), frame.get());
    DrawCachedBackground(frameDc.get(), width, height);
    if (hasHeader_)
        headerHtml_.Draw(frameDc.get(), ToRect(layout_.HeaderText()));
    messageHtml_.Draw(frameDc.get(), ToRect(layout_.MessageText()));
    if (footerShown_)
        footerHtml_.Draw(frameDc.get(), ToRect(layout_.FooterText()));
    ::BitBlt(target, 0, 0, width, height, frameDc.get(), 0, 0, SRCCOPY);
}

// The bands do not change while the box is up: drawn once, footer included, then copied.
void MessageBoxDialog::DrawCachedBackground(HDC dc, int width, int height) {
    const int fullHeight = layout_.client.height + layout_.footerHeight;
    if (!background_) {
        UniqueGdiObject bitmap(::CreateCompatibleBitmap(dc, std::max(1, layout_.client.width),
                                                        std::max(1, fullHeight)));
        UniqueMemDc cacheDc(::CreateCompatibleDC(dc));
        if (!bitmap || !cacheDc)
            return;
        SelectedObject selected(cacheDc.get(), bitmap.get());
        std::array<BandPaint, 3> bands;
        int count = 0;
        if (hasHeader_)
            bands[count++] = {&params_.headerBand, Text(params_.headerBand.separatorCaption), 0,
                              layout_.headerHeight, layout_.headerHeight};
        bands[count++] = {&params_.buttonBand, Text(params_.buttonBand.separatorCaption),
                          layout_.ButtonAreaTop(), layout_.client.height, layout_.ButtonAreaTop()};
        if (hasFooter_)
            bands[count++] = {&params_.footerBand, Text(params_.footerBand.separatorCaption),
                              layout_.FooterTop(), fullHeight, layout_.FooterTop()};
        DrawBoxBackground(cacheDc.get(), {0, 0, layout_.client.width, fullHeight},
                          params_.dialogBand, bands.data(), count, static_cast<HFONT>(font_.get()),
                          layout_.metrics.captionGap);
        background_ = std::move(bitmap);
    }
    UniqueMemDc cacheDc(::CreateCompatibleDC(dc));
    if (!cacheDc)
        return;
    SelectedObject selected(cacheDc.get(), background_.get());
    ::BitBlt(dc, 0, 0, width, height, cacheDc.get(), 0, 0, SRCCOPY);
}

// The renderers set the hand cursor over their links; the header is asked first.
bool MessageBoxDialog::OnSetCursor(WPARAM wParam, LPARAM lParam) {
    if (reinterpret_cast<HWND>(wParam) != Handle() || LOWORD(lParam) != HTCLIENT)
        return false;
    POINT point{};
    ::GetCursorPos(&point);
    ::ScreenToClient(Handle(), &point);
    bool overLink = false;
    for (HtmlDrawer* drawer : {&headerHtml_, &messageHtml_, &footerHtml_})
        overLink = drawer->HitTestCursor(point) || overLink;
    return overLink;
}

void MessageBoxDialog::OnClick(LPARAM lParam) {
    const POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    for (HtmlDrawer* drawer : {&headerHtml_, &messageHtml_, &footerHtml_})
        drawer->Click(point);
}

// The texts lie outside every control, so the controls need no repainting.
void MessageBoxDialog::RepaintTexts() {
    for (const richbox::Box& box :
         {layout_.HeaderText(), layout_.MessageText(), layout_.FooterText()}) {
        const RECT rect = ToRect(box);
        ::InvalidateRect(Handle(), &rect, FALSE);
    }
    ::UpdateWindow(Handle());
}

void MessageBoxDialog::OnDestroy() {
    ::KillTimer(Handle(), kCountdownTimer);
    for (const ButtonWindow& button : buttons_)
        ::DestroyWindow(button.hwnd);
    buttons_.clear();
    for (HWND* window : {&checkbox_, &checkboxLabel_}) {
        if (*window)
            ::DestroyWindow(*window);
        *window = nullptr;
    }
}

} // namespace dp

#include "saver/win32/saver_wnd.h"

#include <chrono>
#include <optional>
#include <utility>

#include "framework/win32/handles.h"
#include "framework/win32/registry.h"
#include "saver/close_sequence.h"
#include "saver/virtual_screen.h"
#include "saver/win32/resume_protection.h"

namespace dp {

namespace {

// What OpenInputDesktop asks for while waiting for the lock screen: the desktop rights that a
// locked (secure) desktop refuses to an ordinary process.
constexpr ACCESS_MASK kInputDesktopAccess = 0x400001CF;

// The close thread's platform: the dimmer, the workstation lock and the window's queue.
class ClosePlatform final : public CloseSequencePlatform {
public:
    ClosePlatform(DimmerWnd& dimmer, HWND window, const std::function<bool()>& lock)
        : dimmer_(dimmer), window_(window), lock_(lock) {}

    void StopDimmer() override { dimmer_.StopWorkers(); }
    bool LockWorkStation() override { return lock_ ? lock_() : RequestWorkstationLock(); }
    bool InputDesktopOpens() override {
        UniqueDesktop desktop(::OpenInputDesktop(0, FALSE, kInputDesktopAccess));
        return static_cast<bool>(desktop);
    }
    std::chrono::milliseconds Now() override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
    }
    void Pause(std::chrono::milliseconds duration) override {
        ::Sleep(static_cast<DWORD>(duration.count()));
    }
    void PostCloseMessage() override { ::PostMessageW(window_, WM_CLOSE, 0, 0); }

private:
    DimmerWnd& dimmer_;
    HWND window_;
    const std::function<bool()>& lock_;
};

SaverMessage Classify(UINT message) {
    switch (message) {
    case WM_MOUSEMOVE:
        return SaverMessage::MouseMove;
    case WM_LBUTTONDOWN:
        return SaverMessage::LeftButtonDown;
    case WM_MBUTTONDOWN:
        return SaverMessage::MiddleButtonDown;
    case WM_RBUTTONDOWN:
        return SaverMessage::RightButtonDown;
    case WM_KEYDOWN:
        return SaverMessage::KeyDown;
    case WM_SYSKEYDOWN:
        return SaverMessage::SysKeyDown;
    case WM_KEYUP:
        return SaverMessage::KeyUp;
    case WM_SYSKEYUP:
        return SaverMessage::SysKeyUp;
    case WM_ACTIVATE:
        return SaverMessage::Activate;
    case WM_ACTIVATEAPP:
        return SaverMessage::ActivateApp;
    case WM_NCACTIVATE:
        return SaverMessage::NcActivate;
    case WM_SYSCOMMAND:
        return SaverMessage::SysCommand;
    case WM_SETCURSOR:
        return SaverMessage::SetCursor;
    default:
        return SaverMessage::Other;
    }
}

std::optional<ScreenPoint> CursorPosition() {
    POINT point{};
    if (!::GetCursorPos(&point))
        return std::nullopt; // e.g. while another desktop has the input
    return ScreenPoint{point.x, point.y};
}

// A value of the system's screen-saver settings as the system keeps it: four bytes.
std::optional<DWORD> ReadFourBytes(HKEY key, const wchar_t* name) {
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (::RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

} // namespace

SaverWnd::SaverWnd(SaverWndSettings settings)
    : DimmerWnd(true, std::move(settings.dimmer)), settings_(std::move(settings)) {}

SaverWnd::~SaverWnd() {
    ::ClipCursor(nullptr);
    JoinCloseThread();
}

bool SaverWnd::CreateFullScreen() {
    const ScreenMetrics metrics{
        ::GetSystemMetrics(SM_XVIRTUALSCREEN),  ::GetSystemMetrics(SM_YVIRTUALSCREEN),
        ::GetSystemMetrics(SM_CXVIRTUALSCREEN), ::GetSystemMetrics(SM_CYVIRTUALSCREEN),
        ::GetSystemMetrics(SM_CXSCREEN),        ::GetSystemMetrics(SM_CYSCREEN),
    };
    const ScreenRect area = SaverWindowRect(metrics);
    const RECT rect{area.left, area.top, area.right, area.bottom};
    return CreateDimmer(WS_EX_TOPMOST, settings_.windowName.c_str(), WS_POPUP | WS_VISIBLE, rect,
                        nullptr, 0);
}

LRESULT SaverWnd::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return OnCreate(wParam, lParam);
    case WM_DESTROY:
        OnDestroy();
        return DimmerWnd::OnMessage(message, wParam, lParam);
    case WM_CLOSE:
        return OnClose(wParam, lParam);
    case WM_TIMER:
        OnTimer(wParam);
        return DimmerWnd::OnMessage(message, wParam, lParam);
    default:
        break;
    }
    const SaverMessageFacts facts = FactsFor(message, wParam);
    if (facts.message == SaverMessage::Other)
        return DimmerWnd::OnMessage(message, wParam, lParam);
    return CarryOut(DecideInHandler(facts), message, wParam, lParam);
}

bool SaverWnd::PreTranslateMessage(MSG& msg) {
    if (msg.hwnd != Handle())
        return false;
    const SaverMessageFacts facts = FactsFor(msg.message, msg.wParam);
    if (facts.message == SaverMessage::Other)
        return false;
    const MessageDecision decision = DecideBeforeDispatch(facts);
    if (decision.disposition != MessageDisposition::Handled)
        return false;
    if (decision.rearmInputPoll)
        poll_.ArmAfterHandledInput(::GetTickCount());
    if (decision.removeRepeatedRelease) {
        MSG repeated;
        ::PeekMessageW(&repeated, Handle(), msg.message, msg.message, PM_REMOVE);
    }
    if (decision.beginClose)
        BeginClose();
    return true;
}

LRESULT SaverWnd::CarryOut(const MessageDecision& decision, UINT message, WPARAM wParam,
                           LPARAM lParam) {
    if (decision.rearmInputPoll)
        poll_.ArmAfterHandledInput(::GetTickCount());
    if (decision.beginClose)
        BeginClose();
    switch (decision.disposition) {
    case MessageDisposition::Handled:
        return 0;
    case MessageDisposition::KeepFrameActive:
        return FALSE;
    case MessageDisposition::ArrowCursor:
        ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
        return TRUE;
    case MessageDisposition::NoCursor:
        ::SetCursor(nullptr);
        return TRUE;
    case MessageDisposition::PassOn:
    case MessageDisposition::DefaultProcessing:
        break;
    }
    return DimmerWnd::OnMessage(message, wParam, lParam);
}

SaverMessageFacts SaverWnd::FactsFor(UINT message, WPARAM wParam) {
    SaverMessageFacts facts;
    facts.message = Classify(message);
    facts.verifying = protocol_.Verifying();
    switch (facts.message) {
    case SaverMessage::MouseMove:
        facts.movedBeyondThreshold = MovedBeyondThreshold();
        break;
    case SaverMessage::Activate:
        facts.deactivating = LOWORD(wParam) == WA_INACTIVE;
        break;
    case SaverMessage::ActivateApp:
    case SaverMessage::NcActivate:
        facts.deactivating = wParam == FALSE;
        break;
    case SaverMessage::SysCommand:
        facts.sysCommand = wParam;
        break;
    default:
        break;
    }
    return facts;
}

LRESULT SaverWnd::OnCreate(WPARAM wParam, LPARAM lParam) {
    if (DimmerWnd::OnMessage(WM_CREATE, wParam, lParam) == -1)
        return -1;
    ::SystemParametersInfoW(SPI_SETSCREENSAVERRUNNING, TRUE, &previousSaverRunning_, 0);
    startTick_ = ::GetTickCount();
    ReadSaverSettings();
    WatchFromHere();
    return 0;
}

// The reference for "the user came back": the cursor where it is now, and input from now on.
void SaverWnd::WatchFromHere() {
    if (const std::optional<ScreenPoint> cursor = CursorPosition())
        box_.Reset(*cursor);
    else
        box_.Forget(); // the first position read later becomes the reference
    poll_.Arm(::GetTickCount());
    ::SetTimer(Handle(), kPollTimerId, LastInputPoll::kPollIntervalMs, nullptr);
}

void SaverWnd::OnDestroy() {
    ::KillTimer(Handle(), kPollTimerId);
    ::SystemParametersInfoW(SPI_SETSCREENSAVERRUNNING, FALSE, &previousSaverRunning_, 0);
    ::PostQuitMessage(0);
    JoinCloseThread();
}

LRESULT SaverWnd::OnClose(WPARAM wParam, LPARAM lParam) {
    switch (protocol_.OnCloseMessage(startTick_, ::GetTickCount(), passwordDelay_)) {
    case CloseAction::Drop:
    case CloseAction::Stay:
    case CloseAction::AfterVerifying:
        return 0;
    case CloseAction::Close:
        return DimmerWnd::OnMessage(WM_CLOSE, wParam, lParam);
    case CloseAction::VerifyPassword:
        break;
    }
    // The check may run a message loop that dispatches another WM_CLOSE to this window; the
    // protocol keeps it for EndVerifying, so the window (and this object) outlive the check.
    const bool passed =
        settings_.verifyPassword ? settings_.verifyPassword(Handle()) : VerifyPassword(Handle());
    if (protocol_.EndVerifying(passed) == CloseAction::Close)
        return DimmerWnd::OnMessage(WM_CLOSE, wParam, lParam); // may delete this: the last act
    // Refused: the brightness is back and the station locked where asked; the next input runs
    // the close sequence, and this check, again.
    WatchFromHere();
    return 0;
}

void SaverWnd::OnTimer(WPARAM timerId) {
    if (timerId != kPollTimerId)
        return;
    LASTINPUTINFO lastInput{};
    lastInput.cbSize = sizeof(lastInput);
    if (!::GetLastInputInfo(&lastInput) || !poll_.InputArrived(lastInput.dwTime))
        return;
    ::KillTimer(Handle(), kPollTimerId);
    // Ends the saver through PreTranslateMessage, as a real key release would.
    ::PostMessageW(Handle(), WM_KEYUP, 0, 0);
}

void SaverWnd::ReadSaverSettings() {
    passwordDelay_ = 0;
    box_.SetThreshold(MouseThresholdBox::kDefaultThreshold);
    const UniqueRegKey key =
        OpenRegistryKey(HKEY_CURRENT_USER, settings_.systemSettingsKey, KEY_QUERY_VALUE);
    if (!key)
        return;
    if (std::optional<DWORD> delay = ReadFourBytes(key.get(), L"Password Delay"))
        passwordDelay_ = *delay;
    if (std::optional<DWORD> threshold = ReadFourBytes(key.get(), L"Mouse Threshold"))
        box_.SetThreshold(static_cast<std::int32_t>(*threshold));
}

bool SaverWnd::MovedBeyondThreshold() {
    const std::optional<ScreenPoint> cursor = CursorPosition();
    return cursor && box_.MovedBeyond(*cursor);
}

void SaverWnd::BeginClose() {
    protocol_.BeginClose([this] { return StartCloseThread(); });
}

bool SaverWnd::StartCloseThread() {
    // After a refused password the previous close thread has posted its WM_CLOSE: it is ending.
    JoinCloseThread();
    // Runs inside the window procedure, which nothing may unwind through: a thread that cannot
    // be started leaves the next input to try again.
    try {
        closeThread_ = std::thread(&SaverWnd::RunCloseSequence, this);
    } catch (...) {
        return false;
    }
    return true;
}

// Touches nothing of the window once WM_CLOSE is posted: the window thread may destroy the
// window, and this object with it, from then on.
void SaverWnd::RunCloseSequence() {
    ClosePlatform platform(*this, Handle(), settings_.lockWorkStation);
    CloseSequence(platform, protocol_).Run(settings_.protectOnResume);
}

// The window's destruction waits here for a close sequence still under way (it is bounded:
// the worker join, the restore and at most the lock wait), so that it never outlives the object.
void SaverWnd::JoinCloseThread() {
    if (closeThread_.joinable())
        closeThread_.join();
}

} // namespace dp

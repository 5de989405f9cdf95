// SaverWnd: the window of the running saver. A top-most pop-up over the whole virtual screen
// (shown only when the dimmer drives the backlight), it tells the system a screen saver runs,
// watches for the user's return (mouse beyond the threshold, buttons, key releases,
// deactivation, and a 100 ms poll of the system's last-input time), and then runs the close
// sequence on a thread of its own: brightness back, workstation lock, WM_CLOSE. It deletes
// itself once its window is gone and ends the message loop.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "saver/close_protocol.h"
#include "saver/last_input_poll.h"
#include "saver/mouse_threshold.h"
#include "saver/saver_messages.h"
#include "saver/win32/dimmer_wnd.h"

namespace dp {

inline constexpr wchar_t kSystemSaverSettingsKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Screen Savers";

struct SaverWndSettings {
    DimmerSettings dimmer;
    std::wstring windowName = L"Duskpanel";
    // "Enable_resume_password_protect" != 0: lock the workstation when the saver ends.
    bool protectOnResume = true;
    // Key under HKEY_CURRENT_USER holding "Password Delay" and "Mouse Threshold".
    std::wstring systemSettingsKey = kSystemSaverSettingsKey;
    // The password check before closing (VerifyPassword when empty). Window thread.
    std::function<bool(HWND)> verifyPassword;
    // The workstation lock (RequestWorkstationLock when empty). Close thread.
    std::function<bool()> lockWorkStation;
};

class SaverWnd : public DimmerWnd {
public:
    explicit SaverWnd(SaverWndSettings settings);
    ~SaverWnd() override;

    // Creates the window over the virtual screen. False when it could not be created; the
    // object then still belongs to the caller.
    bool CreateFullScreen();

    // The password delay (seconds) and mouse threshold (pixels) read at creation.
    std::uint32_t PasswordDelay() const { return passwordDelay_; }
    std::int32_t MouseThreshold() const { return box_.Threshold(); }
    bool CloseStarted() const { return protocol_.CloseStarted(); }

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool PreTranslateMessage(MSG& msg) override;

private:
    static constexpr UINT_PTR kPollTimerId = 1;

    LRESULT OnCreate(WPARAM wParam, LPARAM lParam);
    void OnDestroy();
    LRESULT OnClose(WPARAM wParam, LPARAM lParam);
    void OnTimer(WPARAM timerId);
    LRESULT CarryOut(const MessageDecision& decision, UINT message, WPARAM wParam, LPARAM lParam);

    SaverMessageFacts FactsFor(UINT message, WPARAM wParam);
    void ReadSaverSettings();
    bool MovedBeyondThreshold();
    void WatchFromHere();

    void BeginClose();
    bool StartCloseThread();
    void RunCloseSequence();
    void JoinCloseThread();

    SaverWndSettings settings_;
    SaverCloseProtocol protocol_;
    MouseThresholdBox box_;
    LastInputPoll poll_;
    std::uint32_t startTick_ = 0;
    std::uint32_t passwordDelay_ = 0;
    BOOL previousSaverRunning_ = FALSE;
    std::thread closeThread_;
};

} // namespace dp

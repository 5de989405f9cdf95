// The saver window driven by messages through a loop like the application's: which input ends
// it and which does not, the close sequence under Wine (whose LockWorkStation fails with 120 and
// whose input desktop always opens), the brightness back before WM_CLOSE, the password delay and
// a refused password, and the last-input poll while the window is hidden.
#include "saver/win32/saver_wnd.h"
#include "tests/support/saver_test_support.h"

#include <gtest/gtest.h>

#include <atomic>

namespace dp {
namespace {

using namespace std::chrono_literals;
using test::MakePanel;
using test::Pump;
using test::PumpUntilQuit;
using test::TestPanel;

constexpr wchar_t kSettingsKey[] = L"Software\\DuskpanelTests\\SaverWindow";
constexpr POINT kStart{500, 400};

// What a run looked like from outside the window object, which deletes itself.
struct Observed {
    std::atomic<int> locks{0};
    std::atomic<int> passwordChecks{0};
    int closeMessages = 0;
    // At the first WM_CLOSE: whether the brightness was back already.
    int panelClosesAtClose = -1;
    std::size_t schemeSwitchesAtClose = 0;
    // Inside the password check: what WM_SETCURSOR did.
    LRESULT setCursorWhileVerifying = 0;
    HCURSOR cursorWhileVerifying = nullptr;
    // A WM_CLOSE sent during the check: whether the window was still there when it returned.
    int aliveAfterInnerClose = -1;
};

class ObservedSaverWnd : public SaverWnd {
public:
    ObservedSaverWnd(SaverWndSettings settings, std::shared_ptr<Observed> seen,
                     std::shared_ptr<TestPanel> panel)
        : SaverWnd(std::move(settings)), seen_(std::move(seen)), panel_(std::move(panel)) {}

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_CLOSE && seen_->closeMessages++ == 0) {
            seen_->panelClosesAtClose = panel_->panel.Closes();
            seen_->schemeSwitchesAtClose = panel_->schemes.switches.size();
        }
        return SaverWnd::OnMessage(message, wParam, lParam); // may delete this
    }

private:
    std::shared_ptr<Observed> seen_;
    std::shared_ptr<TestPanel> panel_;
};

void WriteSettings(std::optional<DWORD> passwordDelay, std::optional<DWORD> mouseThreshold) {
    ::RegDeleteKeyW(HKEY_CURRENT_USER, kSettingsKey);
    if (!passwordDelay && !mouseThreshold)
        return;
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                                &key, nullptr),
              ERROR_SUCCESS);
    if (passwordDelay)
        ::RegSetValueExW(key, L"Password Delay", 0, REG_DWORD,
                         reinterpret_cast<const BYTE*>(&*passwordDelay), sizeof(DWORD));
    if (mouseThreshold)
        ::RegSetValueExW(key, L"Mouse Threshold", 0, REG_DWORD,
                         reinterpret_cast<const BYTE*>(&*mouseThreshold), sizeof(DWORD));
    ::RegCloseKey(key);
}

struct RunOptions {
    bool backlight = true;
    bool protect = false;
    bool realLock = false;
    // The stand-in lock's answer: refused (as under Wine) by default, so nothing waits.
    bool lockSucceeds = false;
    // Answers of the password check, in turn; true once they run out.
    std::vector<bool> passwordAnswers;
    // The check sends another WM_CLOSE, as a message loop run by the password library may.
    bool closeAgainWhileVerifying = false;
};

// One saver window, created as the /w mode creates it.
class SaverRun {
public:
    explicit SaverRun(const RunOptions& options = {})
        : panel_(MakePanel(options.backlight)), seen_(std::make_shared<Observed>()) {
        ::SetCursorPos(kStart.x, kStart.y);
        Pump(50ms); // let the pointer warp arrive before the window takes its reference
        SaverWndSettings settings;
        settings.dimmer = test::DimmerOn(panel_);
        settings.protectOnResume = options.protect;
        settings.systemSettingsKey = kSettingsKey;
        auto seen = seen_;
        if (!options.realLock)
            settings.lockWorkStation = [seen, succeeds = options.lockSucceeds] {
                ++seen->locks;
                return succeeds;
            };
        settings.verifyPassword = [seen, answers = options.passwordAnswers,
                                   again = options.closeAgainWhileVerifying](HWND window) {
            const std::size_t turn = static_cast<std::size_t>(seen->passwordChecks++);
            if (again) {
                ::SendMessageW(window, WM_CLOSE, 0, 0);
                seen->aliveAfterInnerClose = ::IsWindow(window) ? 1 : 0;
            }
            seen->setCursorWhileVerifying =
                ::SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window),
                               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
            seen->cursorWhileVerifying = ::GetCursor();
            return turn < answers.size() ? answers[turn] : true;
        };
        window_ = new ObservedSaverWnd(std::move(settings), seen_, panel_);
        created_ = window_->CreateFullScreen();
        if (!created_) {
            delete window_;
            window_ = nullptr;
            return;
        }
        hwnd_ = window_->Handle();
    }

    // A run a failed test left up ends here, so that it cannot disturb the next test.
    ~SaverRun() {
        if (::IsWindow(hwnd_))
            End();
    }
    SaverRun(const SaverRun&) = delete;
    SaverRun& operator=(const SaverRun&) = delete;

    bool Created() const { return created_; }
    HWND Handle() const { return hwnd_; }
    SaverWnd& Window() const { return *window_; }
    TestPanel& Panel() const { return *panel_; }
    Observed& Seen() const { return *seen_; }

    void Post(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        ::PostMessageW(Handle(), message, wParam, lParam);
    }
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageW(Handle(), message, wParam, lParam);
    }

    // The window is still up after the queue settled and no close sequence started.
    bool Stays(std::chrono::milliseconds settle = 300ms) const {
        return !Pump(settle) && ::IsWindow(Handle()) && !window_->CloseStarted();
    }
    // Ends a run that stayed, so that the next test starts clean.
    void End() const {
        Post(WM_KEYUP);
        PumpUntilQuit();
    }

private:
    std::shared_ptr<TestPanel> panel_;
    std::shared_ptr<Observed> seen_;
    SaverWnd* window_ = nullptr;
    HWND hwnd_ = nullptr;
    bool created_ = false;
};

bool SaverRunningAsTheSystemSees() {
    BOOL running = FALSE;
    ::SystemParametersInfoW(SPI_GETSCREENSAVERRUNNING, 0, &running, 0);
    return running != FALSE;
}

class SaverWindowTest : public testing::Test {
protected:
    void SetUp() override { WriteSettings(std::nullopt, std::nullopt); }
    void TearDown() override { ::RegDeleteKeyW(HKEY_CURRENT_USER, kSettingsKey); }
};

TEST_F(SaverWindowTest, CoversTheVirtualScreenTopMostAndTellsTheSystemASaverRuns) {
    SaverRun run;
    ASSERT_TRUE(run.Created());
    RECT rect{};
    ::GetWindowRect(run.Handle(), &rect);
    EXPECT_EQ(rect.left, ::GetSystemMetrics(SM_XVIRTUALSCREEN));
    EXPECT_EQ(rect.top, ::GetSystemMetrics(SM_YVIRTUALSCREEN));
    EXPECT_EQ(rect.right - rect.left, ::GetSystemMetrics(SM_CXVIRTUALSCREEN));
    EXPECT_EQ(rect.bottom - rect.top, ::GetSystemMetrics(SM_CYVIRTUALSCREEN));
    EXPECT_TRUE(::GetWindowLongPtrW(run.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(::GetWindowLongPtrW(run.Handle(), GWL_STYLE) & WS_POPUP);
    EXPECT_TRUE(::IsWindowVisible(run.Handle()));
    wchar_t title[64] = {};
    ::GetWindowTextW(run.Handle(), title, 64);
    EXPECT_STREQ(title, L"Duskpanel");
    EXPECT_EQ(run.Window().MouseThreshold(), 3) << "defaults without the settings key";
    EXPECT_EQ(run.Window().PasswordDelay(), 0u);
    EXPECT_TRUE(run.Stays());
    EXPECT_TRUE(SaverRunningAsTheSystemSees()) << "SPI_SETSCREENSAVERRUNNING on";
    run.End();
    EXPECT_FALSE(SaverRunningAsTheSystemSees()) << "and off again";
}

// How a message reaches the window: posted ones go through PreTranslateMessage first, sent
// ones straight to the window procedure.
enum class Delivery { Post, Send };

struct InputRow {
    const char* name;
    Delivery delivery;
    UINT message;
    WPARAM wParam;
    bool ends;
};

class SaverInputTest : public SaverWindowTest, public testing::WithParamInterface<InputRow> {};

TEST_P(SaverInputTest, EndsOnlyOnTheUsersReturn) {
    const InputRow& row = GetParam();
    SaverRun run;
    ASSERT_TRUE(run.Created());
    ASSERT_TRUE(run.Stays()) << "nothing ends it by itself";
    if (row.delivery == Delivery::Post)
        run.Post(row.message, row.wParam);
    else
        run.Send(row.message, row.wParam);
    if (row.ends) {
        EXPECT_TRUE(PumpUntilQuit()) << "the saver did not end";
        EXPECT_EQ(run.Seen().closeMessages, 1);
        return;
    }
    EXPECT_TRUE(run.Stays());
    EXPECT_EQ(run.Panel().panel.Closes(), 0) << "the brightness is still the saver's";
    run.End();
}

INSTANTIATE_TEST_SUITE_P(
    Messages, SaverInputTest,
    testing::Values(
        InputRow{"KeyPressIgnored", Delivery::Post, WM_KEYDOWN, 'A', false},
        InputRow{"SysKeyPressIgnored", Delivery::Post, WM_SYSKEYDOWN, VK_MENU, false},
        InputRow{"KeyPressIgnoredByTheHandler", Delivery::Send, WM_KEYDOWN, 'A', false},
        InputRow{"KeyReleaseEnds", Delivery::Post, WM_KEYUP, 'A', true},
        InputRow{"SysKeyReleaseEnds", Delivery::Post, WM_SYSKEYUP, VK_MENU, true},
        InputRow{"LeftButtonEnds", Delivery::Post, WM_LBUTTONDOWN, MK_LBUTTON, true},
        InputRow{"MiddleButtonEnds", Delivery::Post, WM_MBUTTONDOWN, MK_MBUTTON, true},
        InputRow{"RightButtonEnds", Delivery::Send, WM_RBUTTONDOWN, MK_RBUTTON, true},
        InputRow{"MouseMessageWithoutMovementIgnored", Delivery::Post, WM_MOUSEMOVE, 0, false},
        InputRow{"DeactivationEnds", Delivery::Send, WM_ACTIVATE, WA_INACTIVE, true},
        InputRow{"ActivationIgnored", Delivery::Send, WM_ACTIVATE, WA_ACTIVE, false},
        InputRow{"AppDeactivationEnds", Delivery::Send, WM_ACTIVATEAPP, FALSE, true},
        InputRow{"ScCloseDropped", Delivery::Send, WM_SYSCOMMAND, SC_CLOSE, false},
        InputRow{"ScScreenSaveDropped", Delivery::Send, WM_SYSCOMMAND, SC_SCREENSAVE, false},
        InputRow{"CloseNotFromTheCloseThreadDropped", Delivery::Post, WM_CLOSE, 0, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SaverWindowTest, ScCloseNeverBecomesAWmClose) {
    SaverRun run;
    ASSERT_TRUE(run.Created());
    run.Send(WM_SYSCOMMAND, SC_CLOSE);
    EXPECT_TRUE(run.Stays());
    EXPECT_EQ(run.Seen().closeMessages, 0);
    run.End();
}

TEST_F(SaverWindowTest, FrameDeactivationIsRefusedAndTheCursorHidden) {
    SaverRun run;
    ASSERT_TRUE(run.Created());
    EXPECT_EQ(run.Send(WM_NCACTIVATE, FALSE), FALSE);
    EXPECT_EQ(run.Send(WM_SETCURSOR, reinterpret_cast<WPARAM>(run.Handle()),
                       MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              TRUE);
    EXPECT_EQ(::GetCursor(), nullptr);
    EXPECT_TRUE(run.Stays());
    run.End();
}

struct ThresholdRow {
    const char* name;
    std::optional<DWORD> threshold; // "Mouse Threshold"; nothing: the default 3
    int dx;
    int dy;
    bool ends;
};

class SaverThresholdTest : public SaverWindowTest,
                           public testing::WithParamInterface<ThresholdRow> {};

// The cursor really moves (SetCursorPos); the message only makes the window look.
TEST_P(SaverThresholdTest, MovementBeyondTheThresholdEnds) {
    const ThresholdRow& row = GetParam();
    WriteSettings(std::nullopt, row.threshold);
    SaverRun run;
    ASSERT_TRUE(run.Created());
    ASSERT_TRUE(run.Stays());
    ::SetCursorPos(kStart.x + row.dx, kStart.y + row.dy);
    run.Post(WM_MOUSEMOVE);
    if (row.ends) {
        EXPECT_TRUE(PumpUntilQuit());
        return;
    }
    EXPECT_TRUE(run.Stays(400ms)) << "neither the move nor the input poll may end it";
    run.End();
}

INSTANTIATE_TEST_SUITE_P(Cursor, SaverThresholdTest,
                         testing::Values(ThresholdRow{"ThreeEachWayStays", {}, 3, 3, false},
                                         ThresholdRow{"FourRightEnds", {}, 4, 0, true},
                                         ThresholdRow{"FourUpEnds", {}, 0, -4, true},
                                         ThresholdRow{"ThresholdTenStays", 10, -10, 10, false},
                                         ThresholdRow{"ThresholdTenElevenEnds", 10, 11, 0, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SaverWindowTest, SettingsAreReadFromTheSystemsScreenSaverKey) {
    WriteSettings(7, 12);
    SaverRun run;
    ASSERT_TRUE(run.Created());
    EXPECT_EQ(run.Window().PasswordDelay(), 7u);
    EXPECT_EQ(run.Window().MouseThreshold(), 12);
    run.End();
}

TEST_F(SaverWindowTest, BrightnessIsBackBeforeWmCloseArrives) {
    SaverRun run;
    ASSERT_TRUE(run.Created());
    ASSERT_EQ(run.Panel().panel.Records(),
              (std::vector<DisplayBrightness>{{kDisplayPolicyAc, 30, 30}}));
    run.Post(WM_KEYUP);
    ASSERT_TRUE(PumpUntilQuit());
    EXPECT_EQ(run.Seen().panelClosesAtClose, 1) << "the controller was gone";
    EXPECT_EQ(run.Seen().schemeSwitchesAtClose, 2u) << "nothing captured: the scheme re-applied";
}

struct LockRow {
    const char* name;
    bool protect;
    int locks;
};

class SaverLockTest : public SaverWindowTest, public testing::WithParamInterface<LockRow> {};

// A burst of inputs: one close sequence, so one lock request and one WM_CLOSE.
TEST_P(SaverLockTest, BurstOfInputsRunsOneCloseSequence) {
    RunOptions options;
    options.protect = GetParam().protect;
    SaverRun run(options);
    ASSERT_TRUE(run.Created());
    for (int i = 0; i < 10; ++i) {
        run.Post(WM_KEYUP);
        run.Post(WM_LBUTTONDOWN);
        run.Post(WM_MBUTTONDOWN);
    }
    run.Send(WM_ACTIVATE, WA_INACTIVE);
    ASSERT_TRUE(PumpUntilQuit());
    EXPECT_EQ(run.Seen().locks.load(), GetParam().locks);
    EXPECT_EQ(run.Seen().closeMessages, 1);
    EXPECT_EQ(run.Panel().panel.Closes(), 1);
}

INSTANTIATE_TEST_SUITE_P(Protection, SaverLockTest,
                         testing::Values(LockRow{"ProtectedLocksOnce", true, 1},
                                         LockRow{"UnprotectedNeverLocks", false, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

// Wine refuses the lock (error 120): nothing to wait for, the saver ends at once.
TEST_F(SaverWindowTest, FailedLockUnderWineEndsWithoutWaiting) {
    ::SetLastError(0);
    ASSERT_FALSE(::LockWorkStation()) << "this test must not lock a real station";
    ASSERT_EQ(::GetLastError(), 120u);
    RunOptions options;
    options.protect = true;
    options.realLock = true;
    SaverRun run(options);
    ASSERT_TRUE(run.Created());
    const auto input = std::chrono::steady_clock::now();
    run.Post(WM_KEYUP);
    ASSERT_TRUE(PumpUntilQuit(15s));
    EXPECT_LT(std::chrono::steady_clock::now() - input, 2s);
}

// A lock that is accepted but whose locked desktop never comes up (the input desktop keeps
// opening, as under Wine): the wait gives up, and the saver still ends.
TEST_F(SaverWindowTest, LockedDesktopThatNeverComesUpEndsTheWaitInBoundedTime) {
    RunOptions options;
    options.protect = true;
    options.lockSucceeds = true;
    SaverRun run(options);
    ASSERT_TRUE(run.Created());
    const auto input = std::chrono::steady_clock::now();
    run.Post(WM_KEYUP);
    ASSERT_TRUE(PumpUntilQuit(20s));
    const auto took = std::chrono::steady_clock::now() - input;
    EXPECT_GE(took, 9500ms);
    EXPECT_LT(took, 13s);
    EXPECT_EQ(run.Seen().locks.load(), 1);
}

TEST_F(SaverWindowTest, WithinThePasswordDelayNoPasswordIsAsked) {
    WriteSettings(5, std::nullopt);
    SaverRun run;
    ASSERT_TRUE(run.Created());
    run.Post(WM_KEYUP);
    ASSERT_TRUE(PumpUntilQuit());
    EXPECT_EQ(run.Seen().passwordChecks.load(), 0);
}

// Past the delay the password is asked; refused, the window stays, and the next input runs the
// close sequence and the check again.
TEST_F(SaverWindowTest, RefusedPasswordKeepsTheWindowAndLaterInputEndsItAgain) {
    WriteSettings(0, std::nullopt);
    RunOptions options;
    options.protect = true;
    options.passwordAnswers = {false, true};
    SaverRun run(options);
    ASSERT_TRUE(run.Created());
    Pump(20ms);
    run.Post(WM_KEYUP);
    EXPECT_FALSE(Pump(3s, [&] { return run.Seen().passwordChecks.load() == 1; }));
    EXPECT_TRUE(run.Stays()) << "refused: the window stays";
    EXPECT_EQ(run.Seen().setCursorWhileVerifying, TRUE);
    EXPECT_EQ(run.Seen().cursorWhileVerifying, ::LoadCursorW(nullptr, IDC_ARROW));
    EXPECT_EQ(run.Panel().panel.Closes(), 1) << "the brightness is back all the same";

    run.Post(WM_LBUTTONDOWN);
    ASSERT_TRUE(PumpUntilQuit());
    EXPECT_EQ(run.Seen().passwordChecks.load(), 2);
    EXPECT_EQ(run.Seen().locks.load(), 2) << "each close sequence locks";
    EXPECT_EQ(run.Seen().closeMessages, 2);
}

// The window must outlive the check that runs inside its own WM_CLOSE: the inner close is
// carried out once the check has returned, whatever its answer.
TEST_F(SaverWindowTest, CloseArrivingDuringThePasswordCheckWaitsForTheCheck) {
    WriteSettings(0, std::nullopt);
    RunOptions options;
    options.passwordAnswers = {false};
    options.closeAgainWhileVerifying = true;
    SaverRun run(options);
    ASSERT_TRUE(run.Created());
    Pump(20ms);
    run.Post(WM_KEYUP);
    ASSERT_TRUE(PumpUntilQuit());
    EXPECT_EQ(run.Seen().aliveAfterInnerClose, 1);
    EXPECT_EQ(run.Seen().passwordChecks.load(), 1);
    EXPECT_FALSE(::IsWindow(run.Handle()));
}

// Without backlight the window is never shown, so input never reaches it: the poll of the
// system's last-input time ends the saver. SendInput reaches the system as a user's key would.
TEST_F(SaverWindowTest, HiddenSaverEndsOnInputAnywhereAtTheNextPoll) {
    RunOptions options;
    options.backlight = false;
    SaverRun run(options);
    ASSERT_TRUE(run.Created());
    EXPECT_FALSE(::IsWindowVisible(run.Handle()));
    ASSERT_TRUE(run.Stays());
    INPUT keys[2]{};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = VK_SHIFT;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ASSERT_EQ(::SendInput(2, keys, sizeof(INPUT)), 2u);
    const auto input = std::chrono::steady_clock::now();
    ASSERT_TRUE(PumpUntilQuit(3s));
    EXPECT_LT(std::chrono::steady_clock::now() - input, 1s);
    EXPECT_TRUE(run.Panel().panel.Sets().empty());
}

} // namespace
} // namespace dp

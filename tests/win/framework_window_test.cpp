// The message loop offers queued messages to the framework's own objects only. A foreign window
// (a common control, a system dialog, an IME window) may keep anything in GWLP_USERDATA or
// DWLP_USER; here it keeps a decoy whose "virtual table" records every call made through it.
#include "framework/win32/dialog.h"
#include "framework/win32/window.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace dp {
namespace {

bool g_decoyCalled = false;

bool DecoyEntry(void*, MSG*) {
    g_decoyCalled = true;
    return false;
}

using Entry = bool (*)(void*, MSG*);
Entry g_decoyTable[8] = {DecoyEntry, DecoyEntry, DecoyEntry, DecoyEntry,
                         DecoyEntry, DecoyEntry, DecoyEntry, DecoyEntry};
struct Decoy {
    Entry* table = g_decoyTable;
} g_decoy;

constexpr wchar_t kForeignClass[] = L"DuskpanelTestsForeign";
constexpr wchar_t kOwnClass[] = L"DuskpanelTestsOwn";

HWND CreateForeign(HWND parent) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kForeignClass;
    ::RegisterClassW(&wc);
    HWND hwnd = ::CreateWindowExW(0, kForeignClass, L"", parent ? WS_CHILD : WS_POPUP, 0, 0, 50, 50,
                                  parent, nullptr, wc.hInstance, nullptr);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&g_decoy));
    return hwnd;
}

class OwnWindow : public Window {
public:
    int offered = 0;
    bool Create(HWND parent) {
        Window::RegisterClass(kOwnClass, 0, nullptr, nullptr, nullptr);
        return CreateEx(0, kOwnClass, L"", parent ? WS_CHILD : WS_POPUP, RECT{0, 0, 40, 40},
                        parent);
    }

protected:
    bool PreTranslateMessage(MSG&) override {
        ++offered;
        return false;
    }
};

struct ForeignRow {
    const char* name;
    bool ownParent; // a framework window above the target
    bool ownTarget; // the message is for a framework window
    int ownOffered; // how often the framework window is offered the message
};

class ForeignWindowTest : public testing::TestWithParam<ForeignRow> {};

TEST_P(ForeignWindowTest, OnlyFrameworkObjectsAreOfferedQueuedMessages) {
    const ForeignRow& row = GetParam();
    g_decoyCalled = false;
    OwnWindow own;
    HWND target = nullptr;
    HWND foreign = nullptr;
    if (row.ownParent) {
        ASSERT_TRUE(own.Create(nullptr));
        foreign = target = CreateForeign(own.Handle());
    } else {
        foreign = CreateForeign(nullptr);
        ASSERT_TRUE(own.Create(foreign));
        target = row.ownTarget ? own.Handle() : foreign;
    }
    MSG msg{target, WM_KEYDOWN, 'A', 0, 0, {}};
    EXPECT_FALSE(MessageTarget::PreTranslateForTarget(msg));
    EXPECT_FALSE(g_decoyCalled) << "a call went through a foreign window's user data";
    EXPECT_EQ(own.offered, row.ownOffered);
    own.Destroy();
    ::DestroyWindow(foreign);
}

INSTANTIATE_TEST_SUITE_P(Windows, ForeignWindowTest,
                         testing::Values(ForeignRow{"ForeignTopLevel", false, false, 0},
                                         ForeignRow{"OwnChildOfForeign", false, true, 1},
                                         ForeignRow{"ForeignChildOfOwn", true, false, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

// An empty dialog template in memory (zeros after it: no menu, the standard class, no title);
// its one control is created afterwards.
constexpr int kControlId = 100;

std::vector<DWORD> EmptyTemplate() {
    std::vector<DWORD> words(16, 0);
    auto* dialog = reinterpret_cast<DLGTEMPLATE*>(words.data());
    dialog->style = WS_POPUP;
    dialog->cx = dialog->cy = 100;
    return words;
}

const DLGTEMPLATE* AsTemplate(const std::vector<DWORD>& words) {
    return reinterpret_cast<const DLGTEMPLATE*>(words.data());
}

HWND CreateControl(HWND dialog) {
    return ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, dialog,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(kControlId)), nullptr,
                             nullptr);
}

class OwnControl : public SubclassedControl {
public:
    int offered = 0;

protected:
    bool PreTranslateMessage(MSG&) override {
        ++offered;
        return false;
    }
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        return message == WM_APP ? 42 : Default(message, wParam, lParam);
    }
};

// A framework dialog (in-memory template) with a subclassed control that keeps a decoy in its
// GWLP_USERDATA, owned by a foreign window: a message for the control reaches the control's
// and the dialog's objects, and nothing else.
class OwnDialog : public Dialog {
public:
    using Dialog::Dialog;
    OwnControl control;
    int offered = 0;
    LRESULT answer = 0;
    bool decoyCalled = true;

protected:
    bool OnInitDialog() override {
        if (CreateControl(Handle()) && control.Attach(Handle(), kControlId)) {
            ::SetWindowLongPtrW(control.Handle(), GWLP_USERDATA,
                                reinterpret_cast<LONG_PTR>(&g_decoy));
            g_decoyCalled = false;
            MSG msg{control.Handle(), WM_KEYDOWN, 'A', 0, 0, {}};
            MessageTarget::PreTranslateForTarget(msg);
            decoyCalled = g_decoyCalled;
            answer = ::SendMessageW(control.Handle(), WM_APP, 0, 0);
        }
        EndDialog(7);
        return true;
    }
    bool PreTranslateMessage(MSG&) override {
        ++offered;
        return false;
    }
};

TEST(FrameworkDialogTest, DialogAndSubclassedControlAreFrameworkObjects) {
    const std::vector<DWORD> words = EmptyTemplate();
    HWND foreign = CreateForeign(nullptr);
    OwnDialog dialog(AsTemplate(words), foreign);
    EXPECT_EQ(dialog.DoModal(), 7);
    EXPECT_EQ(dialog.control.offered, 1);
    EXPECT_EQ(dialog.offered, 1);
    EXPECT_FALSE(dialog.decoyCalled);
    EXPECT_EQ(dialog.answer, 42) << "the control's messages reach its object";
    EXPECT_EQ(dialog.control.Handle(), nullptr) << "let go when the control was destroyed";
    ::DestroyWindow(foreign);
}

INT_PTR CALLBACK ForeignDialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&g_decoy));
        ::SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&g_decoy));
        return TRUE;
    }
    return FALSE;
}

// A dialog someone else runs (a system dialog, a message box) keeps its own data: a subclassed
// control inside it is still offered its messages, the dialog itself is passed over.
TEST(FrameworkDialogTest, ForeignDialogIsPassedOver) {
    const std::vector<DWORD> words = EmptyTemplate();
    HWND dialog = ::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr), AsTemplate(words),
                                               nullptr, ForeignDialogProc, 0);
    ASSERT_TRUE(dialog && CreateControl(dialog));
    OwnControl control;
    ASSERT_TRUE(control.Attach(dialog, kControlId));
    EXPECT_FALSE(OwnControl().Attach(dialog, kControlId)) << "one framework object per window";
    g_decoyCalled = false;
    for (HWND target : {control.Handle(), dialog}) {
        MSG msg{target, WM_KEYDOWN, 'A', 0, 0, {}};
        EXPECT_FALSE(MessageTarget::PreTranslateForTarget(msg));
    }
    EXPECT_FALSE(g_decoyCalled);
    EXPECT_EQ(control.offered, 1);
    ::DestroyWindow(dialog);
}

// The system's modal loop offers queued messages to the framework objects of its thread, once
// each, also while a nested framework dialog runs, and one PreTranslateMessage keeps is never
// dispatched. A parent hands a control's notifications back to it first, in a dialog and in a
// framework window alike; what the control does not take, and commands from no control, stay
// the parent's.
constexpr UINT kProbe = WM_APP + 1; // wParam 1: kept by PreTranslateMessage
constexpr UINT kNextStep = WM_APP + 2;

class ProbeControl : public SubclassedControl {
public:
    int offered = 0;
    int dispatched = 0;
    std::vector<UINT> reflected;

protected:
    bool PreTranslateMessage(MSG& msg) override {
        offered += msg.message == kProbe;
        return msg.message == kProbe && msg.wParam == 1;
    }
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        dispatched += message == kProbe;
        return Default(message, wParam, lParam);
    }
    bool OnReflectedMessage(UINT message, WPARAM wParam, LPARAM, LRESULT* result) override {
        if (message == WM_COMMAND && HIWORD(wParam) != STN_CLICKED)
            return false;
        reflected.push_back(message);
        *result = 5;
        return true;
    }
};

class ProbeDialog : public Dialog {
public:
    ProbeDialog(const DLGTEMPLATE* memoryTemplate, ProbeControl* outer)
        : Dialog(memoryTemplate, nullptr), outer_(outer) {}
    ProbeControl control;
    std::vector<LRESULT> answers;
    int ownCommands = 0;

protected:
    bool OnInitDialog() override {
        ProbeControl* target = outer_;
        if (!target && CreateControl(Handle()) && control.Attach(Handle(), kControlId)) {
            target = &control;
            SendNotifications();
        }
        ::PostMessageW(target ? target->Handle() : nullptr, kProbe, outer_ ? 0 : 1, 0);
        ::PostMessageW(Handle(), kNextStep, 0, 0);
        return true;
    }
    bool OnMessage(UINT message, WPARAM, LPARAM, INT_PTR*) override {
        if (message != kNextStep)
            return false;
        if (outer_ || nestedRun_) {
            EndDialog(IDOK);
            return true;
        }
        nestedRun_ = true;
        const std::vector<DWORD> words = EmptyTemplate();
        ProbeDialog(AsTemplate(words), &control).DoModal();
        ::PostMessageW(Handle(), kNextStep, 0, 0);
        return true;
    }
    bool OnCommand(int, int, HWND) override { return ++ownCommands; }

private:
    void SendNotifications() {
        const auto child = reinterpret_cast<LPARAM>(control.Handle());
        NMHDR header{control.Handle(), static_cast<UINT_PTR>(kControlId), 0};
        for (const auto& [message, wParam, lParam] :
             {std::tuple<UINT, WPARAM, LPARAM>{WM_CTLCOLORSTATIC, 0, child},
              {WM_NOTIFY, kControlId, reinterpret_cast<LPARAM>(&header)},
              {WM_COMMAND, MAKEWPARAM(kControlId, STN_CLICKED), child},
              {WM_COMMAND, MAKEWPARAM(kControlId, STN_DBLCLK), child},
              {WM_COMMAND, MAKEWPARAM(kControlId, 0), 0}})
            answers.push_back(::SendMessageW(Handle(), message, wParam, lParam));
    }

    ProbeControl* outer_;
    bool nestedRun_ = false;
};

TEST(FrameworkDialogTest, ModalLoopsOfferQueuedMessagesAndParentsReflectNotifications) {
    const std::vector<DWORD> words = EmptyTemplate();
    ProbeDialog dialog(AsTemplate(words), nullptr);
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.control.offered, 2);
    EXPECT_EQ(dialog.control.dispatched, 1) << "the kept probe is not dispatched";
    EXPECT_EQ(dialog.control.reflected,
              (std::vector<UINT>{WM_CTLCOLORSTATIC, WM_NOTIFY, WM_COMMAND}));
    // A colour brush comes back as it is, other answers through DWLP_MSGRESULT.
    ASSERT_EQ(dialog.answers.size(), 5u);
    EXPECT_EQ(std::vector<LRESULT>(dialog.answers.begin(), dialog.answers.begin() + 3),
              (std::vector<LRESULT>{5, 5, 5}));
    EXPECT_EQ(dialog.ownCommands, 2);

    OwnWindow parent;
    ASSERT_TRUE(parent.Create(nullptr));
    const auto child = reinterpret_cast<LPARAM>(CreateControl(parent.Handle()));
    ProbeControl control;
    ASSERT_TRUE(control.Attach(parent.Handle(), kControlId));
    EXPECT_EQ(
        ::SendMessageW(parent.Handle(), WM_COMMAND, MAKEWPARAM(kControlId, STN_CLICKED), child), 5);
    parent.Destroy();
}

} // namespace
} // namespace dp

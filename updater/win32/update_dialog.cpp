#include "updater/win32/update_dialog.h"

#include <windows.h>
#include <commctrl.h>

#include <iterator>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <utility>

#include "framework/win32/handles.h"
#include "updater/resource_ids.h"
#include "updater/update_worker.h"
#include "updater/win32/setup_crypto.h"
#include "updater/win32/update_system.h"
#include "updater/win32/wininet_transfer.h"

namespace dp {

// The progress figures on their way from the worker to the dialog. The worker leaves the latest
// ones here and posts one message; the dialog's thread takes them and repaints. The worker never
// waits for the dialog's thread, which a synchronous message per control would make it do (on a
// busy machine for milliseconds each time).
class DialogFigures {
public:
    struct Figures {
        std::optional<int> position;
        std::optional<std::wstring> text;
    };

    // Each returns true when the caller must post the message that shows them: none is on its
    // way yet.
    bool SetPosition(int position) {
        std::lock_guard<std::mutex> lock(mutex_);
        figures_.position = position;
        return MarkPosted();
    }
    bool SetText(std::wstring text) {
        std::lock_guard<std::mutex> lock(mutex_);
        figures_.text = std::move(text);
        return MarkPosted();
    }
    bool RequestRepaint() {
        std::lock_guard<std::mutex> lock(mutex_);
        return MarkPosted();
    }
    // The message could not be posted: the next call tries again.
    void PostFailed() {
        std::lock_guard<std::mutex> lock(mutex_);
        posted_ = false;
    }
    // On the dialog's thread, for the message: what to show now.
    Figures Take() {
        std::lock_guard<std::mutex> lock(mutex_);
        posted_ = false;
        return std::exchange(figures_, Figures{});
    }

private:
    bool MarkPosted() { return !std::exchange(posted_, true); }

    std::mutex mutex_;
    Figures figures_;
    bool posted_ = false;
};

namespace {

// Posted by the worker: the dialog ends itself on its own thread.
constexpr UINT kWorkerDoneMessage = WM_APP + 1;
// Posted by the worker: new download figures wait in DialogFigures.
constexpr UINT kFiguresMessage = WM_APP + 2;

// The dialog as the worker thread reaches it: window messages to the dialog's controls, and
// message boxes owned by the dialog.
class DialogPort : public UpdateDialogPort {
public:
    DialogPort(HWND dialog, std::wstring appTitle, std::shared_ptr<std::atomic<int>> busy,
               std::shared_ptr<DialogFigures> figures)
        : dialog_(dialog), appTitle_(std::move(appTitle)), busy_(std::move(busy)),
          figures_(std::move(figures)) {}

    void SetBusy(bool busy) override { busy_->store(busy ? 1 : 0); }
    void ShowState(std::wstring_view text) override { SetItemText(IDC_STATE, text); }
    void ShowTransferText(std::wstring_view text) override {
        PostIf(figures_->SetText(std::wstring(text)));
    }
    void ShowProgress(int position) override { PostIf(figures_->SetPosition(position)); }
    void Repaint() override { PostIf(figures_->RequestRepaint()); }
    void ShowMessage(std::wstring_view text) override { Box(text, MB_OK); }
    bool AskYesNo(std::wstring_view question) override { return Box(question, MB_YESNO) == IDYES; }
    void EndDialog() override { ::PostMessageW(dialog_, kWorkerDoneMessage, 0, 0); }

private:
    void PostIf(bool needed) {
        if (needed && !::PostMessageW(dialog_, kFiguresMessage, 0, 0))
            figures_->PostFailed();
    }
    void SetItemText(int id, std::wstring_view text) {
        const std::wstring value(text);
        ::SetDlgItemTextW(dialog_, id, value.c_str());
    }
    int Box(std::wstring_view text, UINT type) {
        const std::wstring value(text);
        return ::MessageBoxW(dialog_, value.c_str(), appTitle_.c_str(), type);
    }

    HWND dialog_;
    std::wstring appTitle_;
    std::shared_ptr<std::atomic<int>> busy_;
    std::shared_ptr<DialogFigures> figures_;
};

// Everything the worker thread uses, owned by that thread: it outlives the dialog when the
// user cancels, until the process ends.
struct UpdateJob {
    UpdateJob(const UpdaterCommandLine& line, HWND dialogWindow, std::wstring appTitle,
              std::shared_ptr<std::atomic<int>> busy, std::shared_ptr<DialogFigures> figures)
        : commandLine(line),
          dialog(dialogWindow, std::move(appTitle), std::move(busy), std::move(figures)),
          system(dialogWindow) {}

    void Run() {
        UpdateWorker(commandLine, {dialog, system, ini, transfer, crypto, BuiltInVendorKey()})
            .Run();
    }

    UpdaterCommandLine commandLine;
    DialogPort dialog;
    Win32UpdateSystem system;
    ProfileIniReader ini;
    WinInetTransfer transfer;
    BCryptSetupCrypto crypto;
};

} // namespace

UpdaterAboutDialog::UpdaterAboutDialog(HWND owner) : Dialog(IDD_RENEWICK_ABOUT, owner) {}

UpdateDialog::UpdateDialog(const UpdaterCommandLine& commandLine, std::wstring appTitle)
    : Dialog(IDD_UPDATE, nullptr), commandLine_(commandLine), appTitle_(std::move(appTitle)),
      busy_(std::make_shared<std::atomic<int>>(0)), figures_(std::make_shared<DialogFigures>()),
      icon_(::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME))) {}

bool UpdateDialog::OnInitDialog() {
    AppendAboutItem();
    ::SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    ::SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    ::SetWindowTextW(Handle(), UpdateDialogCaption(commandLine_.productName).c_str());
    if (busy_->load() == 0)
        StartWorker();
    return true;
}

bool UpdateDialog::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR* result) {
    switch (message) {
    case WM_SYSCOMMAND:
        return OnSysCommand(wParam);
    case WM_PAINT:
        return OnPaint();
    case WM_QUERYDRAGICON:
        *result = reinterpret_cast<INT_PTR>(icon_);
        return true;
    case kWorkerDoneMessage:
        EndDialog(0);
        return true;
    case kFiguresMessage:
        ShowFigures();
        return true;
    default:
        return false;
    }
}

void UpdateDialog::AppendAboutItem() {
    HMENU systemMenu = ::GetSystemMenu(Handle(), FALSE);
    // A string resource is at most 65535 characters; the About text is far shorter.
    wchar_t text[256] = {};
    const int length = ::LoadStringW(::GetModuleHandleW(nullptr), IDS_ABOUTBOX, text,
                                     static_cast<int>(std::size(text)));
    if (!systemMenu || length <= 0)
        return;
    ::AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(systemMenu, MF_STRING, IDM_ABOUTBOX, text);
}

void UpdateDialog::StartWorker() {
    // Detached: nobody waits for the worker. It owns its job, and when the user cancels, the
    // process ends under it. Without a thread the dialog simply waits for Cancel, as it does
    // when the temporary folder is unknown; nothing may unwind through the dialog procedure.
    try {
        auto job = std::make_shared<UpdateJob>(commandLine_, Handle(), appTitle_, busy_, figures_);
        std::thread([job] { job->Run(); }).detach();
    } catch (...) {
    }
}

void UpdateDialog::ShowFigures() {
    // The position before the text: a reader of both controls that reads the text first then
    // sees a position at least as new as the text.
    const DialogFigures::Figures figures = figures_->Take();
    if (figures.position)
        ::SendDlgItemMessageW(Handle(), IDC_PROGRESS, PBM_SETPOS,
                              static_cast<WPARAM>(*figures.position), 0);
    if (figures.text)
        ::SetDlgItemTextW(Handle(), IDC_TRANSFER_TEXT, figures.text->c_str());
    ::UpdateWindow(Handle());
}

bool UpdateDialog::OnSysCommand(WPARAM command) {
    // The system uses the low four bits of system-menu commands.
    if ((LOWORD(command) & 0xFFF0) != IDM_ABOUTBOX)
        return false;
    UpdaterAboutDialog(Handle()).DoModal();
    return true;
}

bool UpdateDialog::OnPaint() {
    if (!::IsIconic(Handle()))
        return false;
    PaintDc dc(Handle());
    ::SendMessageW(Handle(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.get()), 0);
    RECT client{};
    ::GetClientRect(Handle(), &client);
    const int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc.get(), x, y, icon_);
    return true;
}

} // namespace dp

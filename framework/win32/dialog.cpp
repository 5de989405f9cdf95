#include "framework/win32/dialog.h"

#include "framework/win32/common_controls.h"
#include "framework/win32/handles.h"

namespace dp {

namespace {

// Names this framework's link in a control's subclass chain.
constexpr UINT_PTR kSubclassId = 0x6470; // "dp"

// The system's modal loop (DialogBox*, MessageBox) never calls our PreTranslateMessage, but it
// hands every queued message to the thread's message-filter hooks (code MSGF_DIALOGBOX) before
// the dialog manager sees it. One hook per thread serves every framework dialog open on it,
// nested ones included, so no message is offered twice.
class ModalMessageFilter {
public:
    ModalMessageFilter() {
        if (depth_++ == 0)
            hook_.reset(
                ::SetWindowsHookExW(WH_MSGFILTER, FilterProc, nullptr, ::GetCurrentThreadId()));
    }
    ~ModalMessageFilter() {
        if (--depth_ == 0)
            hook_.reset();
    }
    ModalMessageFilter(const ModalMessageFilter&) = delete;
    ModalMessageFilter& operator=(const ModalMessageFilter&) = delete;

private:
    static LRESULT CALLBACK FilterProc(int code, WPARAM wParam, LPARAM lParam) {
        if (code == MSGF_DIALOGBOX && lParam &&
            MessageTarget::PreTranslateForTarget(*reinterpret_cast<MSG*>(lParam)))
            return TRUE; // handled: the modal loop neither translates nor dispatches it
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static thread_local int depth_;
    static thread_local UniqueHook hook_;
};

thread_local int ModalMessageFilter::depth_ = 0;
thread_local UniqueHook ModalMessageFilter::hook_;

// Messages whose answer a dialog procedure returns itself; every other answer goes through
// DWLP_MSGRESULT.
bool AnsweredDirectly(UINT message) {
    return (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) ||
           message == WM_COMPAREITEM || message == WM_VKEYTOITEM || message == WM_CHARTOITEM ||
           message == WM_QUERYDRAGICON || message == WM_INITDIALOG;
}

} // namespace

SubclassedControl::~SubclassedControl() {
    Detach();
}

bool SubclassedControl::Attach(HWND dialog, int controlId) {
    HWND control = ::GetDlgItem(dialog, controlId);
    if (!control || hwnd_ || !Bind(control, this))
        return false;
    if (!SetControlSubclass(control, StaticProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
        Unbind(control);
        return false;
    }
    hwnd_ = control;
    OnAttached();
    return true;
}

void SubclassedControl::Detach() {
    if (!hwnd_)
        return;
    if (::IsWindow(hwnd_)) {
        RemoveControlSubclass(hwnd_, StaticProc, kSubclassId);
        Unbind(hwnd_);
    }
    hwnd_ = nullptr;
}

LRESULT SubclassedControl::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return Default(message, wParam, lParam);
}

LRESULT SubclassedControl::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefControlSubclassProc(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK SubclassedControl::StaticProc(HWND hwnd, UINT message, WPARAM wParam,
                                               LPARAM lParam, UINT_PTR, DWORD_PTR object) {
    auto* control = reinterpret_cast<SubclassedControl*>(object);
    if (message == WM_NCDESTROY) {
        control->Detach();
        return DefControlSubclassProc(hwnd, message, wParam, lParam);
    }
    return control->OnMessage(message, wParam, lParam);
}

INT_PTR Dialog::DoModal() {
    // A template may hold any of the common controls (trackbars, progress bars, ...).
    InitCommonControlClasses(ICC_WIN95_CLASSES);
    ModalMessageFilter filter;
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    const LPARAM self = reinterpret_cast<LPARAM>(this);
    if (memoryTemplate_)
        return ::DialogBoxIndirectParamW(instance, memoryTemplate_, owner_, StaticProc, self);
    return ::DialogBoxParamW(instance, MAKEINTRESOURCEW(templateId_), owner_, StaticProc, self);
}

void Dialog::EndDialog(INT_PTR code) {
    ::EndDialog(hwnd_, code);
}

// Messages before WM_INITDIALOG (WM_SETFONT among them) find no object yet and get the dialog
// manager's default.
INT_PTR CALLBACK Dialog::StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<Dialog*>(lParam);
        dialog->hwnd_ = hwnd;
        Bind(hwnd, dialog);
    }
    auto* dialog = static_cast<Dialog*>(FromHandle(hwnd));
    if (!dialog)
        return FALSE;
    INT_PTR result = dialog->Dispatch(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        Unbind(hwnd);
        dialog->hwnd_ = nullptr;
    }
    return result;
}

INT_PTR Dialog::AnswerReflected(UINT message, LRESULT result) {
    if (AnsweredDirectly(message))
        return static_cast<INT_PTR>(result);
    ::SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, static_cast<LONG_PTR>(result));
    return TRUE;
}

INT_PTR Dialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT reflected = 0;
    if (ReflectToChild(hwnd_, message, wParam, lParam, &reflected))
        return AnswerReflected(message, reflected);
    switch (message) {
    case WM_INITDIALOG:
        BindControls();
        return OnInitDialog() ? TRUE : FALSE;
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        int code = HIWORD(wParam);
        if (id == IDOK && code == BN_CLICKED) {
            OnOK();
            return TRUE;
        }
        if (id == IDCANCEL && code == BN_CLICKED) {
            OnCancel();
            return TRUE;
        }
        return OnCommand(id, code, reinterpret_cast<HWND>(lParam)) ? TRUE : FALSE;
    }
    default: {
        INT_PTR result = FALSE;
        if (OnMessage(message, wParam, lParam, &result))
            return result;
        return FALSE;
    }
    }
}

} // namespace dp

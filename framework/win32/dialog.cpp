#include "framework/win32/dialog.h"

namespace dp {
namespace {
const wchar_t kControlProperty[] = L"dp.SubclassedControl";
}

SubclassedControl::~SubclassedControl() {
    Detach();
}

bool SubclassedControl::Attach(HWND dialog, int controlId) {
    HWND control = ::GetDlgItem(dialog, controlId);
    if (!control || hwnd_)
        return false;
    hwnd_ = control;
    ::SetPropW(control, kControlProperty, this);
    original_ = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StaticProc)));
    return true;
}

void SubclassedControl::Detach() {
    if (!hwnd_)
        return;
    if (::IsWindow(hwnd_)) {
        ::SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
        ::RemovePropW(hwnd_, kControlProperty);
    }
    hwnd_ = nullptr;
    original_ = nullptr;
}

LRESULT SubclassedControl::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return Default(message, wParam, lParam);
}

LRESULT SubclassedControl::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::CallWindowProcW(original_, hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK SubclassedControl::StaticProc(HWND hwnd, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
    auto* control = static_cast<SubclassedControl*>(::GetPropW(hwnd, kControlProperty));
    if (!control)
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        WNDPROC original = control->original_;
        control->Detach();
        return ::CallWindowProcW(original, hwnd, message, wParam, lParam);
    }
    return control->OnMessage(message, wParam, lParam);
}

INT_PTR Dialog::DoModal() {
    return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), owner_,
                             StaticProc, reinterpret_cast<LPARAM>(this));
}

void Dialog::EndDialog(INT_PTR code) {
    ::EndDialog(hwnd_, code);
}

INT_PTR CALLBACK Dialog::StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<Dialog*>(lParam);
        dialog->hwnd_ = hwnd;
        ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    }
    auto* dialog = reinterpret_cast<Dialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!dialog)
        return FALSE;
    INT_PTR result = dialog->Dispatch(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        dialog->hwnd_ = nullptr;
    }
    return result;
}

INT_PTR Dialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
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

// Modal dialogs from resource templates, and controls subclassed into objects.
#pragma once

#include <windows.h>

namespace dp {

// A template control taken over by an object: its messages reach OnMessage, and whatever the
// object does not handle goes to the control's own procedure.
class SubclassedControl {
public:
    SubclassedControl() = default;
    virtual ~SubclassedControl();
    SubclassedControl(const SubclassedControl&) = delete;
    SubclassedControl& operator=(const SubclassedControl&) = delete;

    bool Attach(HWND dialog, int controlId);
    void Detach();
    HWND Handle() const { return hwnd_; }

protected:
    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;
    WNDPROC original_ = nullptr;
};

class Dialog {
public:
    Dialog(int templateId, HWND owner) : templateId_(templateId), owner_(owner) {}
    virtual ~Dialog() = default;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Runs the modal loop; the result is the code given to EndDialog, or -1 on failure.
    INT_PTR DoModal();
    HWND Handle() const { return hwnd_; }

protected:
    // Binds template controls to member objects; runs once, before OnInitDialog.
    virtual void BindControls() {}
    // True lets the system focus the first tab stop.
    virtual bool OnInitDialog() { return true; }
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // Commands other than IDOK and IDCANCEL; true when handled.
    virtual bool OnCommand(int /*id*/, int /*code*/, HWND /*control*/) { return false; }
    // Any other message; true when handled (the result goes to *result).
    virtual bool OnMessage(UINT /*message*/, WPARAM, LPARAM, INT_PTR* /*result*/) { return false; }

    void EndDialog(INT_PTR code);
    HWND Item(int id) const { return ::GetDlgItem(hwnd_, id); }

private:
    static INT_PTR CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    int templateId_;
    HWND owner_;
    HWND hwnd_ = nullptr;
};

} // namespace dp

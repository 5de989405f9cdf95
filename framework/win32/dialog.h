// Modal dialogs from resource or in-memory templates, and controls subclassed into objects.
// Both are framework objects (MessageTarget): the message loop offers them queued messages.
#pragma once

#include <windows.h>

#include "framework/win32/window.h"

namespace dp {

// A template control taken over by an object: its messages reach OnMessage, and whatever the
// object does not handle goes on down the control's subclass chain. The chain is the system's
// (SetWindowSubclass), so a tooltip or another party that subclasses the same control later
// keeps working when this object lets go first.
class SubclassedControl : public MessageTarget {
public:
    SubclassedControl() = default;
    ~SubclassedControl() override;

    // False when the control does not exist, this object holds a control already, or the
    // control belongs to another framework object. OnAttached runs once the control is ours.
    bool Attach(HWND dialog, int controlId);
    void Detach();
    HWND Handle() const { return hwnd_; }

protected:
    // The control has just been taken over: the place to adjust its style, fonts and size.
    virtual void OnAttached() {}
    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR id, DWORD_PTR object);

    HWND hwnd_ = nullptr;
};

class Dialog : public MessageTarget {
public:
    // A template of the program's resources.
    Dialog(int templateId, HWND owner) : templateId_(templateId), owner_(owner) {}
    // A template built in memory (DWORD-aligned, DLGTEMPLATE or DLGTEMPLATEEX); it must stay
    // valid until DoModal returns.
    Dialog(const DLGTEMPLATE* memoryTemplate, HWND owner)
        : memoryTemplate_(memoryTemplate), owner_(owner) {}

    // Runs the modal loop; the result is the code given to EndDialog, or -1 on failure. The
    // loop is the system's; while it runs, the framework objects of this thread (the dialog, its
    // subclassed controls, the windows of a nested dialog) are offered its queued messages
    // through PreTranslateMessage, as in the application's own loop.
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
    INT_PTR AnswerReflected(UINT message, LRESULT result);

    int templateId_ = 0;
    const DLGTEMPLATE* memoryTemplate_ = nullptr;
    HWND owner_;
    HWND hwnd_ = nullptr;
};

} // namespace dp

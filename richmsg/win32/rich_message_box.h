// RichMessageBox: a message box whose texts are HTML (richmsg/win32/html_drawer.h), with
// extended and custom buttons, Help and Report buttons, a "Do not show again" check box, a
// countdown that presses the default button or keeps the buttons disabled for a while, an
// optional header band, a footer that "More >>" folds out, and background effects with
// captioned separators per band.
//
//   RichMessageBoxParams params;
//   params.messageText = L"Stop preview. Reverting to previous brightness.";
//   params.style = MB_ICONINFORMATION;   // one OK button
//   params.timeoutSeconds = 10;           // "OK = 10", "OK = 9", ... then presses OK
//   RichMessageBox box;
//   const INT_PTR result = box.Show(params);
//
// Every text field is a string or, when its value is at most 0xFFFF (MAKEINTRESOURCEW), the ID
// of a string resource of resourceModule. The result is the ID of the button that closed the
// box, plus RMB_CHECKBOX_CHECKED when the check box was checked; Escape and the close box give
// IDCANCEL where the box may be cancelled. Each Show keeps its state to itself, so a box may
// be shown while another is up, from any part of the program.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "richmsg/message_box_buttons.h"

namespace dp {

using richbox::RMB_CHECKBOX;
using richbox::RMB_CHECKBOX_BELOW;
using richbox::RMB_CHECKBOX_CHECKED;
using richbox::RMB_NORESOURCE;
using richbox::RMB_NOSOUND;
using richbox::RMB_NOTOALL;
using richbox::RMB_YESTOALL;

// The buttons the system message box does not name.
inline constexpr int IDSKIP = richbox::kSkip;
inline constexpr int IDSKIPALL = richbox::kSkipAll;
inline constexpr int IDIGNOREALL = richbox::kIgnoreAll;
inline constexpr int IDYESTOALL = richbox::kYesToAll;
inline constexpr int IDNOTOALL = richbox::kNoToAll;
inline constexpr int IDREPORT = richbox::kReport;
inline constexpr int IDCUSTOM1 = richbox::kCustom1;
inline constexpr int IDCUSTOM2 = richbox::kCustom2;
inline constexpr int IDCUSTOM3 = richbox::kCustom3;
inline constexpr int IDCUSTOM4 = richbox::kCustom4;
inline constexpr int IDLESS = richbox::kLess;
inline constexpr int IDMORE = richbox::kMore;

// The background of a band and the separator line along its edge.
struct BandSpec {
    int separatorStyle = 0; // 0 none, 1 etched, 2 black line, 3 white line
    int captionAlign = 0;   // 0 left, 1 right, 2 centred
    const wchar_t* separatorCaption = nullptr;
    int effect = -1; // a background effect (richmsg/draw_effects.h); negative: none of its own
    COLORREF colour1 = ::GetSysColor(COLOR_BTNFACE);
    COLORREF colour2 = ::GetSysColor(COLOR_BTNFACE);
    COLORREF colour3 = ::GetSysColor(COLOR_BTNFACE);
};

struct RichMessageBoxParams {
    HWND parentWindow = nullptr;      // null: the active window's last active pop-up
    HMODULE resourceModule = nullptr; // string resources; null: the program's own
    HMODULE iconModule = nullptr;     // customIcon; null: the program's own
    const wchar_t* caption = nullptr; // empty: the owner's title, else "Error"
    UINT reportMessage = 0;           // with an owner: a Report button that sends it there
    BandSpec dialogBand;              // the whole dialog (effect and colours only)
    int headerHeight = 0;             // minimum height of the header band; 0: none
    const wchar_t* headerText = nullptr;
    BandSpec headerBand;
    const wchar_t* messageText = nullptr;
    int buttonAlign = 2; // 0 left, 1 right, 2 centred
    DWORD style = MB_OK | MB_ICONEXCLAMATION;
    BandSpec buttonBand;
    const wchar_t* footerText = nullptr; // non-empty: a More button folds it out
    BandSpec footerBand;
    int timeoutSeconds = 0;     // > 0: count down, then press the default button
    int disabledSeconds = 0;    // > 0: count down with the buttons disabled, then enable them
    int countdownInCaption = 0; // with disabledSeconds: the seconds go into the title
    DWORD helpContext = 0;      // 0: the help file's contents
    const wchar_t* customIcon = nullptr;    // resource name in iconModule, with MB_USERICON
    const wchar_t* customButtons = nullptr; // one button per line, IDCUSTOM1-IDCUSTOM4
    const wchar_t* checkboxText = nullptr;  // default "Do not show again"
    const std::map<int, const wchar_t*>* buttonLabels = nullptr; // labels by button ID
};

class RichMessageBox {
public:
    RichMessageBox() = default;
    RichMessageBox(const RichMessageBox&) = delete;
    RichMessageBox& operator=(const RichMessageBox&) = delete;

    // Shows the box modally with a copy of params; returns the result code.
    INT_PTR Show(const RichMessageBoxParams& params);
    // Shows the box with its own record, whose separator captions, custom buttons and button
    // labels are those set below.
    INT_PTR Show();

    RichMessageBoxParams& Params() { return params_; }
    void SetHeaderCaption(std::wstring text) { headerCaption_ = std::move(text); }
    void SetButtonCaption(std::wstring text) { buttonCaption_ = std::move(text); }
    void SetFooterCaption(std::wstring text) { footerCaption_ = std::move(text); }
    void SetCustomButtons(std::wstring text) { customButtons_ = std::move(text); }
    void SetButtonLabel(int id, std::wstring text) { labels_[id] = std::move(text); }

private:
    RichMessageBoxParams params_;
    std::wstring headerCaption_;
    std::wstring buttonCaption_;
    std::wstring footerCaption_;
    std::wstring customButtons_;
    std::map<int, std::wstring> labels_;
    std::map<int, const wchar_t*> labelPointers_;
};

} // namespace dp

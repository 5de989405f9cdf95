#include "ui/win32/settings_dialog.h"

#include <string>

#include "framework/win32/application.h"
#include "richmsg/win32/rich_message_box.h"
#include "settings/ini_text.h"
#include "settings/localisation.h"
#include "settings/win32/win32_stores.h"
#include "ui/resource_ids.h"
#include "ui/settings_levels.h"

namespace dp {
namespace {

constexpr int kBacklightControls[] = {IDC_BACKLIGHT_GROUP, IDC_AC_LABEL,   IDC_AC_SLIDER,
                                      IDC_AC_EDIT,         IDC_DC_LABEL,   IDC_DC_SLIDER,
                                      IDC_DC_EDIT,         IDC_PREVIEW_AC, IDC_PREVIEW_DC};
constexpr int kPreviewSeconds = 10;

std::wstring ItemText(HWND dialog, int id) {
    HWND item = ::GetDlgItem(dialog, id);
    const int length = item ? ::GetWindowTextLengthW(item) : 0;
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = length > 0 ? ::GetWindowTextW(item, text.data(), length + 1) : 0;
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

} // namespace

SettingsDialog::SettingsDialog(AboutHost& host, Parameters& parameters, HWND owner)
    : Dialog(kSettingsTemplate, owner), host_(host), parameters_(parameters) {}

void SettingsDialog::BindControls() {
    manualLink_.Attach(Handle(), IDC_MANUAL_LINK);
    acSlider_.Attach(Handle(), IDC_AC_SLIDER);
    dcSlider_.Attach(Handle(), IDC_DC_SLIDER);
}

bool SettingsDialog::OnInitDialog() {
    manualLink_.SetLinkUrl(host_.LinkAddresses().supportUrl);
    manualLink_.SetUnderlineMode(kUnderlineAlways);

    const bool backlight = controller_.IsBacklightMode();
    EnableBacklightControls(backlight);
    if (backlight) {
        PlaceSlider(acSlider_, IDC_AC_EDIT, parameters_.acBrightness);
        PlaceSlider(dcSlider_, IDC_DC_EDIT, parameters_.dcBrightness);
    } else {
        Win32IniStore ini;
        ShowMessageBox(LookupMessage(ini, host_.LanguageFile(), kNothingSupportText), MB_OK);
    }
    ::CheckDlgButton(Handle(), IDC_RESUME_LOCK,
                     parameters_.resumePasswordProtect != 0 ? BST_CHECKED : BST_UNCHECKED);
    return true;
}

void SettingsDialog::EnableBacklightControls(bool enable) {
    for (int id : kBacklightControls)
        ::EnableWindow(Item(id), enable ? TRUE : FALSE);
}

// The edit shows the stored level as it is, even where the slider can only come near it: OK
// without touching the slider then stores exactly what was stored.
void SettingsDialog::PlaceSlider(SliderControl& slider, int editId, std::int32_t storedLevel) {
    const std::uint32_t count = controller_.GetLevelCount();
    slider.SetRange(0, static_cast<int>(SliderMaximum(count)));
    slider.SetPos(
        static_cast<int>(SliderPositionForLevel(controller_.GetLevels(), count, storedLevel)));
    ::SetDlgItemTextW(Handle(), editId, FormatInt(storedLevel).c_str());
}

void SettingsDialog::ShowLevelAt(const SliderControl& slider, int editId) {
    const std::uint8_t level = controller_.GetLevel(static_cast<std::uint32_t>(slider.GetPos()));
    ::SetDlgItemTextW(Handle(), editId, FormatInt(level).c_str());
}

// Moving a slider changes the number shown, never the panel.
void SettingsDialog::OnHScroll(HWND control) {
    if (control && control == dcSlider_.Handle())
        ShowLevelAt(dcSlider_, IDC_DC_EDIT);
    if (control && control == acSlider_.Handle())
        ShowLevelAt(acSlider_, IDC_AC_EDIT);
}

void SettingsDialog::Preview(const SliderControl& slider) {
    if (controller_.IsBacklightMode()) {
        previewGuard_.emplace(controller_);
        // A change without its record could outlive a killed program: the box alone then.
        if (previewGuard_->AllowsChange())
            preview_.Begin(controller_.GetLevel(static_cast<std::uint32_t>(slider.GetPos())));
    }
    ShowPreviewBox();
    EndPreview();
}

void SettingsDialog::ShowPreviewBox() {
    Win32IniStore ini;
    const std::wstring text = LookupMessage(ini, host_.LanguageFile(), kPrevBrightnessText);
    RichMessageBoxParams params;
    params.messageText = text.c_str();
    params.style = MB_ICONINFORMATION | MB_OK;
    params.timeoutSeconds = kPreviewSeconds;
    RichMessageBox box;
    box.Show(params);
}

void SettingsDialog::EndPreview() {
    preview_.End();
    previewGuard_.reset();
}

// The process ends once this returns, without destructors: the preview's revert and the
// controller's restore happen now.
void SettingsDialog::OnEndSession() {
    EndPreview();
    controller_.RestoreBrightness();
}

void SettingsDialog::OnAbout() {
    AboutDialog about(host_, Handle());
    // The update replaces this program: the settings close as Cancel closes them (the stored
    // settings stay as they are), so that the process ends and its file is free.
    if (about.DoModal() == kUpdaterStartedResult)
        ::PostMessageW(Handle(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

std::int32_t SettingsDialog::ShownLevel(int editId) const {
    return ParseLeadingInt(ItemText(Handle(), editId)).value_or(0);
}

void SettingsDialog::OnOK() {
    if (controller_.IsBacklightMode()) {
        parameters_.acBrightness = ShownLevel(IDC_AC_EDIT);
        parameters_.dcBrightness = ShownLevel(IDC_DC_EDIT);
    }
    parameters_.resumePasswordProtect =
        ::IsDlgButtonChecked(Handle(), IDC_RESUME_LOCK) == BST_CHECKED ? 1 : 0;
    EndDialog(IDOK);
}

bool SettingsDialog::OnCommand(int id, int code, HWND) {
    if (code != BN_CLICKED)
        return false;
    switch (id) {
    case IDC_ABOUT_BUTTON:
        OnAbout();
        return true;
    case IDC_PREVIEW_AC:
        Preview(acSlider_);
        return true;
    case IDC_PREVIEW_DC:
        Preview(dcSlider_);
        return true;
    default:
        return false;
    }
}

bool SettingsDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
    switch (message) {
    case WM_HSCROLL:
        OnHScroll(reinterpret_cast<HWND>(lParam));
        return false;
    case WM_ENDSESSION:
        if (wParam)
            OnEndSession();
        *result = TRUE;
        return true;
    default:
        return false;
    }
}

} // namespace dp

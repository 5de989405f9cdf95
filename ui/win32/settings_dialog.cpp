#include "ui/win32/settings_dialog.h"

#include <string>
#include <utility>
#include <vector>

#include "brightness/win32/ddc_monitors.h"
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

    ProbeMonitors();
    levels_ = ChooseSliderLevels(controller_.IsBacklightMode(), controller_.GetLevels(),
                                 controller_.GetLevelCount(), answeringMonitors_);
    const bool enabled = levels_.Enabled();
    EnableBacklightControls(enabled);
    if (enabled) {
        PlaceSlider(acSlider_, IDC_AC_EDIT, parameters_.acBrightness);
        PlaceSlider(dcSlider_, IDC_DC_EDIT, parameters_.dcBrightness);
    } else {
        Win32IniStore ini;
        ShowMessageBox(LookupMessage(ini, host_.LanguageFile(), kNothingSupportText), MB_OK);
    }
    ::CheckDlgButton(Handle(), IDC_RESUME_LOCK,
                     parameters_.resumePasswordProtect != 0 ? BST_CHECKED : BST_UNCHECKED);
    ::CheckDlgButton(Handle(), IDC_DIM_MONITORS,
                     parameters_.dimExternalMonitors != 0 ? BST_CHECKED : BST_UNCHECKED);
    return true;
}

// One read of every monitor: those that answer with a usable range are named under the box.
// Nothing here may keep the dialog from opening.
void SettingsDialog::ProbeMonitors() {
    std::vector<std::wstring> names;
    try {
        std::unique_ptr<DdcMonitorBus> bus = DdcMonitorBus::Open();
        if (bus) {
            for (std::size_t i = 0; i < bus->Count(); ++i) {
                const std::optional<MonitorBrightness> reading = bus->Read(i);
                if (reading && IsUsableReading(*reading))
                    names.push_back(bus->Description(i));
            }
            monitorBus_ = std::move(bus);
        }
    } catch (...) {
        monitorBus_.reset();
        names.clear();
    }
    answeringMonitors_ = names.size();
    ::SetDlgItemTextW(Handle(), IDC_MONITOR_NAMES, MonitorNamesLine(names).c_str());
}

bool SettingsDialog::MonitorsChosen() const {
    return monitorBus_ && answeringMonitors_ > 0 &&
           ::IsDlgButtonChecked(Handle(), IDC_DIM_MONITORS) == BST_CHECKED;
}

void SettingsDialog::EnableBacklightControls(bool enable) {
    for (int id : kBacklightControls)
        ::EnableWindow(Item(id), enable ? TRUE : FALSE);
}

// The edit shows the stored level as it is, even where the slider can only come near it: OK
// without touching the slider then stores exactly what was stored.
void SettingsDialog::PlaceSlider(SliderControl& slider, int editId, std::int32_t storedLevel) {
    slider.SetRange(0, static_cast<int>(SliderMaximum(levels_.count)));
    slider.SetPos(
        static_cast<int>(SliderPositionForLevel(levels_.levels, levels_.count, storedLevel)));
    ::SetDlgItemTextW(Handle(), editId, FormatInt(storedLevel).c_str());
}

void SettingsDialog::ShowLevelAt(const SliderControl& slider, int editId) {
    const std::uint8_t level = LevelAt(slider);
    ::SetDlgItemTextW(Handle(), editId, FormatInt(level).c_str());
}

// Moving a slider changes the number shown, never the panel.
void SettingsDialog::OnHScroll(HWND control) {
    if (control && control == dcSlider_.Handle())
        ShowLevelAt(dcSlider_, IDC_DC_EDIT);
    if (control && control == acSlider_.Handle())
        ShowLevelAt(acSlider_, IDC_AC_EDIT);
}

std::uint8_t SettingsDialog::LevelAt(const SliderControl& slider) const {
    const int position = slider.GetPos();
    if (position < 0 || static_cast<std::uint32_t>(position) >= levels_.count)
        return 0;
    return levels_.levels[static_cast<std::size_t>(position)];
}

// The panel, and the monitors while their box is checked, show the level for the box's ten
// seconds; the monitors go back after the panel.
void SettingsDialog::Preview(const SliderControl& slider) {
    if (levels_.Enabled()) {
        const bool monitors = MonitorsChosen();
        previewGuard_.emplace(controller_, monitors);
        // A change without its record could outlive a killed program: the box alone then.
        if (previewGuard_->AllowsChange()) {
            const std::uint8_t level = LevelAt(slider);
            preview_.Begin(level);
            if (monitors)
                StartMonitorPreview(level);
        }
    }
    ShowPreviewBox();
    EndPreview();
}

void SettingsDialog::StartMonitorPreview(std::uint8_t level) {
    try {
        previewMonitors_ = std::make_unique<MonitorWorkers>(
            monitorBus_, std::make_shared<SystemMonitorClock>(), MonitorWorkers::kExitWait,
            [](std::size_t index, const MonitorBrightness& reading) {
                return RecordMonitorBrightness(index, reading.current);
            });
        previewMonitors_->SetLevel(level);
    } catch (...) {
        previewMonitors_.reset();
    }
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
    // Puts the monitors back and waits (bounded) for them: the record stays until then.
    previewMonitors_.reset();
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
    if (levels_.Enabled()) {
        parameters_.acBrightness = ShownLevel(IDC_AC_EDIT);
        parameters_.dcBrightness = ShownLevel(IDC_DC_EDIT);
    }
    parameters_.resumePasswordProtect =
        ::IsDlgButtonChecked(Handle(), IDC_RESUME_LOCK) == BST_CHECKED ? 1 : 0;
    parameters_.dimExternalMonitors =
        ::IsDlgButtonChecked(Handle(), IDC_DIM_MONITORS) == BST_CHECKED ? 1 : 0;
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

// The screen saver's settings dialog (template 101): a slider per power source over the levels
// the panel supports, each with the level it stands for and a Preview button that shows that
// level on the panel for a ten-second countdown box; the lock-on-resume check box; About; the
// online manual link. OK stores the shown levels and the check box in the parameter record,
// Cancel changes nothing; the brightness is put back when the dialog goes away. The "Also dim
// external monitors" box lists the monitors that answered over DDC/CI; while it is checked a
// preview dims them too. Without a panel to control, the sliders run over 0, 10, ..., 100 for the
// monitors alone.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "brightness/monitor_workers.h"
#include "brightness/win32/brightness_restore.h"
#include "brightness/win32/system_brightness.h"
#include "framework/win32/dialog.h"
#include "settings/parameter_store.h"
#include "ui/brightness_preview.h"
#include "ui/settings_levels.h"
#include "ui/win32/about_dialog.h"
#include "ui/win32/link_label.h"
#include "ui/win32/slider_control.h"

namespace dp {

inline constexpr int kSettingsTemplate = 101;

class SettingsDialog : public Dialog {
public:
    // Probes the panel. host provides the addresses, the language file and the About dialog's
    // updater; parameters is the record OK writes to. Without an owner the dialog stands alone.
    SettingsDialog(AboutHost& host, Parameters& parameters, HWND owner);

protected:
    void BindControls() override;
    bool OnInitDialog() override;
    void OnOK() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;

private:
    void ProbeMonitors();
    bool MonitorsChosen() const;
    void EnableBacklightControls(bool enable);
    void PlaceSlider(SliderControl& slider, int editId, std::int32_t storedLevel);
    void ShowLevelAt(const SliderControl& slider, int editId);
    void OnHScroll(HWND control);
    std::uint8_t LevelAt(const SliderControl& slider) const;
    void Preview(const SliderControl& slider);
    void StartMonitorPreview(std::uint8_t level);
    void ShowPreviewBox();
    void EndPreview();
    void OnEndSession();
    void OnAbout();
    std::int32_t ShownLevel(int editId) const;

    // The controller comes first and goes last: its destruction puts the brightness back.
    SystemBrightnessController controller_;
    LinkLabel manualLink_;
    SliderControl acSlider_;
    SliderControl dcSlider_;
    AboutHost& host_;
    Parameters& parameters_;
    BrightnessPreview preview_{controller_};
    // The sliders' levels: the panel's, or the monitors' steps on a computer without one.
    SliderLevels levels_;
    // The external monitors as found at opening, and those that answered with a usable range.
    std::shared_ptr<MonitorBus> monitorBus_;
    std::size_t answeringMonitors_ = 0;
    // From before a preview's change until its revert: a crash in between still puts it back.
    std::optional<BrightnessChangeGuard> previewGuard_;
    // The monitors during a preview; gone (put back) before the guard goes.
    std::unique_ptr<MonitorWorkers> previewMonitors_;
};

} // namespace dp

"""Duskpanel.scr /c with simulated DDC/CI monitors (testing/ddcsim.py): the "Also dim external
monitors" box names the monitors that answered, its choice is stored in both stores, a preview
dims the monitors with the panel and puts them back with it; on a desktop without a panel the
dialog opens with its sliders enabled over 0, 10, ..., 100 and previews on the monitors alone."""
import unittest

import ddcsim
from test_renewick import IDOK
from test_settings_dialog import (BACKLIGHT_CONTROLS, COUNTDOWN, IDC_AC_EDIT, IDC_AC_SLIDER,
                                  IDC_DC_SLIDER, IDC_DIM_MONITORS, IDC_MONITOR_NAMES,
                                  IDC_PREVIEW_AC, NOTHING_SUPPORT, PROFILE, STORED_AC,
                                  SettingsCase)
from winetest import build_dir, wait_until

BOX_TEXT = "Also dim external monitors"


def monitors():
    return [ddcsim.monitor(current=70, minimum=0, maximum=100, latency_ms=30, name="Left"),
            ddcsim.monitor(current=200, minimum=20, maximum=220, latency_ms=30, name="Right"),
            ddcsim.monitor(current=50, fail=ddcsim.FAIL_ALL, name="Off")]


class MonitorsCase(SettingsCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        try:
            ddcsim.install(cls.wine.path, build_dir(), monitors())
        except BaseException:
            cls.wine.close()
            raise

    def setUp(self):
        super().setUp()
        ddcsim.configure(self.wine.path, monitors(), clear_calls=True)

    def monitor_sets(self, index):
        return ddcsim.sets(self.wine.path, index)

    def preview_ac_at(self, dialog, position, level):
        """Moves the AC slider, presses its Preview and waits for the box; returns the box."""
        self.act("slider", dialog.hwnd, IDC_AC_SLIDER, position)
        self.wait_text(dialog, IDC_AC_EDIT, str(level))
        self.act("press", dialog.hwnd, IDC_PREVIEW_AC)
        box = self.find("--text", COUNTDOWN)
        self.assertIsNotNone(box, "no preview box")
        return box

    def end_preview(self, box):
        self.act("press", box.hwnd, IDOK)
        self.assertEqual(self.driver("wait-gone", box.hwnd, "--timeout", 20000)[0], 0)


class PanelAndMonitors(MonitorsCase):
    prefix_name = "settings-monitors"

    def test_the_box_names_the_monitors_and_a_preview_dims_them_and_puts_them_back(self):
        dialog = self.open_dialog("/c")
        self.assertEqual(dialog.text(IDC_DIM_MONITORS), BOX_TEXT)
        self.assertEqual(dialog.checks[IDC_DIM_MONITORS], 1, "an old file without the key: on")
        self.assertEqual(dialog.text(IDC_MONITOR_NAMES), "Left, Right", "the one off is not named")
        self.assertEqual(self.monitor_sets(None), [], "opening changed a monitor")

        box = self.preview_ac_at(dialog, 4, 40)
        # 40 % of each monitor's own range, while the box counts down.
        self.assertTrue(wait_until(lambda: self.monitor_sets(0) == [40]
                                   and self.monitor_sets(1) == [100], timeout=10, interval=0.1),
                        ddcsim.sets(self.wine.path))
        self.assertEqual(self.sets(), [bytes([3, 40, 40])])
        self.end_preview(box)
        self.assertTrue(wait_until(lambda: ddcsim.state(self.wine.path)["current"][:2]
                                   == [70, 200], timeout=10, interval=0.1),
                        ddcsim.sets(self.wine.path))
        self.assertEqual(self.sets()[-1], bytes([1, 70, 70]), "the panel back as well")
        self.assertEqual(self.restore_records(), [])

        # Unchecked, the next preview is the panel's alone, and OK stores the choice.
        self.act("click", dialog.hwnd, IDC_DIM_MONITORS)
        self.assertTrue(wait_until(lambda: self.describe(dialog).checks[IDC_DIM_MONITORS] == 0,
                                   timeout=10, interval=0.1))
        box = self.preview_ac_at(dialog, 2, 20)
        self.end_preview(box)
        self.assertEqual(self.monitor_sets(0), [40, 70], "the unchecked box still dimmed")
        self.assertEqual(self.sets()[-2:], [bytes([3, 20, 20]), bytes([1, 70, 70])])

        self.act("press", dialog.hwnd, IDOK)
        self.assert_ends()
        self.assertEqual(self.stored("AC", "Dim_external_monitors"), [20, 0])
        self.assertEqual(self.wine.reg_query(PROFILE, "Dim_external_monitors"), 0)

    def test_a_stored_off_opens_unchecked_and_ok_can_turn_it_on(self):
        with open(self.param_ini(), "ab") as f:
            f.write(b"Dim_external_monitors=0\r\n")
        dialog = self.open_dialog("/c")
        self.assertEqual(dialog.checks[IDC_DIM_MONITORS], 0)
        self.act("click", dialog.hwnd, IDC_DIM_MONITORS)
        self.assertTrue(wait_until(lambda: self.describe(dialog).checks[IDC_DIM_MONITORS] == 1,
                                   timeout=10, interval=0.1))
        self.act("press", dialog.hwnd, IDOK)
        self.assert_ends()
        self.assertEqual(self.stored("Dim_external_monitors"), [1])
        self.assertEqual(self.wine.reg_query(PROFILE, "Dim_external_monitors"), 1)


class DesktopWithMonitors(MonitorsCase):
    prefix_name = "settings-desktop-monitors"
    with_panel = False

    def test_the_sliders_are_enabled_over_tens_and_preview_on_the_monitors_alone(self):
        self.start("/c")
        dialog = self.find("--title", "Duskpanel Settings")
        self.assertIsNotNone(dialog, "the settings dialog did not appear")
        self.assertIsNone(self.find_now("--text", NOTHING_SUPPORT), "nothing_support shown")
        self.assertTrue(all(dialog.enabled[i] for i in BACKLIGHT_CONTROLS), dialog.enabled)
        self.assertEqual(dialog.trackbars[IDC_AC_SLIDER], (0, 10, 3), "35 sits nearest 30")
        self.assertEqual(dialog.trackbars[IDC_DC_SLIDER], (0, 10, 2))
        self.assertEqual(dialog.text(IDC_AC_EDIT), str(STORED_AC))

        box = self.preview_ac_at(dialog, 6, 60)
        self.assertTrue(wait_until(lambda: self.monitor_sets(0) == [60]
                                   and self.monitor_sets(1) == [140], timeout=10, interval=0.1),
                        ddcsim.sets(self.wine.path))
        self.assertEqual(len(self.restore_records()), 1, "the preview is recorded crash-safe")
        self.end_preview(box)
        self.assertTrue(wait_until(lambda: ddcsim.state(self.wine.path)["current"][:2]
                                   == [70, 200], timeout=10, interval=0.1))
        self.assertEqual(self.restore_records(), [])

        self.act("press", dialog.hwnd, IDOK)
        self.assert_ends()
        self.assertEqual(self.stored("AC", "Dim_external_monitors"), [60, 1])

    def find_now(self, option, value):
        code, _ = self.driver("find", "--class", "#32770", "--timeout", 500, option, value)
        return code == 0 or None


if __name__ == "__main__":
    unittest.main()

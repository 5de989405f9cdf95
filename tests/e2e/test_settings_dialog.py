"""Duskpanel.scr /c: the settings dialog on the simulated panel and without one, driven through
dialog_driver.exe (window texts, posted messages); the panel's record shows what reached it."""
import os
import shutil
import subprocess
import unittest

import lcdsim
from test_renewick import IDCANCEL, IDOK, Window, drive_dialogs
from winetest import REG, WINE, WinePrefix, build_dir, program, wait_until

INSTALLED = r"C:\Program Files\Duskpanel\Duskpanel.scr"
SHARED_FOLDER = r"C:\ProgramData\Nerovane\Duskpanel"
PROFILE = r"HKCU\Software\Nerovane\Duskpanel"
TITLE = "Duskpanel Settings"

IDC_DC_SLIDER, IDC_DC_EDIT, IDC_AC_SLIDER, IDC_AC_EDIT = 1003, 1004, 1005, 1006
IDC_RESUME_LOCK, IDC_ABOUT, IDC_PREVIEW_AC, IDC_PREVIEW_DC = 1041, 1046, 1048, 1049
BACKLIGHT_CONTROLS = (1039, 1031, IDC_AC_SLIDER, IDC_AC_EDIT, 1030, IDC_DC_SLIDER, IDC_DC_EDIT,
                      IDC_PREVIEW_AC, IDC_PREVIEW_DC)
IDC_DIM_MONITORS, IDC_MONITOR_NAMES = 1070, 1071
WM_ENDSESSION = 0x16

START = 70               # the panel's brightness before the dialog opens
SCHEMES = (START, 60, 30)  # re-applying the active scheme puts START back, as on a real system
STORED_AC, STORED_DC = 35, 20  # 35 is no entry of 0, 10, ... 100: the slider comes near it
# The preview box paints its message itself; its OK button carries the countdown ("OK = 10").
COUNTDOWN = "OK = "
NOTHING_SUPPORT = "Sorry! Your LCD monitor does not support control LCD backlight"


class SettingsCase(unittest.TestCase):
    prefix_name = "settings"
    with_panel = True

    @classmethod
    def setUpClass(cls):
        cls.wine = WinePrefix(cls.prefix_name)
        try:
            lcdsim.start_server(cls.wine.path)
            target = cls.wine.unix_path(INSTALLED)
            os.makedirs(os.path.dirname(target), exist_ok=True)
            shutil.copy(program("Duskpanel.scr"), target)
            cls.driver_exe = program("dialog_driver.exe")
            if cls.with_panel:
                lcdsim.install(cls.wine.path, build_dir(), record=(1, START, START),
                               schemes=SCHEMES)
        except BaseException:
            cls.wine.close()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.wine.close()

    def setUp(self):
        os.makedirs(os.path.dirname(self.param_ini()), exist_ok=True)
        with open(self.param_ini(), "wb") as f:
            f.write(b"[public]\r\nAC=%d\r\nDC=%d\r\nEnable_resume_password_protect=0\r\n"
                    % (STORED_AC, STORED_DC))
        if self.with_panel:
            lcdsim.configure(self.wine.path, record=(1, START, START), active_scheme=0,
                             clear_history=True, clear_power_calls=True)
        self.process = None
        self.addCleanup(self.end_leftover)

    # --- the program ------------------------------------------------------------------------
    def param_ini(self):
        return os.path.join(self.wine.unix_path(SHARED_FOLDER), "Param.ini")

    def stored(self, *keys):
        with open(self.param_ini(), "rb") as f:
            values = dict(line.split("=", 1) for line in f.read().decode().split() if "=" in line)
        return [int(values[k]) for k in keys]

    def start(self, *args):
        self.process = subprocess.Popen([WINE, self.wine.unix_path(INSTALLED), *args],
                                        env=self.wine.env, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def assert_ends(self, timeout=30):
        try:
            self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.fail(f"the program still runs after {timeout} s")
        self.assertEqual(self.process.returncode, 0)

    def end_leftover(self):
        if self.process and self.process.poll() is None:
            self.process.kill()
            self.process.wait(timeout=30)

    # --- dialogs ----------------------------------------------------------------------------
    def driver(self, *args, timeout=90):
        return drive_dialogs(self.wine, self.driver_exe, *args, timeout=timeout)

    def find(self, option, value):
        code, lines = self.driver("find", "--class", "#32770", "--timeout", 30000, option, value)
        return Window(lines) if code == 0 else None

    def describe(self, window):
        return Window(self.driver("describe", window.hwnd)[1])

    def open_dialog(self, *args):
        self.start(*args)
        dialog = self.find("--title", TITLE)
        self.assertIsNotNone(dialog, "the settings dialog did not appear")
        return dialog

    def act(self, *args):
        self.assertEqual(self.driver(*args)[0], 0, args)

    def wait_text(self, dialog, control_id, text):
        seen = wait_until(lambda: self.describe(dialog).text(control_id) == text, timeout=10,
                          interval=0.1)
        self.assertTrue(seen, f"control {control_id} never showed {text!r}")

    # --- the panel --------------------------------------------------------------------------
    def sets(self):
        return [e["in"] for e in lcdsim.history(self.wine.path)
                if e["req"] == "SET_DISPLAY_BRIGHTNESS"]

    def restore_records(self):
        out = subprocess.run([WINE, REG, "query", PROFILE + r"\restore_brightness"],
                             env=self.wine.env, capture_output=True, timeout=60)
        return [line for line in out.stdout.decode("utf-8", "replace").splitlines()
                if "REG_SZ" in line]


class WithThePanel(SettingsCase):
    prefix_name = "settings-panel"

    def test_levels_shown_previewed_on_the_panel_reverted_and_stored_with_ok(self):
        dialog = self.open_dialog("/c")
        self.assertTrue(all(dialog.enabled[i] for i in BACKLIGHT_CONTROLS), dialog.enabled)
        self.assertEqual((dialog.text(IDC_AC_EDIT), dialog.text(IDC_DC_EDIT)),
                         (str(STORED_AC), str(STORED_DC)), "the edits show the stored levels")
        self.assertEqual(dialog.trackbars[IDC_AC_SLIDER], (0, 10, 3), "35 sits nearest 30")
        self.assertEqual(dialog.trackbars[IDC_DC_SLIDER], (0, 10, 2))
        self.assertEqual(dialog.checks[IDC_RESUME_LOCK], 0)

        self.act("slider", dialog.hwnd, IDC_DC_SLIDER, 4)
        self.wait_text(dialog, IDC_DC_EDIT, "40")
        self.assertEqual(self.sets(), [], "moving a slider changed the panel")

        self.act("press", dialog.hwnd, IDC_PREVIEW_DC)
        box = self.find("--text", COUNTDOWN)
        self.assertIsNotNone(box, "no preview box")
        self.assertEqual(box.owner, int(dialog.hwnd, 16))
        self.assertRegex(box.text(IDOK), r"^OK = (10|9|8)$", "the countdown is on the button")
        self.assertEqual(self.sets(), [bytes([3, 40, 40])])
        self.assertEqual(lcdsim.current_record(self.wine.path), (1, 40, 40))
        self.assertEqual(len(self.restore_records()), 1, "the preview is recorded crash-safe")

        # The countdown closes the box by itself after ten seconds.
        self.assertEqual(self.driver("wait-gone", box.hwnd, "--timeout", 20000)[0], 0)
        reverted = wait_until(lambda: len(self.sets()) == 2, timeout=10, interval=0.1)
        self.assertTrue(reverted, self.sets())
        self.assertEqual(self.sets()[1], bytes([1, START, START]), "a mains revert to the start")
        self.assertEqual(self.restore_records(), [])

        self.act("press", dialog.hwnd, IDOK)
        self.assert_ends()
        # 35 is no level of the panel's; untouched, it is stored as it was, not as the 30 its
        # slider stands at.
        self.assertEqual(self.stored("AC", "DC"), [STORED_AC, 40], "the untouched level as is")
        self.assertEqual(self.wine.reg_query(PROFILE, "AC"), STORED_AC)
        self.assertEqual(self.wine.reg_query(PROFILE, "DC"), 40)
        self.assertEqual(lcdsim.current_record(self.wine.path), (1, START, START))

    def test_cancel_stores_nothing_and_the_brightness_is_restored(self):
        dialog = self.open_dialog("/c")
        self.act("slider", dialog.hwnd, IDC_AC_SLIDER, 8)
        self.wait_text(dialog, IDC_AC_EDIT, "80")
        self.act("click", dialog.hwnd, IDC_RESUME_LOCK)
        self.act("press", dialog.hwnd, IDCANCEL)
        self.assert_ends()
        self.assertEqual(self.stored("AC", "DC", "Enable_resume_password_protect"),
                         [STORED_AC, STORED_DC, 0])
        self.assertEqual(self.wine.reg_query(PROFILE, "AC"), STORED_AC)
        switches = [c["scheme"] for c in lcdsim.power_calls(self.wine.path)
                    if c["call"] == "SetActive"]
        self.assertEqual(switches, [1, 0], "the active scheme is applied again")
        self.assertEqual(lcdsim.current_record(self.wine.path), (1, START, START))

    def test_a_second_start_and_the_session_end_during_a_preview_leave_the_brightness_back(self):
        first = self.open_dialog("/c")
        self.act("slider", first.hwnd, IDC_DC_SLIDER, 6)
        self.act("press", first.hwnd, IDC_PREVIEW_DC)
        self.assertIsNotNone(self.find("--text", COUNTDOWN), "no preview box")
        self.assertEqual(self.sets(), [bytes([3, 60, 60])])

        # A second dialog would read the previewed 60 as the brightness to go back to.
        second = subprocess.run([WINE, self.wine.unix_path(INSTALLED), "/c"], env=self.wine.env,
                                stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
        self.assertEqual(second.returncode, 0)
        self.assertEqual(self.sets(), [bytes([3, 60, 60])], "the second start touched the panel")

        self.act("post", first.hwnd, WM_ENDSESSION, 1)
        back = wait_until(lambda: lcdsim.current_record(self.wine.path) == (1, START, START),
                          timeout=10, interval=0.1)
        self.assertTrue(back, self.sets())
        self.assertEqual(self.sets()[1], bytes([1, START, START]))
        self.assertEqual(self.restore_records(), [])
        # The system ends the process now; nothing else runs in it.
        self.process.kill()
        self.process.wait(timeout=30)
        self.assertEqual(lcdsim.current_record(self.wine.path), (1, START, START))

    def test_each_configure_command_line_shows_the_dialog_with_its_owner(self):
        host = subprocess.Popen([WINE, self.driver_exe, "host", "--title", "stand-in",
                                 "--timeout", "120000"], env=self.wine.env,
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL, text=True)
        self.addCleanup(host.wait, 30)
        self.addCleanup(host.kill)
        owner = int(host.stdout.readline().split()[1], 16)
        rows = [("no switch", [], 0),
                ("/c:<window>", [f"/c:{owner}"], owner),
                ("/c <window>", ["/c", str(owner)], owner),
                ("a number that names no window", ["/c", "1234"], 0)]
        for name, args, expected_owner in rows:
            with self.subTest(name):
                dialog = self.open_dialog(*args)
                self.assertEqual(dialog.owner, expected_owner)
                self.act("press", dialog.hwnd, IDCANCEL)
                self.assert_ends()


class WithoutThePanel(SettingsCase):
    prefix_name = "settings-no-panel"
    with_panel = False

    def test_the_box_says_so_the_backlight_controls_stay_disabled_and_ok_stores_the_lock(self):
        self.start("/c")
        box = self.find("--text", NOTHING_SUPPORT)
        self.assertIsNotNone(box, "no nothing_support box")
        self.assertEqual(box.caption, "Duskpanel")
        self.act("press", box.hwnd, IDOK)
        dialog = self.find("--title", TITLE)
        self.assertIsNotNone(dialog, "no dialog after the box")
        self.assertFalse(any(dialog.enabled[i] for i in BACKLIGHT_CONTROLS), dialog.enabled)
        self.assertTrue(dialog.enabled[IDC_RESUME_LOCK] and dialog.enabled[IDC_ABOUT])
        # Wine's own monitor library reports no physical monitor.
        self.assertEqual(dialog.text(IDC_MONITOR_NAMES), "none answered")
        self.act("click", dialog.hwnd, IDC_RESUME_LOCK)
        self.assertTrue(wait_until(lambda: self.describe(dialog).checks[IDC_RESUME_LOCK] == 1,
                                   timeout=10, interval=0.1))
        self.act("press", dialog.hwnd, IDOK)
        self.assert_ends()
        self.assertEqual(self.stored("AC", "DC", "Enable_resume_password_protect"),
                         [STORED_AC, STORED_DC, 1])


if __name__ == "__main__":
    unittest.main()

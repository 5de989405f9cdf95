"""A saver that dies dimmed does not leave the panel dark: a fault in the running saver puts the
brightness back before the process ends; a saver killed outright leaves its record in the
profile, and the next start of Duskpanel.scr puts the brightness back before anything else,
while a record of a saver that still runs is left alone.
"""
import unittest

import lcdsim
from test_saver_run import AC_LEVEL, INSTALLED, START_BRIGHTNESS, SaverCase
from winetest import wait_until

RECORDS = r"HKCU\Software\Nerovane\Duskpanel\restore_brightness"
# Wine's debugger takes activation, which would end the saver in an orderly way and hide what
# the exception filter did: the system's debugger entry ends the faulting process instead.
AEDEBUG = r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug"

DIMMED = bytes([1, AC_LEVEL, AC_LEVEL])
PUT_BACK = bytes([3, START_BRIGHTNESS, START_BRIGHTNESS])


class SaverCrashTest(SaverCase):
    prefix_name = "saver-crash"

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        lcdsim.reg_import(cls.wine.path, [(AEDEBUG, {
            "Debugger": ("sz", "taskkill.exe /f /pid %ld"), "Auto": ("sz", "1")})])

    def records(self):
        """{value name: record text} of the profile's restore records."""
        values = lcdsim.read_key(self.wine.path, RECORDS).get(
            RECORDS.replace("HKCU", "HKEY_CURRENT_USER"), {})
        return {name: data for name, (_, data) in values.items()}

    def scheme_switches(self):
        return [c for c in lcdsim.power_calls(self.wine.path) if c["call"] == "SetActive"]

    def test_a_fault_in_the_running_saver_puts_the_captured_brightness_back(self):
        window, _ = self.start_and_wait_dimmed()
        (text,) = self.records().values()
        self.assertTrue(text.startswith(f"process={window['pid']} started="), text)
        self.assertTrue(text.endswith(f" restore={START_BRIGHTNESS},{START_BRIGHTNESS}"), text)

        self.assertEqual(self.driver("fault", window["pid"]).returncode, 0)
        self.assertTrue(self.wait_ended(), "the faulting saver did not end")
        self.assertEqual(self.sets(), [DIMMED, PUT_BACK])
        self.assertEqual(self.scheme_switches(), [], "ended in an orderly way instead")
        self.assertEqual(self.records(), {})

    def test_a_killed_saver_is_undone_by_the_next_start_and_a_running_one_is_left_alone(self):
        window, _ = self.start_and_wait_dimmed()
        left = self.records()
        self.assertEqual(len(left), 1)

        # Another start while the saver runs: its record and the panel stay as they are.
        self.assertEqual(self.wine.run(self.wine.unix_path(INSTALLED), "/p", "1").returncode, 0)
        self.assertEqual(self.records(), left)
        self.assertEqual(self.sets(), [DIMMED])

        self.assertEqual(self.driver("terminate", window["pid"]).returncode, 0)
        self.assertTrue(self.wait_ended())
        self.assertEqual(lcdsim.current_record(self.wine.path), (1, AC_LEVEL, START_BRIGHTNESS),
                         "nothing of a killed process runs: the panel stays dim")
        self.assertEqual(self.records(), left)

        self.start_saver()
        self.assertTrue(wait_until(lambda: self.sets().count(DIMMED) == 2, timeout=30,
                                   interval=0.2), self.sets())
        self.assertEqual(self.sets(), [DIMMED, PUT_BACK, DIMMED], "put back before the new dim")
        now = self.records()
        self.assertEqual(len(now), 1)
        self.assertNotEqual(now.keys(), left.keys(), "the killed saver's record is cleared")

        self.driver("key", 0x10)
        self.assertTrue(self.wait_ended())
        self.assertEqual(self.records(), {}, "an orderly end clears its record")


if __name__ == "__main__":
    unittest.main()

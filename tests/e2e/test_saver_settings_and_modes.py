"""Duskpanel.scr started as the system or a user would: first run, /d, /r, /s (/c has its own
file, test_settings_dialog.py)."""
import os
import shutil
import subprocess
import unittest

import lcdsim
from winetest import REG, WINE, WINESERVER, WinePrefix, program

PROFILE = r"HKCU\Software\Nerovane\Duskpanel"
BACKUP = PROFILE + r"\restore_param"
DESKTOP = r"HKCU\Control Panel\Desktop"
INSTALLED = r"C:\Program Files\Duskpanel\Duskpanel.scr"


class SaverTestCase(unittest.TestCase):
    prefix_name = "saver"

    @classmethod
    def setUpClass(cls):
        cls.wine = WinePrefix(cls.prefix_name)
        target = cls.wine.unix_path(INSTALLED)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copy(program("Duskpanel.scr"), target)

    @classmethod
    def tearDownClass(cls):
        cls.wine.close()

    def saver(self, *args, timeout=60, extra_env=None):
        result = self.wine.run(self.wine.unix_path(INSTALLED), *args, timeout=timeout,
                               extra_env=extra_env)
        self.assertEqual(result.returncode, 0, result.stderr.decode("utf-8", "replace")[-2000:])
        return result

    def desktop_values(self):
        # One "reg query" for the four values: each Wine start costs seconds.
        out = subprocess.run([WINE, REG, "query", DESKTOP], env=self.wine.env,
                             capture_output=True, timeout=60).stdout.decode("utf-8", "replace")
        found = {}
        for line in out.splitlines():
            parts = line.strip().split(None, 2)
            if len(parts) >= 2 and parts[1].startswith("REG_"):
                found[parts[0].upper()] = parts[2] if len(parts) == 3 else ""
        return [found.get(name.upper()) for name in
                ("SCRNSAVE.EXE", "ScreenSaveActive", "ScreenSaveTimeOut", "ScreenSaverIsSecure")]

    def backup_values(self):
        return [self.wine.reg_query(BACKUP, name) for name in
                ("SCRNSAVE.EXE", "ScreenSaveActive", "ScreenSaveTimeOut", "ScreenSaverIsSecure")]


class FirstRun(SaverTestCase):
    prefix_name = "saver-first-run"

    def test_an_unknown_switch_creates_both_data_folders_and_saves_the_five_parameters(self):
        self.saver("/x")
        user = self.wine.user_name()
        user_folder = self.wine.unix_path(rf"C:\users\{user}\AppData\Roaming\Nerovane\Duskpanel")
        shared_folder = self.wine.unix_path(r"C:\ProgramData\Nerovane\Duskpanel")
        self.assertTrue(os.path.isdir(user_folder))
        self.assertTrue(os.path.isdir(shared_folder))
        with open(os.path.join(shared_folder, "Param.ini"), "rb") as f:
            self.assertEqual(f.read(), b"[public]\r\nAC=0\r\nDC=0\r\ngamma=128\r\n"
                                       b"Enable_resume_password_protect=1\r\n"
                                       b"Dim_external_monitors=1\r\n")
        self.assertEqual([self.wine.reg_query(PROFILE, k) for k in
                          ("AC", "DC", "gamma", "Enable_resume_password_protect",
                           "Dim_external_monitors")], [0, 0, 128, 1, 1])

    def test_the_file_value_wins_over_the_registry_and_is_written_to_both(self):
        shared = self.wine.unix_path(r"C:\ProgramData\Nerovane\Duskpanel")
        os.makedirs(shared, exist_ok=True)
        with open(os.path.join(shared, "Param.ini"), "wb") as f:
            f.write(b"[public]\r\nAC= 35\r\nDC=-7\r\ngamma=12abc\r\n")
        self.wine.reg_add(PROFILE, "AC", 90, "REG_DWORD")
        self.saver("/x")
        self.assertEqual(self.wine.reg_query(PROFILE, "AC"), 35)
        self.assertEqual(self.wine.reg_query(PROFILE, "DC"), 0xFFFFFFF9)
        with open(os.path.join(shared, "Param.ini"), "rb") as f:
            self.assertEqual(f.read(), b"[public]\r\nAC=35\r\nDC=-7\r\ngamma=12\r\n"
                                       b"Enable_resume_password_protect=1\r\n"
                                       b"Dim_external_monitors=1\r\n")


class InstallAndRestore(SaverTestCase):
    prefix_name = "saver-install"

    def setUp(self):
        # One "reg import" instead of five "reg" starts: each Wine start costs seconds here.
        lcdsim.reg_import(self.wine.path, [
            "-" + BACKUP.replace("HKCU", "HKEY_CURRENT_USER"),
            (DESKTOP.replace("HKCU", "HKEY_CURRENT_USER"), {
                "SCRNSAVE.EXE": ("sz", r"C:\windows\system32\starfield.scr"),
                "ScreenSaveActive": ("sz", "0"), "ScreenSaveTimeOut": ("sz", "300"),
                "ScreenSaverIsSecure": ("sz", "0")})])

    def short_path(self):
        return self.desktop_values()[0]

    def test_installing_twice_keeps_the_first_backup(self):
        self.saver("/d")
        installed = self.desktop_values()
        self.assertTrue(installed[0].upper().endswith(".SCR"))
        self.assertNotIn(" ", installed[0], "the short (8.3) path is installed")
        self.assertEqual(installed[1:], ["1", "300", "0"])
        first_backup = self.backup_values()
        self.assertEqual(first_backup, [r"C:\windows\system32\starfield.scr", "0", "300", "0"])
        self.saver("/d")
        self.assertEqual(self.backup_values(), first_backup)

    def test_restore_writes_the_backup_back_each_time(self):
        self.saver("/d")
        self.saver("/r")
        restored = [r"C:\windows\system32\starfield.scr", "0", "300", "0"]
        self.assertEqual(self.desktop_values(), restored)
        self.assertEqual(self.backup_values()[0], r"C:\windows\system32\starfield.scr",
                         "the backup stays for a later restore")
        self.wine.reg_add(DESKTOP, "ScreenSaveTimeOut", "999")
        self.saver("/r")
        self.assertEqual(self.desktop_values(), restored, "a second /r writes the same again")

    def test_install_and_restore_save_no_parameter(self):
        # Both run elevated from the installers: the shared folder is every user's to write.
        param_ini = self.wine.unix_path(r"C:\ProgramData\Nerovane\Duskpanel\Param.ini")
        for switch in ("/d", "/r"):
            with self.subTest(switch):
                self.wine.reg_delete(PROFILE)
                if os.path.exists(param_ini):
                    os.remove(param_ini)
                self.saver(switch)
                self.assertFalse(os.path.exists(param_ini), "Param.ini written")
                self.assertIsNone(self.wine.reg_query(PROFILE, "AC"), "parameters saved")

    def test_restore_without_a_backup_changes_nothing(self):
        self.saver("/r")
        self.assertEqual(self.desktop_values(),
                         [r"C:\windows\system32\starfield.scr", "0", "300", "0"])


class ModesWithoutTheSaver(SaverTestCase):
    """With protection on (the default), every mode but the running saver ends without a
    window of its own and without asking for the lock."""
    prefix_name = "saver-modes"

    def test_each_mode_ends_quietly_without_a_lock(self):
        rows = [("preview pane handle", ["/p", "4242"]),
                ("password change without the system's entry", ["/a"]),
                ("install", ["/d"]),
                ("unknown switch", ["/x"])]
        for name, args in rows:
            with self.subTest(name):
                result = self.saver(*args, extra_env={"WINEDEBUG": "-all,trace+win,trace+graphics"})
                trace = result.stderr.decode("utf-8", "replace")
                created = [line for line in trace.splitlines() if "WIN_CreateWindowEx" in line]
                self.assertFalse([line for line in created if "DuskpanelDimmer" in line or
                                  "#8002" in line], "a saver window or a dialog was created")
                self.assertNotIn("LockWorkStation", trace)


class StartAndConfigure(SaverTestCase):
    prefix_name = "saver-start"

    def test_s_saves_then_starts_a_second_process_with_w_at_high_priority(self):
        # The output goes to a file: the /w copy inherits the handles and keeps running.
        trace_path = os.path.join(self.wine.path, "relaunch-trace.txt")
        with open(trace_path, "wb") as trace_file:
            result = subprocess.run(
                [WINE, self.wine.unix_path(INSTALLED), "/s"], stdin=subprocess.DEVNULL,
                stdout=trace_file, stderr=trace_file, timeout=60,
                env=dict(self.wine.env, WINEDEBUG="+process,+profile"))
        self.assertEqual(result.returncode, 0)
        # The saver started without a panel waits for input: end it with the prefix.
        subprocess.run([WINESERVER, "-k"], env=self.wine.env, stderr=subprocess.DEVNULL)
        with open(trace_path, "rb") as f:
            trace = f.read().decode("utf-8", "replace").splitlines()
        relaunch = [i for i, line in enumerate(trace)
                    if "CreateProcessInternalW" in line and "/w" in line]
        self.assertTrue(relaunch, "no CreateProcess of the /w copy in the trace")
        self.assertIn('Duskpanel.scr\\" /w', trace[relaunch[0]])
        self.assertIn("flags in 280", "\n".join(trace),
                      "creation flags HIGH_PRIORITY_CLASS | CREATE_NEW_PROCESS_GROUP")
        # The /w copy loads Param.ini as it starts: the /s process writes it before, never after.
        thread = trace[relaunch[0]].split(":", 1)[0]
        writes = [i for i, line in enumerate(trace) if line.startswith(thread + ":") and
                  "WritePrivateProfileStringW" in line and "Param.ini" in line]
        self.assertEqual(len(writes), 5, "the five parameters are saved once")
        self.assertLess(writes[-1], relaunch[0], "Param.ini written after the /w copy started")


if __name__ == "__main__":
    unittest.main()

"""The installers as a user, an administrator and the update program use them.

The x64 installer (build/win64/installer) runs under wine64; the x86 one (build/win32/installer)
cannot run here and is only checked. The update round trip serves the next version's installer
(build/win64/installer-next, the same programs with the version raised) from the loopback server
and lets the installed Renewick fetch and start it.
"""
import configparser
import glob
import os
import re
import struct
import subprocess
import unittest

from test_renewick import IDOK, IDYES, LoopbackServer, RenewickTestCase
from wine_serve import system_program
from winetest import WINE, WINESERVER, WinePrefix, build_dir, wait_until

INSTALL_DIR = r"C:\Program Files\Nerovane\Duskpanel"
PRODUCT_KEY = r"HKLM\Software\Nerovane\Duskpanel"
UPDATER_KEY = r"HKLM\Software\Nerovane\Renewick"
WOW64_VENDOR_KEY = r"HKLM\Software\Wow6432Node\Nerovane"
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Duskpanel"
WOW64_UNINSTALL_KEY = (r"HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall"
                       r"\Duskpanel")
DESKTOP_KEY = r"HKCU\Control Panel\Desktop"
PROFILE_KEY = r"HKCU\Software\Nerovane\Duskpanel"
LANGUAGES = ["ENU", "CHS", "DEU", "FRA", "ESP", "ESN", "JPN"]
PREVIOUS_SAVER = r"C:\windows\system32\previous.scr"
IDC_ABOUT, IDC_CHECK_UPDATES = 1046, 1047


def installer(folder, tree=None):
    found = glob.glob(os.path.join(tree or build_dir(), folder, "Duskpanel-Setup-*.exe"))
    if len(found) != 1:
        raise FileNotFoundError(f"one installer in {folder}: {found}")
    return found[0]


def pe_machine(path):
    with open(path, "rb") as f:
        data = f.read(4096)
    offset = struct.unpack_from("<I", data, 0x3C)[0]
    assert data[offset:offset + 4] == b"PE\0\0", path
    return struct.unpack_from("<H", data, offset + 4)[0]


def version_block(path):
    """The fixed file version (four numbers) and the "ProductVersion" text of a PE file."""
    with open(path, "rb") as f:
        data = f.read()
    at = data.find(b"\xbd\x04\xef\xfe")
    if at < 0:
        return None, None
    ms, ls = struct.unpack_from("<II", data, at + 8)
    numbers = (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    key = "ProductVersion\0".encode("utf-16-le")
    text = data[data.find(key, at) + len(key):].decode("utf-16-le", "replace").lstrip("\0")
    return numbers, text.split("\0", 1)[0]


def quad(version):
    parts = [int(p) for p in version.split(".")]
    return tuple(parts + [0] * (4 - len(parts)))


class InstallerCase(RenewickTestCase):
    """A prefix with a previous screen saver set, as a user's machine has one."""

    def setUp(self):
        super().setUp()
        self.wine.reg_add(DESKTOP_KEY, "SCRNSAVE.EXE", PREVIOUS_SAVER)
        self.wine.reg_add(DESKTOP_KEY, "ScreenSaveTimeOut", "600")

    def installed(self, name=""):
        return self.wine.unix_path(INSTALL_DIR + ("\\" + name if name else ""))

    def run_setup(self, path, *switches, timeout=120):
        """Runs an installer or the uninstaller and waits until every program it started ended
        (the uninstaller runs from a copy of itself in the temporary folder)."""
        result = subprocess.run([WINE, path, *switches], env=self.wine.env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=timeout)
        self.wine.wait_server(timeout=timeout)
        self.warm_up()
        return result.returncode

    def uninstall(self, *switches):
        return self.run_setup(self.installed("Uninstall.exe"), "/S", *switches)

    def names_installed_saver(self, value):
        """True when a screen-saver path (the saver writes its 8.3 form) is the installed saver."""
        out = subprocess.run([WINE, system_program("winepath"), "-u", value or "?"],
                             env=self.wine.env, capture_output=True, timeout=60)
        unix = out.stdout.decode("utf-8", "replace").strip()
        return bool(unix) and os.path.exists(unix) and os.path.samefile(
            unix, self.installed("Duskpanel.scr"))

    def assert_installed(self, version):
        for program in ("Duskpanel.scr", "Renewick.exe"):
            self.assertEqual(version_block(self.installed(program)), (quad(version), version),
                             program)
        self.assertEqual(self.wine.reg_query(UNINSTALL_KEY, "DisplayVersion"), version)

    def assert_nothing_of_ours_left(self, saver=PREVIOUS_SAVER):
        self.assertFalse(os.path.exists(self.wine.unix_path(r"C:\Program Files\Nerovane")))
        for key in (PRODUCT_KEY, UPDATER_KEY):
            self.assertIsNone(self.wine.reg_query(key, "Setup Path"), key)
        self.assertIsNone(self.wine.reg_query(UNINSTALL_KEY, "DisplayName"))
        self.assertEqual(self.wine.reg_query(DESKTOP_KEY, "SCRNSAVE.EXE"), saver,
                         "the previous screen saver is back, or the user's later choice stays")
        self.assertEqual(self.wine.reg_query(DESKTOP_KEY, "ScreenSaveTimeOut"), "600")


class Packages(unittest.TestCase):
    def test_both_installers_carry_the_product_version_and_their_bitness(self):
        win32_tree = os.path.join(os.path.dirname(build_dir()), "win32")
        cases = [("x64", installer("installer"), 0x8664, build_dir()),
                 ("x86", installer("installer", win32_tree), 0x14C, win32_tree)]
        for name, path, machine, tree in cases:
            with self.subTest(name):
                self.assertTrue(path.endswith(f"-{name}.exe"), path)
                self.assertEqual(pe_machine(path), machine)
                product = version_block(os.path.join(tree, "bin", "Duskpanel.scr"))
                self.assertEqual(version_block(path), product)
                self.assertIn(f"-{product[1]}-{name}.exe", path)


class InstallAndUninstall(InstallerCase):
    prefix_name = "installer"

    def test_silent_install_places_files_and_values_and_uninstall_removes_them(self):
        self.assertEqual(self.run_setup(installer("installer"), "/S"), 0)

        for program in ("Duskpanel.scr", "Renewick.exe"):
            with open(self.installed(program), "rb") as a, \
                    open(os.path.join(build_dir(), "bin", program), "rb") as b:
                self.assertEqual(a.read(), b.read(), program)
        for abbreviation in LANGUAGES:
            with open(self.installed(rf"Languages\{abbreviation}\Duskpanel.ini"), "rb") as f:
                self.assertEqual(f.read(2), b"\xff\xfe", abbreviation)
        urls = configparser.ConfigParser()
        urls.read(self.installed("URLinfo.ini"))
        self.assertEqual(sorted(urls["public"]), ["home", "support", "update"])

        for key in (PRODUCT_KEY, UPDATER_KEY):
            self.assertEqual(self.wine.reg_query(key, "Setup Path"), INSTALL_DIR, key)
        self.assertIsNone(self.wine.reg_query(WOW64_VENDOR_KEY + r"\Duskpanel", "Setup Path"),
                          "the x64 installer writes the 64-bit view only")
        entry = {name: self.wine.reg_query(UNINSTALL_KEY, name) for name in (
            "DisplayName", "DisplayVersion", "Publisher", "DisplayIcon", "UninstallString",
            "QuietUninstallString", "EstimatedSize", "InstallLocation")}
        version = version_block(os.path.join(build_dir(), "bin", "Duskpanel.scr"))[1]
        self.assertEqual(entry["DisplayName"], "Duskpanel")
        self.assertEqual(entry["DisplayVersion"], version)
        self.assertEqual(entry["Publisher"], "Nerovane")
        self.assertEqual(entry["DisplayIcon"], INSTALL_DIR + r"\Duskpanel.scr,0")
        self.assertEqual(entry["UninstallString"], f'"{INSTALL_DIR}\\Uninstall.exe"')
        self.assertEqual(entry["QuietUninstallString"], f'"{INSTALL_DIR}\\Uninstall.exe" /S')
        self.assertEqual(entry["InstallLocation"], INSTALL_DIR)
        self.assertGreater(entry["EstimatedSize"], 300, "kilobytes")

        saver = self.wine.reg_query(DESKTOP_KEY, "SCRNSAVE.EXE")
        self.assertTrue(self.names_installed_saver(saver), saver)
        self.assertEqual(self.wine.reg_query(DESKTOP_KEY, "ScreenSaveActive"), "1")
        self.assertEqual(self.wine.reg_query(PROFILE_KEY + r"\restore_param", "SCRNSAVE.EXE"),
                         PREVIOUS_SAVER)

        # A file some user put into the shared folder is not the uninstaller's to remove.
        shared = self.wine.unix_path(r"C:\ProgramData\Nerovane\Duskpanel")
        self.assertFalse(os.path.exists(os.path.join(shared, "Param.ini")),
                         "the elevated /d saved the parameters")
        for name in ("Param.ini", "other.txt"):  # as a settings run and some user left them
            with open(os.path.join(shared, name), "w") as f:
                f.write("[public]\r\n")
        # The user's own copy, as the per-user store writes it.
        own = self.wine.unix_path(
            rf"C:\users\{self.wine.user_name()}\AppData\Roaming\Nerovane\Duskpanel")
        os.makedirs(own, exist_ok=True)
        with open(os.path.join(own, "Param.ini"), "w") as f:
            f.write("[public]\r\n")
        self.assertEqual(self.uninstall("/REMOVESETTINGS"), 0)
        self.assert_nothing_of_ours_left()
        self.assertIsNone(self.wine.reg_query(PROFILE_KEY, "AC"), "settings removed on request")
        self.assertFalse(os.path.exists(self.wine.unix_path(
            rf"C:\users\{self.wine.user_name()}\AppData\Roaming\Nerovane")))
        self.assertEqual(os.listdir(shared), ["other.txt"], "only the saver's file removed")


class OtherArchitecture(InstallerCase):
    prefix_name = "installer-architecture"

    def test_the_x64_setup_refuses_to_go_over_the_32_bit_installation(self):
        # What the x86 installer leaves in the 32-bit view of a 64-bit Windows.
        self.wine.reg_add(WOW64_UNINSTALL_KEY, "DisplayVersion", "2.0")
        self.assertEqual(self.run_setup(installer("installer"), "/S"), 6)
        self.assertFalse(os.path.exists(self.installed()), "nothing installed")
        self.assertIsNone(self.wine.reg_query(UNINSTALL_KEY, "DisplayName"))


class UpdateRoundTrip(InstallerCase):
    prefix_name = "installer-update"

    def test_renewick_installs_the_next_version_over_the_installed_one(self):
        current, update = installer("installer"), installer("installer-next")
        old = re.search(r"Setup-([\d.]+)-x64", current).group(1)
        new = re.search(r"Setup-([\d.]+)-x64", update).group(1)

        # 1. The installed version, made the screen saver.
        self.assertEqual(self.run_setup(current, "/S"), 0)
        self.assert_installed(old)

        # 2. The user's settings, in both stores.
        shared_ini = self.wine.unix_path(r"C:\ProgramData\Nerovane\Duskpanel\Param.ini")
        user_values = ("[public]\r\nAC=35\r\nDC=15\r\ngamma=128\r\nEnable_resume_password_protect=0\r\n"
                       "Dim_external_monitors=0\r\n")
        with open(shared_ini, "w", newline="") as f:
            f.write(user_values)
        self.wine.reg_add(PROFILE_KEY, "AC", "35", "REG_DWORD")
        # ... and since then the user chose another screen saver.
        chosen = r"C:\windows\system32\chosen.scr"
        self.wine.reg_add(DESKTOP_KEY, "SCRNSAVE.EXE", chosen)

        # 3. The update on offer, and "URLinfo.ini" naming the update INI.
        self.server.put(os.path.basename(update), open(update, "rb").read())
        self.server.put("update.ini", (
            f"[public]\r\nversion={new}\r\n[A]\r\n"
            f"download_path={self.server.url(os.path.basename(update))}\r\nsetup_param=/S\r\n"
        ).encode("ascii"))
        url_file = self.installed("URLinfo.ini")
        with open(url_file, encoding="ascii") as f:
            text = f.read()
        with open(url_file, "w", encoding="ascii", newline="") as f:
            f.write(re.sub(r"(?m)^update=.*$", "update=" + self.server.url("update.ini"), text))

        # 4. The user's way: the settings open (as the system's Settings button opens them),
        # About, "Check for updates"; the settings close, Renewick asks, Yes.
        settings = subprocess.Popen([WINE, self.driver_exe, "start",
                                     f'"{INSTALL_DIR}\\Duskpanel.scr" /c', "--timeout",
                                     "120000"], env=self.wine.env, stdin=subprocess.DEVNULL,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.started.append(settings)
        box = self.find("Duskpanel", "does not support control LCD backlight")  # no panel here
        self.assertIsNotNone(box, "no box about the missing panel")
        self.press(box, IDOK)
        dialog = self.find("Duskpanel Settings")
        self.assertIsNotNone(dialog, "no settings dialog")
        self.press(dialog, IDC_ABOUT)
        about = self.find("About Duskpanel")
        self.assertIsNotNone(about, "no About dialog")
        self.press(about, IDC_CHECK_UPDATES)
        question = self.find("Renewick", f"New version is:{new}, update now?")
        self.assertIsNotNone(question, "no question")
        self.assertEqual(self.assert_ends(settings, timeout=60), 0, "the settings stay open")
        self.press(question, IDYES)
        told = self.find("Renewick", f"Duskpanel {new} is installed.", timeout_ms=120000)
        self.assertIsNotNone(told, "the end of the update is told")
        self.press(told, IDOK)

        # 5. The downloaded installer ran silently: the programs carry the new version.
        self.assertTrue(wait_until(lambda: version_block(self.installed("Duskpanel.scr"))[1] == new,
                                   timeout=90, interval=0.5), "the update was not installed")
        self.wine.wait_server(timeout=90)
        self.warm_up()
        self.assert_installed(new)
        self.assertIn(f"GET /{os.path.basename(update)} HTTP/1.1", self.new_requests())

        # 6. The user's settings and the screen-saver choice survived.
        with open(shared_ini, newline="") as f:
            self.assertEqual(f.read(), user_values)
        self.assertEqual(self.wine.reg_query(PROFILE_KEY, "AC"), 35)
        self.assertEqual(self.wine.reg_query(DESKTOP_KEY, "SCRNSAVE.EXE"), chosen,
                         "the silent update selected Duskpanel again")
        self.assertEqual(self.wine.reg_query(PROFILE_KEY + r"\restore_param", "SCRNSAVE.EXE"),
                         PREVIOUS_SAVER)

        # 7. The older setup started again (a replayed offer) refuses to go over the newer one.
        self.assertEqual(self.run_setup(current, "/S"), 4)
        self.assert_installed(new)

        # 8. Uninstalled: only the settings the user kept remain.
        self.assertEqual(self.uninstall(), 0)
        self.assert_nothing_of_ours_left(saver=chosen)
        self.assertEqual(self.wine.reg_query(PROFILE_KEY, "AC"), 35)
        self.assertTrue(os.path.exists(shared_ini))


class PerUserStep(InstallerCase):
    """The screen-saver step as the installers and Renewick's relay run it. Wine runs everything
    as one elevated account, the desktop's user: the step acts right here (the other account's
    route is covered by the unit tests of its decision)."""
    prefix_name = "installer-user-step"

    def step(self, program, *switches):
        """Runs an installed program with the step's switches; its exit code."""
        result = subprocess.run([WINE, self.installed(program), *switches], env=self.wine.env,
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, timeout=120)
        self.wine.wait_server(timeout=120)
        self.warm_up()
        return result.returncode

    def saver(self):
        return self.wine.reg_query(DESKTOP_KEY, "SCRNSAVE.EXE")

    def backup(self):
        return self.wine.reg_query(PROFILE_KEY + r"\restore_param", "SCRNSAVE.EXE")

    def test_updates_and_uninstalls_change_the_saver_only_while_it_is_duskpanel(self):
        current, update = installer("installer"), installer("installer-next")
        # A first install selects Duskpanel; a silent update while it still is the saver selects
        # it again and keeps the backup of the saver before it.
        self.assertEqual(self.run_setup(current, "/S"), 0)
        ours = self.saver()
        self.assertTrue(self.names_installed_saver(ours), ours)
        self.assertEqual(self.run_setup(update, "/S"), 0)
        self.assertEqual(self.saver(), ours, "the update kept Duskpanel selected")
        self.assertEqual(self.backup(), PREVIOUS_SAVER, "the backup is still the user's saver")

        chosen = r"C:\windows\system32\chosen.scr"
        self.wine.reg_add(DESKTOP_KEY, "SCRNSAVE.EXE", chosen)
        rows = [
            # (what, program, switches, exit code or None, saver after it, backup after it)
            ("update keeps a later choice", "Duskpanel.scr", ["/~user-step", "update"], 1,
             chosen, PREVIOUS_SAVER),
            ("uninstall keeps a later choice", "Duskpanel.scr", ["/~user-step", "uninstall"], 1,
             chosen, PREVIOUS_SAVER),
            ("the relay passes the step's code on", "Renewick.exe",
             ["/~user-step", "update", "here"], 1, chosen, PREVIOUS_SAVER),
            ("an unknown step changes nothing", "Duskpanel.scr", ["/~user-step", "remove"], None,
             chosen, PREVIOUS_SAVER),
            ("install selects it, backing up the choice", "Renewick.exe",
             ["/~user-step", "install", "here"], 0, ours, chosen),
            ("uninstall gives the backup back", "Duskpanel.scr", ["/~user-step", "uninstall"], 0,
             chosen, chosen),
            ("install again, by the installer's form", "Duskpanel.scr",
             ["/~user-step", "install"], 0, ours, chosen),
        ]
        for what, program, switches, code, saver, backup in rows:
            with self.subTest(what):
                exit_code = self.step(program, *switches)
                if code is not None:
                    self.assertEqual(exit_code, code)
                self.assertEqual(self.saver(), saver)
                self.assertEqual(self.backup(), backup)

        # The uninstaller with "Remove my settings", Duskpanel still the saver: the saver chosen
        # before it is back (its record in the profile key was read before the key went), then
        # the user's key and the saver's file in the user's folder go; a file of the user's and
        # so its folders stay.
        own = self.wine.unix_path(
            rf"C:\users\{self.wine.user_name()}\AppData\Roaming\Nerovane\Duskpanel")
        os.makedirs(own, exist_ok=True)
        for name in ("Param.ini", "notes.txt"):
            with open(os.path.join(own, name), "w") as f:
                f.write("[public]\r\n")
        self.assertEqual(self.uninstall("/REMOVESETTINGS"), 0)
        self.assert_nothing_of_ours_left(saver=chosen)
        self.assertIsNone(self.backup(), "the user's profile key is gone with its subkeys")
        self.assertEqual(os.listdir(own), ["notes.txt"])


if __name__ == "__main__":
    unittest.main()

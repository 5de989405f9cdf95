"""Stored input that no user or vendor meant: huge files, binary garbage, numbers beyond 32
bits, registry values of the wrong types, over-long addresses. Each row gives the defaults or a
clear message, ends within its bound, and keeps the good values stored beside the bad ones.
"""
import os
import random
import subprocess
import tempfile
import time
import unittest

from test_renewick import IDOK, IDYES, RenewickTestCase
from test_saver_settings_and_modes import DESKTOP, PROFILE, SaverTestCase
import lcdsim
from winetest import REG, WINE
from wine_serve import system_program

SHARED = r"C:\ProgramData\Nerovane\Duskpanel"
PARAMETERS = ("AC", "DC", "gamma", "Enable_resume_password_protect")
MEGABYTE = 1024 * 1024
# A Wine start on a loaded machine plus the work: far below "hangs".
BOUND_SECONDS = 60

FIGURES = []


def record_figure(text):
    FIGURES.append(text)


def tearDownModule():
    if FIGURES:
        work = os.environ.get("DP_E2E_WORK", tempfile.gettempdir())
        os.makedirs(work, exist_ok=True)
        with open(os.path.join(work, "hostile-input-figures.txt"), "w", encoding="utf-8") as f:
            f.write("\n".join(FIGURES) + "\n")


def reg_file(sections):
    """A .reg file (UTF-16): sections is [(key, [(name, kind, data)])]; kind one of sz,
    binary, multi_sz, dword."""
    lines = ["Windows Registry Editor Version 5.00", ""]
    for key, values in sections:
        lines.append(f"[{key}]")
        for name, kind, data in values:
            if kind == "sz":
                text = f'"{data}"'
            elif kind == "dword":
                text = f"dword:{data:08x}"
            else:
                raw = data if kind == "binary" else "\0".join(data).encode("utf-16-le") + b"\0" * 4
                text = ("hex:" if kind == "binary" else "hex(7):") + ",".join(f"{b:02x}" for b in raw)
            lines.append(f'"{name}"={text}')
        lines.append("")
    return "\r\n".join(lines).encode("utf-16")


class HostileSettings(SaverTestCase):
    prefix_name = "hostile-settings"

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        # One server for every row: a cold Wine start costs seconds on a loaded machine. The
        # first program starts Wine's services, which keep its output handles: not a pipe.
        lcdsim.start_server(cls.wine.path)
        lcdsim.run_wine(cls.wine.path, [system_program("cmd"), "/c", "exit"])

    def param_ini(self):
        return os.path.join(self.wine.unix_path(SHARED), "Param.ini")

    def write_param_ini(self, data):
        os.makedirs(os.path.dirname(self.param_ini()), exist_ok=True)
        with open(self.param_ini(), "wb") as f:
            f.write(data)

    def import_registry(self, sections):
        path = os.path.join(self.wine.path, "drive_c", "hostile.reg")
        with open(path, "wb") as f:
            f.write(reg_file(sections))
        subprocess.run([WINE, REG, "import", r"C:\hostile.reg"], env=self.wine.env,
                       capture_output=True, check=True, timeout=60)

    def profile(self, subkey=""):
        """{value name: data} of the profile key or one of its subkeys."""
        key = PROFILE.replace("HKCU", "HKEY_CURRENT_USER") + subkey
        tree = lcdsim.read_key(self.wine.path, PROFILE)
        return {name: data for name, (_, data) in tree.get(key, {}).items()}

    def test_hostile_stored_settings(self):
        rng = random.Random(14)
        filler = b"".join(b"k%d=%s\r\n" % (i, b"v" * 90) for i in range(10 * MEGABYTE // 100))
        garbage = bytes(rng.randrange(256) for _ in range(65536))
        long_url = "http://example.com/" + "u" * 5000
        install = rf"C:\users\{self.wine.user_name()}\AppData\Roaming\Microsoft\Windows" \
                  r"\Start Menu\Programs\Nerovane\Duskpanel"
        rows = [
            # name, Param.ini bytes (None: none), registry, other files, switch,
            # the parameters then, text Param.ini still holds
            ("Param.ini of 10 MB",
             b"[public]\r\nAC=35\r\nDC=20\r\ngamma=64\r\n[filler]\r\n" + filler + b"last=kept\r\n",
             [], {}, "/x", (35, 20, 64, 1), b"last=kept"),
            ("Param.ini with binary garbage",
             b"[public]\r\nAC=35\r\nDC=20\r\n[garbage]\r\n" + garbage + b"\r\n",
             [], {}, "/x", (35, 20, 128, 1), b"DC=20"),
            ("numbers beyond 32 bits",
             b"[public]\r\nAC=99999999999\r\nDC=-2147483649\r\ngamma=64\r\n", [], {}, "/x",
             (0, 0, 64, 1), b"gamma=64"),
            ("registry values of the wrong types", None,
             [(r"HKEY_CURRENT_USER\Software\Nerovane\Duskpanel",
               [("AC", "sz", "35"), ("DC", "binary", b"\x01\x02\x03"),
                ("gamma", "multi_sz", ["6", "4"]), ("Enable_resume_password_protect", "sz", "0")]),
              (r"HKEY_CURRENT_USER\Software\Nerovane\Duskpanel\restore_brightness",
               [("1-2", "binary", b"process=1"), ("3-4", "multi_sz", ["process=3", "x"]),
                ("5-6", "sz", "p" * 5000)]),
              (r"HKEY_CURRENT_USER\Software\Nerovane\Duskpanel\restore_param",
               [("SCRNSAVE.EXE", "dword", 5)]),
              (r"HKEY_CURRENT_USER\Control Panel\Desktop",
               [("SCRNSAVE.EXE", "binary", b"\xff" * 600), ("ScreenSaveTimeOut", "multi_sz",
                                                             ["300", "60"])]),
              (r"HKEY_LOCAL_MACHINE\Software\Nerovane\Duskpanel",
               [("Setup Path", "binary", b"C\0:\0")])],
             # /d saves no parameter (it runs elevated): the values stay as they were
             {}, "/d", ("35", b"\x01\x02\x03", "6\\04", "0"), None),
            ("URLinfo.ini with 5,000-character URLs", b"[public]\r\nAC=35\r\n", [],
             {rf"{install}\URLinfo.ini": f"[public]\r\nhome={long_url}\r\nupdate={long_url}\r\n"
                                         f"support=http://example.com/s\r\n".encode("ascii")},
             "/x", (35, 0, 128, 1), b"AC=35"),
        ]
        for name, param_ini, registry, files, switch, expected, kept in rows:
            with self.subTest(name):
                if param_ini is None:
                    if os.path.exists(self.param_ini()):
                        os.remove(self.param_ini())
                else:
                    self.write_param_ini(param_ini)
                if registry:
                    self.import_registry(registry)
                for path, data in files.items():
                    os.makedirs(os.path.dirname(self.wine.unix_path(path)), exist_ok=True)
                    with open(self.wine.unix_path(path), "wb") as f:
                        f.write(data)
                began = time.monotonic()
                self.saver(switch, timeout=BOUND_SECONDS)
                took = time.monotonic() - began
                profile = self.profile()
                self.assertEqual(tuple(profile.get(name) for name in PARAMETERS), expected)
                if kept:
                    with open(self.param_ini(), "rb") as f:
                        self.assertIn(kept, f.read(), "a good value elsewhere was lost")
                if switch == "/d":
                    self.assertTrue(self.desktop_values()[0].upper().endswith(".SCR"))
                    self.assertEqual(self.profile(r"\restore_brightness"), {},
                                     "records of the wrong type are cleared")
                record_figure(f"{name}: Duskpanel.scr {switch} took {took:.1f} s")


class HostileUpdateIni(RenewickTestCase):
    prefix_name = "hostile-update-ini"

    def test_hostile_update_ini(self):
        ini_url = self.server.url("update.ini")
        long_path = self.server.url("fake_setup.exe?" + "q" * 10000)
        rows = [
            # name, update INI, the question asked first (None: none), the message then
            ("1 MB version string",
             "[public]\r\nversion=2." + "1" * MEGABYTE + "\r\n[A]\r\ndownload_path=x\r\n",
             None, f"error info: return code:2. download fail:{ini_url}"),
            ("download_path of 10,000 characters",
             f"[public]\r\nversion=2.1\r\n[A]\r\ndownload_path={long_path}\r\nsetup_param=/S\r\n",
             "New version is:2.1, update now?",
             f"error info: return code:1. download fail:{long_path[:1024]}"),
        ]
        for name, ini, question, message in rows:
            with self.subTest(name):
                self.server.put("update.ini", ini.encode("ascii"))
                renewick = self.start(*self.saver_line("A", "Duskpanel", "2.0", ini_url))
                if question:
                    asked = self.find("Renewick", question)
                    self.assertIsNotNone(asked, "the good values were not read")
                    self.press(asked, IDYES)
                box = self.find("Renewick", "error info:")
                self.assertIsNotNone(box, "no message")
                self.assertIn(message, box.texts())
                self.press(box, IDOK)
                self.assertEqual(self.assert_ends(renewick), 0)
                self.assertFalse([r for r in self.new_requests() if "fake_setup" in r])


if __name__ == "__main__":
    unittest.main()

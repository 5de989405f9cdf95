"""Duskpanel.scr /s as the system starts it, on the simulated LCD panel: the panel dimmed to the
mains level, the screen covered, and the user's return (mouse, key, click) putting the brightness
back and ending the program. Also: a power broadcast re-applying the level three seconds later,
the lock with protection on, SC_CLOSE ignored, the translucent layer on screen, and the hidden
saver without a panel.

Figures (input to brightness back and program gone, /s to the level applied) are written to
<DP_E2E_WORK>/saver-run-figures.txt.
"""
import os
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

import lcdsim
from winetest import WINE, WinePrefix, build_dir, program, wait_until

INSTALLED = r"C:\Program Files\Duskpanel\Duskpanel.scr"
SHARED_FOLDER = r"C:\ProgramData\Nerovane\Duskpanel"
DRIVER = r"C:\dptools\saver_driver.exe"

START_BRIGHTNESS = 80
AC_LEVEL = 30
DC_LEVEL = 60
# A real system's active scheme holds the brightness the panel had: re-applying it puts that back.
SCHEMES = (START_BRIGHTNESS, 60, 30)

WM_SYSCOMMAND = 0x0112
SC_CLOSE = 0xF060
WM_POWERBROADCAST = 0x0218
PBT_APMPOWERSTATUSCHANGE = 0xA
WS_EX_TOPMOST = 0x8
VK_SHIFT = 0x10

# Bounds of the waits: generous for a loaded machine, far below "hangs".
APPEAR_TIMEOUT = 30
END_TIMEOUT = 10

FIGURES = []


def tearDownModule():
    if not FIGURES:
        return
    work = os.environ.get("DP_E2E_WORK", tempfile.gettempdir())
    os.makedirs(work, exist_ok=True)
    with open(os.path.join(work, "saver-run-figures.txt"), "w", encoding="utf-8") as f:
        f.write("\n".join(FIGURES) + "\n")


def record_figure(text):
    FIGURES.append(text)


def xdotool(*args, timeout=10):
    return subprocess.run(["xdotool", *[str(a) for a in args]], capture_output=True, text=True,
                          timeout=timeout)


def saver_x_windows():
    return xdotool("search", "--name", "^Duskpanel$").stdout.split()


def is_saver_process(pid):
    """False once the process ended (an ended process not yet reaped has no command line)."""
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as f:
            return b"Duskpanel.scr" in f.read()
    except OSError:
        return False


class SaverCase(unittest.TestCase):
    """One prefix per class with one persistent wineserver; Duskpanel.scr installed like a user
    would; the simulated panel when with_panel."""

    prefix_name = "saver-run"
    with_panel = True

    @classmethod
    def setUpClass(cls):
        cls.wine = WinePrefix(cls.prefix_name)
        try:
            lcdsim.start_server(cls.wine.path)
            target = cls.wine.unix_path(INSTALLED)
            os.makedirs(os.path.dirname(target), exist_ok=True)
            shutil.copy(program("Duskpanel.scr"), target)
            os.makedirs(os.path.dirname(cls.wine.unix_path(DRIVER)), exist_ok=True)
            shutil.copy(program("saver_driver.exe"), cls.wine.unix_path(DRIVER))
            if cls.with_panel:
                lcdsim.install(cls.wine.path, build_dir(),
                               record=(1, START_BRIGHTNESS, START_BRIGHTNESS), schemes=SCHEMES)
        except BaseException:
            cls.wine.close()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.wine.close()

    def setUp(self):
        self.write_parameters(protect=0)
        self.log = tempfile.NamedTemporaryFile(prefix="dp-saver-", suffix=".log", delete=False)
        self.addCleanup(os.remove, self.log.name)
        self.addCleanup(self.log.close)
        self.addCleanup(self.end_leftover_saver)
        if self.with_panel:
            lcdsim.configure(self.wine.path, record=(1, START_BRIGHTNESS, START_BRIGHTNESS),
                             active_scheme=0, clear_history=True, clear_power_calls=True)

    # --- the program ------------------------------------------------------------------------
    def write_parameters(self, protect):
        """"Param.ini" in the shared data folder: it wins over the registry profile."""
        folder = self.wine.unix_path(SHARED_FOLDER)
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "Param.ini"), "wb") as f:
            f.write(b"[public]\r\nAC=%d\r\nDC=%d\r\nEnable_resume_password_protect=%d\r\n"
                    % (AC_LEVEL, DC_LEVEL, protect))

    def start_saver(self, debug="-all"):
        """Runs "Duskpanel.scr /s" as the system does; returns when that process has ended.
        The output goes to a file: the /w process it starts keeps the handles open."""
        env = dict(self.wine.env, WINEDEBUG=debug)
        began = time.monotonic()
        result = subprocess.run([WINE, self.wine.unix_path(INSTALLED), "/s"], env=env,
                                stdin=subprocess.DEVNULL, stdout=self.log, stderr=self.log,
                                timeout=60)
        self.assertEqual(result.returncode, 0)
        return began

    def saver_pids(self):
        """The Duskpanel.scr processes of this prefix (Wine shows the Windows command line)."""
        found = []
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open(f"/proc/{entry}/cmdline", "rb") as f:
                    cmdline = f.read().replace(b"\0", b" ").decode("utf-8", "replace")
                if "Duskpanel.scr" not in cmdline:
                    continue
                with open(f"/proc/{entry}/environ", "rb") as f:
                    environ = f.read().split(b"\0")
            except OSError:
                continue
            if ("WINEPREFIX=" + self.wine.path).encode() in environ:
                found.append((int(entry), cmdline.strip()))
        return found

    def driver(self, *args, timeout=30):
        return lcdsim.run_wine(self.wine.path, [DRIVER, *[str(a) for a in args]], timeout=timeout)

    def find_window(self, visible=None):
        """The saver's window as saver_driver describes it; with visible set, waits for that."""
        def look():
            out = self.driver("find", "--timeout", 2000)
            if out.returncode != 0:
                return None
            words = out.stdout.split()
            window = {"hwnd": words[1], "visible": int(words[3]),
                      "rect": tuple(int(w) for w in words[5:9]), "exstyle": int(words[10], 16),
                      "pid": int(words[12])}
            if visible is not None and window["visible"] != int(visible):
                return None
            return window
        window = wait_until(look, timeout=APPEAR_TIMEOUT, interval=0.2)
        self.assertTrue(window, "the saver's window did not appear")
        return window

    def wait_ended(self, timeout=END_TIMEOUT):
        """True once no saver process of this prefix is left. A scan of /proc costs a few ms of
        CPU: the processes found are watched closely (their end is what the tests time), and
        /proc is scanned again once they are gone."""
        deadline = time.monotonic() + timeout
        while True:
            pids = [pid for pid, _ in self.saver_pids()]
            if not pids:
                return True
            while any(map(is_saver_process, pids)):
                if time.monotonic() >= deadline:
                    return False
                time.sleep(0.02)

    def end_leftover_saver(self):
        """A saver that a failed test left running ends here, so the next test starts clean."""
        if not self.saver_pids():
            return
        self.driver("key", VK_SHIFT)
        if self.wait_ended():
            return
        for pid, _ in self.saver_pids():
            os.kill(pid, signal.SIGKILL)

    # --- the panel --------------------------------------------------------------------------
    def sets(self):
        return [e["in"] for e in lcdsim.history(self.wine.path)
                if e["req"] == "SET_DISPLAY_BRIGHTNESS"]

    def wait_dimmed(self):
        dimmed = bytes([1, AC_LEVEL, AC_LEVEL])
        ok = wait_until(lambda: dimmed in self.sets(), timeout=APPEAR_TIMEOUT, interval=0.2)
        self.assertTrue(ok, f"the mains level was not applied: {self.sets()}")

    def assert_scheme_restored(self):
        """Nothing was captured: the power scheme is switched away and back, and the panel
        ends at the active scheme's brightness."""
        calls = [c for c in lcdsim.power_calls(self.wine.path) if c["call"] == "SetActive"]
        self.assertEqual([c["scheme"] for c in calls], [1, 0], calls)
        self.assertEqual(calls[-1]["brightness"], START_BRIGHTNESS)
        self.assertEqual(self.sets()[-1], bytes([3, START_BRIGHTNESS, START_BRIGHTNESS]))
        self.assertEqual(lcdsim.current_record(self.wine.path),
                         (1, START_BRIGHTNESS, START_BRIGHTNESS))

    def start_and_wait_dimmed(self):
        began = self.start_saver()
        self.wait_dimmed()
        dimmed_after = time.monotonic() - began
        window = self.find_window(visible=True)
        return window, dimmed_after


class SaverRunTest(SaverCase):
    prefix_name = "saver-run"

    def test_mouse_move_beyond_the_threshold_ends_the_saver_and_restores_the_panel(self):
        window, dimmed_after = self.start_and_wait_dimmed()
        pids = self.saver_pids()
        # The saver, in a second process, and the hidden copy that watches it.
        kinds = sorted("watcher" if "/~brightness-watch" in line else line.split()[-1]
                       for _, line in pids)
        self.assertEqual(kinds, ["/w", "watcher"], pids)
        self.assertEqual(window["rect"], (0, 0, 1024, 768), "covers the screen")
        self.assertTrue(window["exstyle"] & WS_EX_TOPMOST)
        self.assertTrue(saver_x_windows(), "no X window named Duskpanel")
        geometry = xdotool("getwindowgeometry", saver_x_windows()[0]).stdout
        self.assertIn("1024x768", geometry)

        xdotool("mousemove_relative", "--", 2, 2)  # within the threshold of 3
        time.sleep(0.5)  # a wrong reaction would take one poll tick (100 ms)
        self.assertTrue(self.saver_pids(), "a move within the threshold ended the saver")
        moved = time.monotonic()
        xdotool("mousemove_relative", "--", 40, 0)
        self.assertTrue(wait_until(lambda: not saver_x_windows(), timeout=END_TIMEOUT,
                                   interval=0.02), "the window stayed")
        window_gone = time.monotonic() - moved
        self.assertTrue(self.wait_ended(), "the process stayed")
        process_gone = time.monotonic() - moved
        self.assert_scheme_restored()
        record_figure(f"/s to mains level applied: {dimmed_after:.2f} s (Wine start included)")
        record_figure(f"mouse move to window gone: {window_gone:.2f} s; "
                      f"to process gone: {process_gone:.2f} s")

    def test_key_press_alone_does_not_end_the_saver_its_release_does(self):
        self.start_and_wait_dimmed()
        xdotool("keydown", "shift")
        time.sleep(1.0)
        self.assertTrue(self.saver_pids(), "a key press alone ended the saver")
        released = time.monotonic()
        xdotool("keyup", "shift")
        self.assertTrue(self.wait_ended(), "the key release did not end the saver")
        record_figure(f"key release to process gone: {time.monotonic() - released:.2f} s")
        self.assert_scheme_restored()

    def test_click_ends_the_saver(self):
        self.start_and_wait_dimmed()
        xdotool("click", 1)
        self.assertTrue(self.wait_ended(), "the click did not end the saver")
        self.assert_scheme_restored()

    def test_sc_close_does_nothing(self):
        window, _ = self.start_and_wait_dimmed()
        self.assertEqual(self.driver("post", window["hwnd"], WM_SYSCOMMAND, SC_CLOSE).returncode,
                         0)
        time.sleep(1.0)
        self.assertTrue(self.saver_pids(), "SC_CLOSE ended the saver")
        self.assertEqual(self.sets(), [bytes([1, AC_LEVEL, AC_LEVEL])], "still dimmed")
        xdotool("mousemove_relative", "--", 40, 0)
        self.assertTrue(self.wait_ended())

    def test_power_broadcast_applies_the_level_three_seconds_later_and_its_capture_is_restored(
            self):
        window, _ = self.start_and_wait_dimmed()
        # The system puts its own brightness in force when the power source changes.
        lcdsim.configure(self.wine.path, record=(1, 70, 70))
        posted = time.monotonic()
        self.assertEqual(
            self.driver("post", window["hwnd"], WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE)
            .returncode, 0)
        dimmed = bytes([1, AC_LEVEL, AC_LEVEL])
        self.assertTrue(wait_until(lambda: self.sets().count(dimmed) == 2, timeout=15,
                                   interval=0.2), self.sets())
        applied_after = time.monotonic() - posted
        self.assertGreaterEqual(applied_after, 2.5)
        self.assertLess(applied_after, 8)
        requests = [e["req"] for e in lcdsim.history(self.wine.path, ioctls_only=True)]
        self.assertEqual(requests[-2:], ["QUERY_DISPLAY_BRIGHTNESS", "SET_DISPLAY_BRIGHTNESS"],
                         "the brightness in force is captured before the apply")

        xdotool("mousemove_relative", "--", 40, 0)
        self.assertTrue(self.wait_ended())
        self.assertEqual(self.sets()[-1], bytes([1, 70, 70]), "the captured record is put back")
        self.assertEqual([c for c in lcdsim.power_calls(self.wine.path)
                          if c["call"] == "SetActive"], [])
        record_figure(f"power broadcast to level applied: {applied_after:.2f} s "
                      "(3 s wait, plus the helper's start and the registry polling)")

    def test_with_protection_the_lock_is_requested_and_the_saver_still_ends(self):
        self.write_parameters(protect=1)
        self.start_saver(debug="-all,trace+graphics")
        self.wait_dimmed()
        self.find_window(visible=True)
        moved = time.monotonic()
        xdotool("mousemove_relative", "--", 40, 0)
        # Wine refuses the lock (error 120): nothing to wait for.
        self.assertTrue(self.wait_ended(timeout=8), "the saver waited for a lock screen")
        took = time.monotonic() - moved
        self.assertLess(took, 8)
        self.assert_scheme_restored()
        self.log.flush()
        with open(self.log.name, encoding="utf-8", errors="replace") as f:
            locks = [line for line in f if "LockWorkStation" in line]
        self.assertEqual(len(locks), 2, "once while closing, once at exit: %s" % locks)


class SaverOverlayTest(SaverCase):
    """The layered window over the white Xvfb root, seen through a compositor."""

    prefix_name = "saver-overlay"

    def mean_brightness(self):
        """The whole screen's mean grey, 0 (black) to 1 (white)."""
        shot = os.path.join(tempfile.gettempdir(), f"dp-saver-shot-{os.getpid()}.png")
        subprocess.run(["import", "-window", "root", shot], check=True, timeout=30)
        out = subprocess.run(["convert", shot, "-colorspace", "gray", "-resize", "1x1!",
                              "-format", "%[fx:mean]", "info:"], capture_output=True, text=True,
                             timeout=30)
        os.remove(shot)
        return float(out.stdout)

    def steady_screen(self):
        """The mean once two screenshots half a second apart agree."""
        readings = [self.mean_brightness()]

        def steady():
            time.sleep(0.5)
            readings.append(self.mean_brightness())
            return abs(readings[-1] - readings[-2]) < 0.002
        wait_until(steady, timeout=10, interval=0)
        return readings[-1]

    # xcompmgr paints the root grey where no root picture is set, but only once something on
    # the screen changes: the layer is measured against the screen as it stays afterwards.
    def test_the_overlay_darkens_the_screen_by_its_alpha(self):
        if not shutil.which("xcompmgr") or not shutil.which("import"):
            self.skipTest("xcompmgr and ImageMagick are needed")
        compositor = subprocess.Popen(["xcompmgr"], stdout=subprocess.DEVNULL,
                                      stderr=subprocess.DEVNULL)
        self.addCleanup(compositor.wait, 10)
        self.addCleanup(compositor.terminate)
        time.sleep(0.5)

        self.start_and_wait_dimmed()
        time.sleep(1.0)  # the overlay is painted before the window is shown
        during = self.steady_screen()
        xdotool("mousemove_relative", "--", 40, 0)
        self.assertTrue(self.wait_ended())
        background = self.steady_screen()

        self.assertGreater(background, 0.2, "nothing to darken")
        expected = background * (1 - 10 / 255)  # alpha 10: the overlay's level 4
        self.assertAlmostEqual(during, expected, delta=0.006,
                               msg="a black layer would read 0, none at all the background")
        record_figure(f"screen under the overlay: {during:.4f}, without it {background:.4f} "
                      f"(alpha 10 predicts {expected:.4f})")


class SaverWithoutPanelTest(SaverCase):
    """No \\\\.\\LCD: nothing to dim, the window stays hidden, and input anywhere ends it."""

    prefix_name = "saver-no-panel"
    with_panel = False

    def test_the_window_stays_hidden_and_input_anywhere_ends_the_saver_at_the_next_poll(self):
        self.start_saver()
        window = self.find_window()
        time.sleep(1.0)
        self.assertEqual(self.find_window()["visible"], 0)
        self.assertTrue(self.saver_pids(), "the hidden saver ended by itself")
        # Input that reaches no window of the saver: only the last-input poll can see it.
        began = time.monotonic()
        self.assertEqual(self.driver("key", VK_SHIFT).returncode, 0)
        self.assertTrue(self.wait_ended(), "input did not end the hidden saver")
        record_figure(f"hidden saver, SendInput from a helper to process gone: "
                      f"{time.monotonic() - began:.2f} s (helper start included)")
        self.assertTrue(window["hwnd"])


if __name__ == "__main__":
    unittest.main()

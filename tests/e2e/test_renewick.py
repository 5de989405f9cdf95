"""Renewick.exe started as the screen saver starts it, against a loopback HTTP server.

Each test class has its own Wine prefix and its own testing/http_server.py on a free port.
Dialogs and message boxes are found, read and answered by dialog_driver.exe; the setup
program is fake_setup.exe, which records its command line beside itself.
"""
import glob
import os
import re
import select
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

from winetest import HERE, WINE, WinePrefix, build_dir, program, wait_until

ABOUT_COMMAND = 0x10
IDOK, IDCANCEL, IDYES, IDNO = 1, 2, 6, 7


class LoopbackServer:
    """testing/http_server.py on 127.0.0.1 with a document root and a request log of its own."""

    def __init__(self, slow_rate=65536):
        self.folder = tempfile.mkdtemp(prefix="dp-renewick-http-")
        self.root = os.path.join(self.folder, "root")
        os.makedirs(self.root)
        self.log = os.path.join(self.folder, "requests.log")
        self.process = subprocess.Popen(
            [sys.executable, os.path.join(HERE, "http_server.py"), "--port", "0",
             "--root", self.root, "--log", self.log, "--slow-rate", str(slow_rate),
             "--silent-seconds", "90", "--lifetime", "1200"],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        ready, _, _ = select.select([self.process.stdout], [], [], 20)
        line = self.process.stdout.readline() if ready else ""
        if not line.startswith("PORT "):
            self.close()
            raise RuntimeError("the loopback server did not start")
        self.port = int(line.split()[1])

    def url(self, path):
        return f"http://127.0.0.1:{self.port}/{path}"

    def put(self, name, data):
        with open(os.path.join(self.root, name), "wb") as f:
            f.write(data)

    def heads(self):
        """The request heads received so far, each a list of lines."""
        if not os.path.exists(self.log):
            return []
        with open(self.log, encoding="latin-1", newline="") as f:
            blocks = f.read().split("\n\n")
        return [block.split("\n") for block in blocks if block.strip()]

    def close(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(timeout=10)
        self.process.stdout.close()
        shutil.rmtree(self.folder, ignore_errors=True)


class Window:
    """What dialog_driver.exe reported of one window."""

    def __init__(self, lines):
        self.items, self.positions, self.combos = [], {}, {}
        self.enabled, self.checks, self.trackbars = {}, {}, {}
        self.hwnd = self.caption = self.owner = None
        for line in lines:
            word, _, rest = line.partition(" ")
            if word == "hwnd":
                self.hwnd = rest
            elif word == "caption":
                self.caption = rest
            elif word == "owner":
                self.owner = int(rest, 16)
            elif word == "item":
                control_id, control_class, text = (rest.split(" ", 2) + [""])[:3]
                self.items.append((int(control_id), control_class, text))
            elif word == "position":
                control_id, value = rest.split(" ")
                self.positions[int(control_id)] = int(value)
            elif word == "state":
                control_id, enabled, check = (int(w) for w in rest.split(" "))
                self.enabled[control_id], self.checks[control_id] = bool(enabled), check
            elif word == "trackbar":
                control_id, *values = (int(w) for w in rest.split(" "))
                self.trackbars[control_id] = tuple(values)
            elif word == "combo":
                control_id, _, text = rest.partition(" ")
                self.combos.setdefault(int(control_id), []).append(text)

    def text(self, control_id):
        return next((text for i, _, text in self.items if i == control_id), None)

    def texts(self):
        return [text for _, _, text in self.items]


def unescape(line):
    return re.sub(r"\\(.)", lambda m: {"r": "\r", "n": "\n"}.get(m.group(1), m.group(1)), line)


def drive_dialogs(wine, driver_exe, *args, timeout=60):
    """Runs a dialog_driver.exe command in the prefix; its exit code and output lines."""
    code, text = wine.ask_helper(driver_exe, *[str(a) for a in args], timeout=timeout)
    return code, [unescape(line) for line in text.splitlines()]


class RenewickTestCase(unittest.TestCase):
    prefix_name = "renewick"
    slow_rate = 65536

    @classmethod
    def setUpClass(cls):
        cls.wine = WinePrefix(cls.prefix_name)
        cls.server = LoopbackServer(cls.slow_rate)
        cls.renewick = program("Renewick.exe")
        cls.driver_exe = program("dialog_driver.exe")
        cls.temp = cls.wine.unix_path(rf"C:\users\{cls.wine.user_name()}\Temp")
        cls.started = []
        cls.warm_up()

    @classmethod
    def tearDownClass(cls):
        for process in cls.started:
            if process.poll() is None:
                process.kill()
        cls.wine.close()
        for process in cls.started:
            process.wait(timeout=30)
        cls.server.close()

    def setUp(self):
        self.heads_before = len(self.server.heads())
        self.clear_downloads()

    def clear_downloads(self):
        for name in os.listdir(self.temp) if os.path.isdir(self.temp) else []:
            if name.endswith("_update.ini"):
                os.remove(os.path.join(self.temp, name))
            elif name.startswith("Renewick-"):  # a download folder (with its watcher)
                shutil.rmtree(os.path.join(self.temp, name), ignore_errors=True)

    def tearDown(self):
        # A test that failed half-way may leave a dialog open; the next one starts clean.
        if any(process.poll() is None for process in self.started):
            self.wine.close()
            for process in self.started:
                process.wait(timeout=30)

    # --- driving ----------------------------------------------------------------------------
    @classmethod
    def warm_up(cls):
        """Starts the prefix's wineserver and desktop with no pipes of ours: the processes
        Wine starts along with the first program keep its standard handles open for good."""
        subprocess.run([WINE, cls.driver_exe, "find", "--title", "-", "--timeout", "0"],
                       env=cls.wine.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120)

    def driver(self, *args, timeout=60):
        return drive_dialogs(self.wine, self.driver_exe, *args, timeout=timeout)

    def start(self, *switches):
        """Starts Renewick with the command line the screen saver builds (switches joined as
        given, so the two blanks before /l stay); returns the driver process that waits."""
        command_line = f'"{self.windows_path(self.renewick)}" ' + "".join(switches)
        process = subprocess.Popen([WINE, self.driver_exe, "start", command_line, "--timeout",
                                    "120000"], env=self.wine.env, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.started.append(process)
        return process

    def saver_line(self, product_id, name, version, url, *extra):
        return [f"/i{product_id} /n{name} /v{version}  /l\"{url}\" /H"] + [f" {e}" for e in extra]

    @staticmethod
    def windows_path(unix_path):
        return "Z:" + os.path.abspath(unix_path).replace("/", "\\")

    def find(self, title=None, text=None, window_class="#32770", timeout_ms=20000):
        args = ["find", "--timeout", str(timeout_ms)]
        if title is not None:
            args += ["--title", title]
        if text is not None:
            args += ["--text", text]
        if window_class is not None:
            args += ["--class", window_class]
        code, lines = self.driver(*args, timeout=timeout_ms / 1000 + 60)
        return Window(lines) if code == 0 else None

    def press(self, window, control_id):
        # Posted once more when the driver reports a failure: under load a short wine64 start
        # can fail on its own, while a window that has gone refuses both presses.
        if self.driver("press", window.hwnd, str(control_id))[0] == 0:
            return
        self.assertEqual(self.driver("press", window.hwnd, str(control_id))[0], 0,
                         f"cannot press {control_id} in {window.hwnd}")

    def wait_gone(self, window, timeout_ms=20000):
        return self.driver("wait-gone", window.hwnd, "--timeout", str(timeout_ms))[0] == 0

    def assert_ends(self, process, timeout=30):
        try:
            process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.fail(f"Renewick still runs after {timeout} s")
        return process.returncode

    # --- files ------------------------------------------------------------------------------
    def temp_file(self, name):
        return os.path.join(self.temp, name)

    def read_temp(self, name):
        with open(self.temp_file(name), "rb") as f:
            return f.read()

    def setup_file(self, name):
        """name in the one download folder Renewick made (Temp\\Renewick-<GUID>) since the last
        clear_downloads; a path that does not exist when there is none."""
        found = glob.glob(os.path.join(self.temp, "Renewick-*", name))
        return found[0] if len(found) == 1 else os.path.join(self.temp, "no-download", name)

    def read_setup_file(self, name):
        with open(self.setup_file(name), "rb") as f:
            return f.read()

    def write_ini(self, version, download_path="fake_setup.exe", setup_param="/S"):
        text = f"[public]\r\nversion={version}\r\n[A]\r\n"
        if download_path is not None:
            text += f"download_path={self.server.url(download_path)}\r\n"
        text += f"setup_param={setup_param}\r\n"
        self.server.put("update.ini", text.encode("ascii"))
        return text.encode("ascii")

    def new_heads(self):
        """The request heads the server received during this test."""
        return self.server.heads()[self.heads_before:]

    def new_requests(self):
        return [head[0] for head in self.new_heads()]

    def requested(self, path):
        return any(line.startswith(f"GET /{path} ") for line in self.new_requests())


class UpdateFlow(RenewickTestCase):
    prefix_name = "renewick-update"
    # About ten read blocks in about two and a half seconds: the bar moves while it is watched.
    slow_rate = 400000

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        with open(program("fake_setup.exe"), "rb") as f:
            # Bytes after the last section are carried along and do not stop it from running.
            cls.setup_bytes = f.read().ljust(1024 * 1024, b"\0")
        cls.server.put("fake_setup.exe", cls.setup_bytes)

    def test_a_newer_version_is_downloaded_with_progress_and_its_setup_started(self):
        ini = self.write_ini("2.1", "slow/fake_setup.exe", r"/S /D=C:\Target dir")
        renewick = self.start(*self.saver_line("A", "Duskpanel", "2.0", self.server.url("update.ini")))

        question = self.find("Renewick", "New version is:2.1, update now?")
        self.assertIsNotNone(question, "no question")
        dialog = self.find("Renewick for Duskpanel")
        self.assertIsNotNone(dialog, "no update dialog")
        self.assertEqual(dialog.text(1004), self.server.url("update.ini"))
        self.assertEqual(self.read_temp("1_update.ini"), ini)

        self.press(question, IDYES)
        _, samples = self.driver("watch", dialog.hwnd, "1003", "1002", "--interval", "100",
                                 "--timeout", "60000", timeout=90)
        self.assertEqual(self.assert_ends(renewick), 0)

        total = len(self.setup_bytes) / 1048576 + 0.1
        rate_text = re.compile(r"^(\d+\.\d\d)MB/%.2fMB   \d+\.\dKB/s$" % total)
        moving = [(int(pos), text) for _, pos, text in
                  (line.split(" ", 2) for line in samples if line.count(" ") >= 2)
                  if rate_text.match(text)]
        positions = [pos for pos, _ in moving]
        self.assertGreaterEqual(len(set(p for p in positions if 0 < p < 100)), 2,
                                f"the progress bar did not move: {samples}")
        self.assertEqual(positions, sorted(positions))

        self.assertTrue(wait_until(lambda: os.path.exists(self.setup_file("fake_setup.exe.txt")),
                                   timeout=20), "the setup program did not run")
        self.assertEqual(self.read_setup_file("fake_setup.exe"), self.setup_bytes)
        folder = os.path.basename(os.path.dirname(self.setup_file("fake_setup.exe")))
        self.assertRegex(folder, r"^Renewick-[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$")
        setup_path = rf"C:\users\{self.wine.user_name()}\Temp\{folder}\fake_setup.exe"
        self.assertEqual(self.read_setup_file("fake_setup.exe.txt").decode("utf-8"),
                         f'"{setup_path}" /S /D=C:\\Target dir')
        told = self.find("Renewick", "Duskpanel 2.1 is installed.")
        self.assertIsNotNone(told, "the end of the setup is told")
        self.press(told, IDOK)

        heads = self.new_heads()
        self.assertEqual([h[0] for h in heads],
                         ["GET /update.ini HTTP/1.1", "GET /slow/fake_setup.exe HTTP/1.1"])
        for head in heads:
            self.assertTrue(any(re.fullmatch(r"User-Agent: Agent-?\d+", h) for h in head), head)

    def test_the_end_of_the_setup_is_told_and_renewick_exe_is_free_while_it_runs(self):
        # /FREE: the setup waits, as the installer does, until Renewick.exe can be written.
        rows = [("installed", f"/S /FREE={self.windows_path(self.renewick)}",
                 "Duskpanel 2.1 is installed."),
                ("setup reports a failure", "/S /EXIT=2",
                 "The update to version 2.1 was not installed: the setup ended with code 2.")]
        for name, setup_param, expected in rows:
            with self.subTest(name):
                self.write_ini("2.1", "fake_setup.exe", setup_param)
                renewick = self.start(*self.saver_line("A", "Duskpanel", "2.0",
                                                       self.server.url("update.ini")))
                question = self.find("Renewick", "New version is:2.1, update now?")
                self.assertIsNotNone(question)
                self.press(question, IDYES)
                self.assertEqual(self.assert_ends(renewick), 0)
                told = self.find("Renewick", expected, timeout_ms=30000)
                self.assertIsNotNone(told, expected)
                self.press(told, IDOK)
                self.assertTrue(self.wait_gone(told))

    def test_the_same_version_is_reported_as_current_and_nothing_is_downloaded(self):
        self.write_ini("2.0.0")
        renewick = self.start(*self.saver_line("A", "Duskpanel", "2.0", self.server.url("update.ini")))
        box = self.find("Renewick", "Your already have the lastest version installed.")
        self.assertIsNotNone(box)
        self.press(box, IDOK)
        self.assertEqual(self.assert_ends(renewick), 0)
        self.assertFalse(self.requested("fake_setup.exe"))
        self.assertFalse(os.path.exists(self.setup_file("fake_setup.exe")))

    def test_answering_no_downloads_nothing(self):
        self.write_ini("3")
        renewick = self.start(*self.saver_line("A", "Duskpanel", "2.0", self.server.url("update.ini")))
        box = self.find("Renewick", "New version is:3, update now?")
        self.assertIsNotNone(box)
        self.press(box, IDNO)
        self.assertEqual(self.assert_ends(renewick), 0)
        self.assertFalse(self.requested("fake_setup.exe"))
        self.assertFalse(os.path.exists(self.setup_file("fake_setup.exe")))

    def test_an_update_ini_that_cannot_be_fetched_shows_its_return_code(self):
        url = self.server.url("404/update.ini")
        renewick = self.start(*self.saver_line("A", "Duskpanel", "2.0", url))
        box = self.find("Renewick", f"error info: return code:2. download fail:{url}")
        self.assertIsNotNone(box)
        self.press(box, IDOK)
        self.assertEqual(self.assert_ends(renewick), 0)

    def test_a_setup_cut_short_is_reported_and_never_started(self):
        self.write_ini("2.1", "cut/fake_setup.exe")
        renewick = self.start(*self.saver_line("A", "Duskpanel", "2.0", self.server.url("update.ini")))
        question = self.find("Renewick", "New version is:2.1, update now?")
        self.assertIsNotNone(question)
        self.press(question, IDYES)
        url = self.server.url("cut/fake_setup.exe")
        box = self.find("Renewick", f"error info: return code:3. download fail:{url}")
        self.assertIsNotNone(box)
        self.press(box, IDOK)
        self.assertEqual(self.assert_ends(renewick), 0)
        self.assertEqual(len(self.read_setup_file("fake_setup.exe")), len(self.setup_bytes) // 2,
                         "the partial file stays")
        time.sleep(1)  # a setup started by mistake would have written its record by now
        self.assertFalse(os.path.exists(self.setup_file("fake_setup.exe.txt")))

    def test_without_an_update_ini_url_the_dialog_closes_at_once(self):
        renewick = self.start("/iA /nDuskpanel /v2.0 /H")
        self.assertEqual(self.assert_ends(renewick), 0)
        self.assertEqual(self.new_requests(), [])


class InstancesAndDialog(RenewickTestCase):
    prefix_name = "renewick-instances"

    def test_one_copy_per_product_about_box_and_cancel(self):
        silent = self.server.url("silent/update.ini")
        first = self.start(*self.saver_line("A", "First", "1.0", silent))
        first_dialog = self.find("Renewick for First")
        self.assertIsNotNone(first_dialog)

        second = self.start(*self.saver_line("A", "Second", "1.0", silent))
        self.assert_ends(second, timeout=15)
        self.assertIsNone(self.find("Renewick for Second", timeout_ms=500))

        other = self.start(*self.saver_line("XYZ", "Third", "1.0", silent))
        other_dialog = self.find("Renewick for Third")
        self.assertIsNotNone(other_dialog, "another product's updater runs beside the first")

        self.assertEqual(self.driver("syscommand", first_dialog.hwnd, str(ABOUT_COMMAND))[0], 0)
        about = self.find("About Renewick", "Renewick Version ")
        self.assertIsNotNone(about, "the About item of the system menu")
        with open(os.path.join(build_dir(), "CMakeCache.txt"), encoding="utf-8") as f:
            version = re.search(r"^DP_VERSION:STRING=(.*)$", f.read(), re.M).group(1)
        self.assertIn(f"Renewick Version {version}", about.texts(), "the program's own version")
        self.assertEqual(about.owner, int(first_dialog.hwnd, 16))
        self.press(about, IDOK)
        self.assertTrue(self.wait_gone(about))

        # Cancel ends the process while its worker still waits for the silent server.
        for process, dialog in ((first, first_dialog), (other, other_dialog)):
            self.press(dialog, IDCANCEL)
            self.assertEqual(self.assert_ends(process, timeout=15), 0)
        self.assertEqual(self.new_requests().count("GET /silent/update.ini HTTP/1.1"), 2)


class SettingsTemplate(RenewickTestCase):
    prefix_name = "renewick-settings"

    def host_window(self):
        out = tempfile.NamedTemporaryFile(prefix="dp-renewick-host-", delete=False)
        self.addCleanup(os.remove, out.name)
        host = subprocess.Popen([WINE, self.driver_exe, "host", "--title", "Renewick test host",
                                 "--timeout", "60000"], env=self.wine.env,
                                stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.DEVNULL)
        out.close()
        self.started.append(host)

        def handle_line():
            with open(out.name, encoding="utf-8") as f:
                line = f.readline()
            return line if line.endswith("\n") else None
        line = wait_until(handle_line, timeout=30) or ""
        self.assertTrue(line.startswith("hwnd "), line)
        return host, int(line.split()[1], 16)

    def show_settings(self, *extra):
        url = self.server.url("update.ini")
        renewick = self.start(*self.saver_line("A", "Duskpanel", "2.0", url, *extra))
        settings = self.find("Renewick", "check live update")
        self.assertIsNotNone(settings)
        return renewick, settings

    def test_c_with_w_shows_the_settings_template_over_that_window(self):
        host, host_hwnd = self.host_window()
        renewick, settings = self.show_settings("/C", f"/W{host_hwnd:x}")
        self.assertEqual(settings.owner, host_hwnd)
        self.assertEqual(settings.combos.get(1000), ["1", "3", "5", "7", "15", "30"])
        self.assertEqual(settings.combos.get(1001),
                         ["HTTP proxy", "IE proxy", "No proxy", "sockt5 proxy"])
        for label in ("proxy type:", "Proxy address:", "Proxy port:", "Proxy"):
            self.assertIn(label, settings.texts())
        self.press(settings, IDOK)
        self.assertEqual(self.assert_ends(renewick), 0)
        self.assertEqual(self.new_requests(), [], "no update check runs")
        host.kill()

    def test_a_w_handle_that_is_no_window_shows_the_template_on_its_own(self):
        renewick, settings = self.show_settings("/C", "/W1a2b")
        self.assertEqual(settings.owner, 0)
        self.press(settings, IDCANCEL)
        self.assertEqual(self.assert_ends(renewick), 0)


if __name__ == "__main__":
    unittest.main()

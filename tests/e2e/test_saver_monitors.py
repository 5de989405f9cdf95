"""Duskpanel.scr /s with the simulated panel and simulated DDC/CI monitors (testing/ddcsim.py):
the monitors dimmed with the panel to the same share of their own ranges, put back after the
panel on the user's return, a failing monitor left alone without holding up the others, and a
power-source change applying the level to them too. "Dim_external_monitors=0" leaves them alone;
a desktop without a panel has its monitors dimmed and put back all the same.

Figures (panel back and each monitor back, after the mouse move, by the simulators' own time
stamps) go to <DP_E2E_WORK>/saver-monitors-figures.txt.
"""
import os
import signal
import sys
import tempfile
import time
import unittest

import ddcsim
import lcdsim
from test_saver_run import (AC_LEVEL, PBT_APMPOWERSTATUSCHANGE, SHARED_FOLDER,
                            VK_SHIFT, WM_POWERBROADCAST, SaverCase, xdotool)
from winetest import build_dir, wait_until

RECORDS = r"HKEY_CURRENT_USER\Software\Nerovane\Duskpanel\restore_brightness"

FIGURES = []

# The latency of a slow real monitor's DDC/CI call.
LATENCY_MS = 60


def tearDownModule():
    if not FIGURES:
        return
    work = os.environ.get("DP_E2E_WORK", tempfile.gettempdir())
    os.makedirs(work, exist_ok=True)
    with open(os.path.join(work, "saver-monitors-figures.txt"), "w", encoding="utf-8") as f:
        f.write("\n".join(FIGURES) + "\n")
    print("\n".join(FIGURES), file=sys.stderr)


def monitors():
    return [
        ddcsim.monitor(current=70, minimum=0, maximum=100, latency_ms=LATENCY_MS, name="Left"),
        ddcsim.monitor(current=200, minimum=20, maximum=220, latency_ms=LATENCY_MS, name="Right"),
        ddcsim.monitor(current=50, latency_ms=LATENCY_MS, fail=ddcsim.FAIL_WRITE, name="Broken"),
        ddcsim.monitor(current=50, fail=ddcsim.FAIL_ALL, name="Off"),
    ]


class SaverMonitorsTest(SaverCase):
    prefix_name = "saver-monitors"

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

    def choose_monitors(self, value):
        """Appends "Dim_external_monitors=<value>" to the "Param.ini" setUp wrote."""
        with open(os.path.join(self.wine.unix_path(SHARED_FOLDER), "Param.ini"), "ab") as f:
            f.write(b"Dim_external_monitors=%d\r\n" % value)

    def test_turned_off_the_monitors_are_left_alone_and_the_panel_still_dims(self):
        self.choose_monitors(0)
        self.start_and_wait_dimmed()
        time.sleep(2)
        xdotool("mousemove_relative", "--", 40, 0)
        self.assertTrue(self.wait_ended(), "the process stayed")
        self.assert_scheme_restored()
        self.assertEqual(ddcsim.state(self.wine.path)["calls"], [], "a monitor was asked")

    def test_monitors_follow_the_panel_down_and_back(self):
        self.start_and_wait_dimmed()
        # The level's share of each range: 30 % of 0..100 and of 20..220.
        self.assertTrue(wait_until(lambda: self.monitor_sets(0) == [30]
                                   and self.monitor_sets(1) == [80], timeout=10, interval=0.2),
                        ddcsim.sets(self.wine.path))
        moved_filetime = lcdsim.filetime(time.time())
        xdotool("mousemove_relative", "--", 40, 0)
        self.assertTrue(self.wait_ended(), "the process stayed")
        self.assert_scheme_restored()
        state = ddcsim.state(self.wine.path)
        self.assertEqual(state["current"], [70, 200, 50, 50], state["calls"])
        sets = [c for c in state["calls"] if c["call"] == "Set"]
        # Each working monitor dimmed and put back; the one that failed its write is not asked
        # again; the one that is off got one read and nothing else.
        self.assertEqual(self.monitor_sets(0), [30, 70])
        self.assertEqual(self.monitor_sets(1), [80, 200])
        self.assertEqual(self.monitor_sets(2), [30])
        self.assertEqual([c["call"] for c in state["calls"] if c["monitor"] == 3], ["Get"])
        # The panel first: the monitors' put-back starts after the panel's last request.
        panel = [e for e in lcdsim.history(self.wine.path) if e["req"] != "CLOSE"]
        panel_back_ms = (panel[-1]["time"] - moved_filetime) / 10_000
        back = [c for c in sets if c["value"] in (70, 200)]
        last_monitor_ms = (max(c["time"] for c in back) - moved_filetime) / 10_000
        self.assertGreaterEqual(last_monitor_ms, panel_back_ms, "the panel comes back first")
        self.assertLess(last_monitor_ms - panel_back_ms, 1000,
                        "the monitors took more than a second after the panel")
        FIGURES.append("mouse move to panel back: %.0f ms; to the last monitor back: %.0f ms "
                       "(simulated %d ms per DDC/CI call)"
                       % (panel_back_ms, last_monitor_ms, LATENCY_MS))

    def test_power_source_change_applies_the_level_to_the_monitors(self):
        window, _ = self.start_and_wait_dimmed()
        self.assertTrue(wait_until(lambda: self.monitor_sets(0) == [30], timeout=10,
                                   interval=0.2))
        self.assertEqual(
            self.driver("post", window["hwnd"], WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE)
            .returncode, 0)
        time.sleep(5)
        xdotool("mousemove_relative", "--", 40, 0)
        self.assertTrue(self.wait_ended())
        # Same source, same level: no second write; then the put-back.
        self.assertEqual(self.monitor_sets(0), [30, 70])
        self.assertEqual(self.monitor_sets(1), [80, 200])
        self.assertEqual(self.monitor_sets(2), [AC_LEVEL])


    def records(self):
        values = lcdsim.read_key(self.wine.path, RECORDS).get(RECORDS, {})
        return [data for _, data in values.values()]

    def test_a_killed_saver_gives_the_monitors_back(self):
        self.start_and_wait_dimmed()
        self.assertTrue(wait_until(lambda: self.monitor_sets(0) == [30]
                                   and self.monitor_sets(1) == [80], timeout=10, interval=0.2))
        # The record lists what each monitor gets back, by its position, before its change.
        (text,) = self.records()
        self.assertIn(" monitors=", text)
        listed = sorted(text.split(" monitors=")[1].split(","))
        # The broken one answered its read: it is listed though its write then failed; the one
        # that is off is not.
        self.assertEqual(listed, ["0:70", "1:200", "2:50"], text)
        (saver,) = [pid for pid, line in self.saver_pids() if line.endswith("/w")]
        os.kill(saver, signal.SIGKILL)
        self.assertTrue(wait_until(lambda: ddcsim.state(self.wine.path)["current"][:2] == [70, 200],
                                   timeout=15, interval=0.2), ddcsim.sets(self.wine.path))
        self.assertTrue(self.wait_ended(), "the watcher stayed")
        self.assertEqual(self.records(), [])
        # The broken monitor was not asked again: its one failed write is all it got.
        self.assertEqual(self.monitor_sets(2), [30])


class SaverDesktopMonitorsTest(SaverCase):
    """No panel to control, two monitors that answer: the saver dims them and puts them back."""

    prefix_name = "saver-desktop-monitors"
    with_panel = False

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        try:
            ddcsim.install(cls.wine.path, build_dir(), monitors()[:2])
        except BaseException:
            cls.wine.close()
            raise

    def setUp(self):
        super().setUp()
        ddcsim.configure(self.wine.path, monitors()[:2], clear_calls=True)

    def test_the_monitors_alone_are_dimmed_and_put_back(self):
        self.start_saver()
        self.assertTrue(wait_until(lambda: ddcsim.sets(self.wine.path, 0) == [30]
                                   and ddcsim.sets(self.wine.path, 1) == [80],
                                   timeout=30, interval=0.2), ddcsim.sets(self.wine.path))
        self.assertEqual(self.find_window()["visible"], 0, "no panel: the window stays hidden")
        values = lcdsim.read_key(self.wine.path, RECORDS).get(RECORDS, {})
        (text,) = [data for _, data in values.values()]
        self.assertIn("restore=power-scheme monitors=", text)
        moved = time.monotonic()
        # Input that reaches no window of the hidden saver: the last-input poll sees it.
        self.assertEqual(self.driver("key", VK_SHIFT).returncode, 0)
        self.assertTrue(wait_until(lambda: ddcsim.state(self.wine.path)["current"] == [70, 200],
                                   timeout=10, interval=0.05), ddcsim.sets(self.wine.path))
        back_after = time.monotonic() - moved
        self.assertTrue(self.wait_ended(), "the process stayed")
        self.assertEqual(ddcsim.sets(self.wine.path, 0), [30, 70])
        self.assertEqual(ddcsim.sets(self.wine.path, 1), [80, 200])
        self.assertEqual(lcdsim.read_key(self.wine.path, RECORDS).get(RECORDS, {}), {})
        FIGURES.append("desktop without a panel, key from a helper to both monitors back: %.2f s "
                       "(the helper's start, the input poll and the test's registry reads "
                       "included)" % back_after)

    def test_a_killed_desktop_saver_gives_the_monitors_back(self):
        self.start_saver()
        self.assertTrue(wait_until(lambda: ddcsim.sets(self.wine.path, 0) == [30]
                                   and ddcsim.sets(self.wine.path, 1) == [80],
                                   timeout=30, interval=0.2), ddcsim.sets(self.wine.path))
        self.assertTrue(wait_until(lambda: " monitors=" in "".join(
            data for _, data in lcdsim.read_key(self.wine.path, RECORDS)
            .get(RECORDS, {}).values()), timeout=10, interval=0.2), "no monitors recorded")
        (saver,) = [pid for pid, line in self.saver_pids() if line.endswith("/w")]
        os.kill(saver, signal.SIGKILL)
        self.assertTrue(wait_until(lambda: ddcsim.state(self.wine.path)["current"] == [70, 200],
                                   timeout=15, interval=0.2), ddcsim.sets(self.wine.path))
        self.assertTrue(self.wait_ended(), "the watcher stayed")
        self.assertEqual(lcdsim.read_key(self.wine.path, RECORDS).get(RECORDS, {}), {})


if __name__ == "__main__":
    unittest.main()

"""A saver that dies dimmed does not leave the panel dark. The /w saver starts a hidden copy of
itself that waits on the saver's process handle: however the saver ends (killed, a fault, abort,
a stack overflow, a fail-fast, a fault while another thread holds the heap lock), the watcher
puts the captured brightness back from the saver's record within a moment, and an orderly end
leaves nothing behind. A record left by a process that could not be watched is put back by the
next start, through the power scheme when its levels are not the panel's. Only one saver dims.

Figures (kill to brightness back, by the panel's time stamps) go to
<DP_E2E_WORK>/saver-crash-figures.txt.
"""
import os
import signal
import statistics
import subprocess
import time
import unittest

import lcdsim
import tempfile

from test_saver_run import AC_LEVEL, INSTALLED, START_BRIGHTNESS, SaverCase
from winetest import WINE, wait_until

RECORDS = r"HKCU\Software\Nerovane\Duskpanel\restore_brightness"
RECORDS_REG = RECORDS.replace("HKCU", "HKEY_CURRENT_USER")
# Wine's debugger takes activation, which would end the saver in an orderly way and hide what
# the exception filter did: the system's debugger entry ends the faulting process instead.
AEDEBUG = r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug"

DIMMED = bytes([1, AC_LEVEL, AC_LEVEL])
PUT_BACK = bytes([3, START_BRIGHTNESS, START_BRIGHTNESS])
KILL_RUNS = 5
PUT_BACK_TIMEOUT = 10
WATCH_SWITCH = "/~brightness-watch"
# Re-applying the power scheme switches to the second scheme (60) and back to the active one.
SCHEME_SETS = [bytes([3, 60, 60]), PUT_BACK]

FIGURES = []


def tearDownModule():
    if not FIGURES:
        return
    work = os.environ.get("DP_E2E_WORK", tempfile.gettempdir())
    os.makedirs(work, exist_ok=True)
    with open(os.path.join(work, "saver-crash-figures.txt"), "w", encoding="utf-8") as f:
        f.write("\n".join(FIGURES) + "\n")


class SaverCrashTest(SaverCase):
    prefix_name = "saver-crash"

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        lcdsim.reg_import(cls.wine.path, [(AEDEBUG, {
            "Debugger": ("sz", "taskkill.exe /f /pid %ld"), "Auto": ("sz", "1")})])

    def records(self):
        """{value name: record text} of the profile's restore records."""
        values = lcdsim.read_key(self.wine.path, RECORDS).get(RECORDS_REG, {})
        return {name: data for name, (_, data) in values.items()}

    def scheme_switches(self):
        return [c["scheme"] for c in lcdsim.power_calls(self.wine.path)
                if c["call"] == "SetActive"]

    def savers(self):
        return [pid for pid, line in self.saver_pids() if line.endswith("/w")]

    def watchers(self):
        return [pid for pid, line in self.saver_pids() if WATCH_SWITCH in line]

    def wait_put_back(self):
        return wait_until(lambda: PUT_BACK in self.sets(), timeout=PUT_BACK_TIMEOUT,
                          interval=0.05)

    def start_watched(self):
        window, _ = self.start_and_wait_dimmed()
        # Started before the first dim; its process may still be starting under Wine.
        wait_until(self.watchers, timeout=5, interval=0.1)
        (text,) = self.records().values()
        self.assertTrue(text.startswith(f"process={window['pid']} started="), text)
        self.assertTrue(text.endswith(f" restore={START_BRIGHTNESS},{START_BRIGHTNESS}"), text)
        return window

    def end_everything(self):
        """Ends what a failing saver left hanging; true when nothing of it is left."""
        for pid in self.savers():
            os.kill(pid, signal.SIGKILL)
        return self.wait_ended()

    # --- an orderly end -------------------------------------------------------------------
    def test_the_watcher_is_hidden_costs_nothing_and_goes_with_an_orderly_end(self):
        window = self.start_watched()
        (watcher,) = self.watchers()  # beside the saver
        self.assertEqual(self.driver("find", "--timeout", 500).stdout.split()[12],
                         str(window["pid"]), "the saver's is the only window")
        with open(f"/proc/{watcher}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        cpu_before = int(fields[11]) + int(fields[12])
        time.sleep(2)
        with open(f"/proc/{watcher}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        self.assertLessEqual(int(fields[11]) + int(fields[12]) - cpu_before, 1,
                             "the watcher used CPU while waiting")
        self.driver("key", 0x10)
        self.assertTrue(self.wait_ended(), "a process stayed")
        self.assertEqual(self.records(), {})
        self.assertEqual(self.sets(), [DIMMED] + SCHEME_SETS, "put back once, by the saver")
        self.assertEqual(self.scheme_switches(), [1, 0])

    # --- deaths that run no code of ours, or only a little --------------------------------
    def assert_put_back_after(self, verb, expect_end=True):
        window = self.start_watched()
        self.assertEqual(self.driver(verb, window["pid"]).returncode, 0, verb)
        self.assertTrue(self.wait_put_back(), f"{verb}: the panel stayed dim: {self.sets()}")
        if expect_end:
            self.assertTrue(self.wait_ended(), f"{verb}: the saver did not end")
        else:
            self.assertTrue(self.end_everything())
        self.assertEqual(self.sets(), [DIMMED, PUT_BACK], verb)
        self.assertEqual(self.scheme_switches(), [], f"{verb}: ended in an orderly way instead")
        self.assertEqual(self.records(), {}, verb)

    def test_terminate_process(self):
        self.assert_put_back_after("terminate")

    def test_access_violation(self):
        self.assert_put_back_after("fault")

    def test_abort(self):
        self.assert_put_back_after("abort")

    def test_raised_stack_overflow(self):
        self.assert_put_back_after("raise-overflow")

    def test_real_stack_overflow(self):
        # Wine finds the overflowing thread with under 2 KB of stack and cannot dispatch the
        # exception: that thread stops, the rest of the saver runs on (Windows ends the process,
        # and the watcher puts the brightness back as for the other deaths). Either way the
        # panel does not stay dark.
        window = self.start_watched()
        self.assertEqual(self.driver("overflow", window["pid"]).returncode, 0)
        if not wait_until(lambda: PUT_BACK in self.sets(), timeout=3, interval=0.05):
            self.assertEqual(self.sets(), [DIMMED])
            self.assertTrue(self.savers(), "the saver ended without putting the brightness back")
            self.driver("key", 0x10)
            self.assertTrue(self.wait_ended(), "the saver no longer answers input")
            self.assertEqual(self.sets(), [DIMMED] + SCHEME_SETS)
        else:
            self.assertTrue(self.end_everything())
            self.assertEqual(self.sets(), [DIMMED, PUT_BACK])
        self.assertEqual(self.records(), {})

    def test_fastfail(self):
        self.assert_put_back_after("fastfail")

    def test_fault_while_another_thread_holds_the_heap_lock(self):
        # The dying process cannot end on its own: the debugger start needs the heap.
        self.assert_put_back_after("heap-fault", expect_end=False)

    def test_kill_to_brightness_back(self):
        delays = []
        for run in range(KILL_RUNS):
            lcdsim.configure(self.wine.path, clear_history=True, clear_power_calls=True)
            self.start_watched()
            (saver,) = self.savers()
            killed = time.time()
            os.kill(saver, signal.SIGKILL)
            self.assertTrue(self.wait_put_back(), f"run {run}: the panel stayed dim")
            stamp = [e["time"] for e in lcdsim.history(self.wine.path)
                     if e["req"] == "SET_DISPLAY_BRIGHTNESS" and e["in"] == PUT_BACK][0]
            delays.append((stamp - lcdsim.filetime(killed)) / 1e7)
            self.assertTrue(self.wait_ended(), "the watcher stayed")
            self.assertEqual(self.records(), {})
        median = statistics.median(delays)
        FIGURES.append("kill (SIGKILL) to brightness back: median %.3f s of %d (%s)" % (
            median, len(delays), ", ".join("%.3f" % d for d in delays)))
        self.assertLess(max(delays), 2.0, delays)

    # --- what is put back -----------------------------------------------------------------
    def test_a_short_reply_from_the_driver_is_no_brightness(self):
        # One byte of three: the rest of the record would read as level 0, backlight off.
        lcdsim.configure(self.wine.path, query_bytes=1)
        self.addCleanup(lcdsim.configure, self.wine.path, query_bytes=3)
        window, _ = self.start_and_wait_dimmed()
        wait_until(self.watchers, timeout=5, interval=0.1)
        (text,) = self.records().values()
        self.assertTrue(text.endswith(" restore=power-scheme"), text)
        self.assertEqual(self.driver("terminate", window["pid"]).returncode, 0)
        self.assertTrue(self.wait_put_back(), self.sets())
        self.assertTrue(self.wait_ended())
        self.assertEqual(self.scheme_switches(), [1, 0])
        self.assertEqual(self.sets(), [DIMMED] + SCHEME_SETS)

    def test_a_left_record_with_levels_outside_the_table_goes_back_through_the_scheme(self):
        rows = [("255,255", bytes([3, 255, 255])), ("35,80", bytes([3, 35, 80])),
                ("80,0", None)]
        for levels, forbidden in rows:
            with self.subTest(levels=levels):
                lcdsim.configure(self.wine.path, brightness=AC_LEVEL, clear_history=True,
                                 clear_power_calls=True)
                # Process 1 never runs under Wine: the record is a dead process's.
                lcdsim.reg_import(self.wine.path, [(RECORDS_REG, {
                    "1-5": ("sz", f"process=1 started=5 restore={levels}")})])
                self.assertEqual(
                    self.wine.run(self.wine.unix_path(INSTALLED), "/p", "1").returncode, 0)
                self.assertEqual(self.records(), {})
                if forbidden is None:  # both levels listed: set as recorded
                    self.assertEqual(self.sets(), [bytes([3, 80, 0])])
                    self.assertEqual(self.scheme_switches(), [])
                else:
                    self.assertNotIn(forbidden, self.sets())
                    self.assertEqual(self.scheme_switches(), [1, 0])
                    self.assertEqual(self.sets(), SCHEME_SETS)

    def test_only_one_saver_dims(self):
        """A second /w, while one saver runs or starting at the same moment, ends by itself
        without a request to the panel: it would take the first one's dimmed level for the
        brightness to go back to."""
        env = dict(self.wine.env, WINEDEBUG="-all")

        def start_run_saver():
            p = subprocess.Popen([WINE, self.wine.unix_path(INSTALLED), "/w"], env=env,
                                 stdin=subprocess.DEVNULL, stdout=self.log, stderr=self.log)
            self.addCleanup(p.wait, 30)
            return p

        for together in (False, True):
            with self.subTest(together=together):
                lcdsim.configure(self.wine.path, clear_history=True, clear_power_calls=True)
                first = start_run_saver()
                if not together:
                    self.wait_dimmed()
                second = start_run_saver()
                self.wait_dimmed()
                self.assertTrue(wait_until(lambda: len(self.savers()) == 1, timeout=20,
                                           interval=0.1), self.saver_pids())
                if not together:
                    self.assertEqual(second.wait(20), 0, "the second saver did not end")
                    self.assertIsNone(first.poll(), "the first saver ended")
                time.sleep(1)
                self.assertEqual(self.sets(), [DIMMED], "the second saver touched the panel")
                self.assertEqual(len(self.records()), 1)
                self.driver("key", 0x10)
                self.assertTrue(self.wait_ended())
                self.assertEqual(self.sets()[-1], PUT_BACK)
                self.assertEqual(self.records(), {})

if __name__ == "__main__":
    unittest.main()

"""The saver's brightness controller on the simulated panel, seen through brightness_probe.exe.

The probe constructs the same BrightnessController the saver and the settings dialog construct,
prints what it sees, runs the requested steps and destroys it. The simulated driver's history
and the simulated power library's call log show what reached the "hardware". Wine has no
WmiMonitorBrightness class, so the levels always come from the device here.

Environment:
  DP_BUILD_WIN64     the win64 build dir (default <repository>/build/win64)
  DP_WINE_TEMPLATE   an initialised prefix to copy (default: one made by testing/winetest.py)
"""

import os
import shutil
import sys
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "testing"))

import lcdsim  # noqa: E402
import winetest  # noqa: E402

BUILD = os.environ.get("DP_BUILD_WIN64", os.path.join(ROOT, "build", "win64"))
PROBE = os.path.join(BUILD, "bin", "brightness_probe.exe")
BACKEND_TESTS = os.path.join(BUILD, "tests", "win_brightness_backends_test.exe")
ELEVEN_LEVELS = list(range(0, 101, 10))
SCHEMES = (80, 40)  # brightness of scheme 0 (active) and scheme 1


def setUpModule():
    if not os.path.exists(lcdsim.WINE):
        raise unittest.SkipTest("no " + lcdsim.WINE)
    lcdsim.artifacts(BUILD)  # a missing build is an error, not a skip
    if not os.path.isfile(PROBE):
        raise FileNotFoundError(PROBE)


def parse_probe(stdout):
    """{key: value} from the probe's "key=value" lines; repeated keys keep a list in order."""
    result = {}
    for line in stdout.splitlines():
        key, sep, value = line.strip().partition("=")
        if not sep:
            continue
        if key in result:
            previous = result[key]
            result[key] = (previous if isinstance(previous, list) else [previous]) + [value]
        else:
            result[key] = value
    return result


def record(text):
    return tuple(int(x) for x in text.split())


class ProbeCase(unittest.TestCase):
    """A fresh prefix per class with one wineserver kept alive for its tests."""

    install_args = {}

    @classmethod
    def setUpClass(cls):
        work = os.environ.get("DP_E2E_WORK")  # on the template's file system: shared binaries
        if work:
            os.makedirs(work, exist_ok=True)
        cls.tmp = tempfile.mkdtemp(prefix="dp-brightness-", dir=work)
        cls.prefix = os.path.join(cls.tmp, "prefix")
        winetest.copy_prefix(winetest.template_prefix(), cls.prefix)
        try:
            lcdsim.start_server(cls.prefix)
            lcdsim.install(cls.prefix, BUILD, schemes=SCHEMES, active_scheme=0,
                           **cls.install_args)
        except BaseException:
            cls.tearDownClass()
            raise

    @classmethod
    def tearDownClass(cls):
        lcdsim.stop_server(cls.prefix)
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def probe(self, *steps):
        r = lcdsim.run_wine(self.prefix, [PROBE] + [str(s) for s in steps], timeout=120)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        out = parse_probe(r.stdout)
        self.assertEqual(out.get("destroyed"), "yes", r.stdout)
        return out

    def sets(self):
        """The records of every set request the driver received, oldest first."""
        return [tuple(e["in"]) for e in lcdsim.history(self.prefix, ioctls_only=True)
                if e["req"] == "SET_DISPLAY_BRIGHTNESS"]

    def scheme_switches(self):
        return [c["scheme"] for c in lcdsim.power_calls(self.prefix) if c["call"] == "SetActive"]


class ControllerOnSimulatedPanel(ProbeCase):

    def setUp(self):
        lcdsim.configure(self.prefix, levels=ELEVEN_LEVELS, record=(1, 70, 70),
                         fail_query_levels=False, fail_query=False, fail_set=False,
                         query_policy3=False, schemes=SCHEMES, active_scheme=0,
                         fail_get_active=0, fail_enumerate=0, fail_set_active=0,
                         clear_history=True, clear_power_calls=True)

    # ---- detection ---------------------------------------------------------------------------

    def test_eleven_levels_come_from_the_device_and_the_initial_record_is_read(self):
        out = self.probe()
        self.assertEqual(out["mode"], "Backlight")
        self.assertEqual(out["level_count"], "11")
        self.assertEqual(out["levels"], " ".join(map(str, ELEVEN_LEVELS)))
        self.assertEqual(record(out["initial"]), (1, 70, 70))
        requests = [e["req"] for e in lcdsim.history(self.prefix, ioctls_only=True)]
        self.assertEqual(requests[:2], ["QUERY_SUPPORTED_BRIGHTNESS", "QUERY_DISPLAY_BRIGHTNESS"])

    def test_256_levels_fill_the_whole_table(self):
        lcdsim.configure(self.prefix, levels=list(range(256)))
        out = self.probe()
        self.assertEqual(out["mode"], "Backlight")
        self.assertEqual(out["level_count"], "256")
        self.assertEqual(out["levels"], " ".join(map(str, range(256))))

    def test_no_levels_leave_mode_none_and_close_the_device(self):
        lcdsim.configure(self.prefix, levels=[])
        out = self.probe("apply", 20, 20, 1)
        self.assertEqual((out["mode"], out["level_count"], out["apply"]), ("None", "0", "failed"))
        entries = lcdsim.history(self.prefix)
        requests = [e["req"] for e in entries if e["req"] not in ("OPEN", "CLOSE")]
        self.assertEqual(requests, ["QUERY_SUPPORTED_BRIGHTNESS"])
        self.assertEqual(sum(e["req"] == "OPEN" for e in entries),
                         sum(e["req"] == "CLOSE" for e in entries))
        self.assertEqual(self.scheme_switches(), [])

    def test_failing_level_query_leaves_mode_none(self):
        lcdsim.configure(self.prefix, fail_query_levels=True)
        out = self.probe()
        self.assertEqual(out["mode"], "None")
        self.assertEqual(self.sets(), [])

    # ---- apply, capture, restore ---------------------------------------------------------------

    def test_captured_brightness_is_put_back_at_the_end(self):
        out = self.probe("save", "apply", 20, 20, 1)
        self.assertEqual((out["save"], out["apply"]), ("ok", "ok"))
        self.assertEqual(record(out["saved_mains"]), (1, 70, 70))
        self.assertEqual(self.sets(), [(1, 20, 20), (1, 70, 70)])
        self.assertEqual(lcdsim.current_record(self.prefix), (1, 70, 70))
        self.assertEqual(self.scheme_switches(), [])

    def test_nothing_captured_restores_through_the_power_scheme(self):
        out = self.probe("apply", 20, 20, 1)
        self.assertEqual(out["apply"], "ok")
        self.assertEqual(self.scheme_switches(), [1, 0])
        # The simulated library sets each scheme's brightness as Windows would.
        self.assertEqual(self.sets(), [(1, 20, 20), (3, 40, 40), (3, 80, 80)])
        self.assertEqual(lcdsim.current_record(self.prefix)[1:], (80, 80))

    def test_policy_3_answer_captures_nothing_and_the_scheme_restores(self):
        lcdsim.configure(self.prefix, query_policy3=True)
        out = self.probe("save", "apply", 20, 20, 1)
        self.assertEqual(out["save"], "ok")
        self.assertEqual(record(out["saved_mains"])[1], 255)
        self.assertEqual(record(out["saved_battery"])[1], 255)
        self.assertEqual(self.scheme_switches(), [1, 0])
        self.assertEqual(lcdsim.current_record(self.prefix)[1:], (80, 80))

    def test_single_scheme_system_skips_both_switches(self):
        lcdsim.configure(self.prefix, schemes=(80,), active_scheme=0)
        self.probe("apply", 20, 20, 1)
        self.assertEqual(self.scheme_switches(), [])
        self.assertEqual(lcdsim.current_record(self.prefix), (1, 20, 70))

    def test_no_active_scheme_skips_the_switch(self):
        lcdsim.configure(self.prefix, fail_get_active=120)
        self.probe("apply", 20, 20, 1)
        calls = [c["call"] for c in lcdsim.power_calls(self.prefix)]
        self.assertNotIn("Enumerate", calls)
        self.assertNotIn("SetActive", calls)

    def test_explicit_restore_happens_once(self):
        out = self.probe("save", "apply", 20, 20, 1, "restore", "apply", 30, 30, 1)
        self.assertEqual(out["restore"], "done")
        self.assertEqual(out["apply"], ["ok", "failed"])
        self.assertEqual(self.sets(), [(1, 20, 20), (1, 70, 70)])

    # ---- the driver's answers ------------------------------------------------------------------

    def test_accepted_set_with_a_stale_last_error_counts_as_failure(self):
        out = self.probe("apply-stale", 5, 30, 30, 1)
        self.assertEqual(out["apply"], "failed")
        entries = [e for e in lcdsim.history(self.prefix, ioctls_only=True)
                   if e["req"] == "SET_DISPLAY_BRIGHTNESS"]
        self.assertEqual((tuple(entries[0]["in"]), entries[0]["status"]), ((1, 30, 30), 0))

    def test_refused_set_reports_failure(self):
        lcdsim.configure(self.prefix, fail_set=True)
        out = self.probe("apply", 30, 30, 1)
        self.assertEqual(out["apply"], "failed")

    def test_device_back_end_cases_pass_on_the_panel(self):
        # The Windows-side back-end tests skip their device cases where there is no panel;
        # here they run.
        if not os.path.isfile(BACKEND_TESTS):
            self.skipTest("not built: " + BACKEND_TESTS)
        r = lcdsim.run_wine(self.prefix, [BACKEND_TESTS, "--gtest_filter=BrightnessWithPanel.*"],
                            timeout=120)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertIn("[  PASSED  ] 2 tests", r.stdout)
        self.assertNotIn("SKIPPED", r.stdout)


class ControllerWithoutPanel(ProbeCase):
    """The simulated power library is there, the driver is not: nothing may be touched."""

    install_args = {"start": False}

    def test_mode_none_nothing_applied_nothing_restored(self):
        opened, error = lcdsim.device_opens(self.prefix)
        self.assertEqual((opened, error), (False, 2))
        out = self.probe("save", "apply", 20, 20, 1)
        self.assertEqual((out["mode"], out["level_count"]), ("None", "0"))
        self.assertEqual((out["save"], out["apply"]), ("failed", "failed"))
        self.assertEqual(lcdsim.history(self.prefix, ioctls_only=True), [])
        self.assertEqual(lcdsim.power_calls(self.prefix), [])


if __name__ == "__main__":
    unittest.main()

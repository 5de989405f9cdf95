"""The simulated LCD panel (testing/lcdsim) and power scheme (testing/powrprof_sim) under Wine.

Proves that the simulators answer the brightness IOCTLs and power-scheme calls the product makes, as
testing/README.md ("Simulated LCD panel") says. Python unittest, standard library only.

Environment:
  DP_BUILD_WIN64     the win64 build dir (default <repository>/build/win64)
  DP_WINE_TEMPLATE   an initialised prefix to copy (default: one made here with
                     testing/wine-env.sh's dp_make_template in a temporary dir)
  DP_E2E_WORK        where the prefixes go (default: the temporary dir)

Each test class copies the template to a fresh prefix, keeps one wineserver alive for its tests
(except LifecycleTest, which needs cold starts) and ends it with wineserver -k, then -w.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "testing"))

import lcdsim  # noqa: E402
import winetest  # noqa: E402

BUILD = os.environ.get("DP_BUILD_WIN64", os.path.join(ROOT, "build", "win64"))
TEMPLATE_TIMEOUT = 300

_template = None
_template_tmp = None


def setUpModule():
    global _template, _template_tmp
    if not os.path.exists(lcdsim.WINE):
        raise unittest.SkipTest("no " + lcdsim.WINE)
    lcdsim.artifacts(BUILD)  # a missing build is an error, not a skip
    _template = os.environ.get("DP_WINE_TEMPLATE")
    if not _template:
        _template_tmp = tempfile.mkdtemp(prefix="dp-lcdsim-template-")
        _template = os.path.join(_template_tmp, "prefix")
        subprocess.run(["bash", "-c", '. "$1/testing/wine-env.sh" && dp_make_template "$2"',
                        "make-template", ROOT, _template], check=True, timeout=TEMPLATE_TIMEOUT)


def tearDownModule():
    if _template_tmp:
        lcdsim.stop_server(_template)
        shutil.rmtree(_template_tmp, ignore_errors=True)


class PrefixCase(unittest.TestCase):
    """A fresh copy of the template per class with the simulators installed."""

    persistent = True
    install_args = {}

    @classmethod
    def setUpClass(cls):
        work = os.environ.get("DP_E2E_WORK")  # ./dev's e2e work dir, else the temporary dir
        if work:
            os.makedirs(work, exist_ok=True)
        cls.tmp = tempfile.mkdtemp(prefix="dp-lcdsim-", dir=work)
        cls.prefix = os.path.join(cls.tmp, "prefix")
        winetest.copy_prefix(_template, cls.prefix)
        try:
            if cls.persistent:
                lcdsim.start_server(cls.prefix)
            cls.install_seconds = lcdsim.install(cls.prefix, BUILD, **cls.install_args)
        except BaseException:
            cls.tearDownClass()
            raise

    @classmethod
    def tearDownClass(cls):
        lcdsim.stop_server(cls.prefix)
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def run_client(self, *commands, **kw):
        return lcdsim.client(self.prefix, *commands, **kw)

    def one(self, *commands, **kw):
        lines = self.run_client(*commands, **kw)
        self.assertEqual(len(lines), 1, lines)
        return lines[0]


class PanelTest(PrefixCase):
    """The three brightness requests, their configuration and the record."""

    def setUp(self):
        lcdsim.configure(self.prefix, levels=lcdsim.DEFAULT_LEVELS, record=(1, 70, 70),
                         fail_query_levels=False, fail_query=False, fail_set=False,
                         query_policy3=False, clear_history=True)

    def test_configured_levels_are_returned(self):
        lcdsim.configure(self.prefix, levels=[5, 25, 50, 75, 100])
        r = self.one("levels")
        self.assertEqual((r["ok"], r["err"], r["bytes"]), (1, 0, 5))
        self.assertEqual(r["data"], [5, 25, 50, 75, 100])
        entries = lcdsim.history(self.prefix, ioctls_only=True)
        self.assertEqual([e["req"] for e in entries], ["QUERY_SUPPORTED_BRIGHTNESS"])
        self.assertEqual((entries[0]["outlen"], entries[0]["info"], entries[0]["status"]),
                         (256, 5, 0))
        self.assertEqual(entries[0]["out"], bytes([5, 25, 50, 75, 100]))

    def test_256_levels(self):
        lcdsim.configure(self.prefix, levels=list(range(256)))
        r = self.one("levels")
        self.assertEqual((r["ok"], r["bytes"]), (1, 256))
        self.assertEqual(r["data"], list(range(256)))

    def test_empty_levels_give_success_with_zero_bytes(self):
        lcdsim.configure(self.prefix, levels=[])
        r = self.one("levels")
        self.assertEqual((r["ok"], r["err"], r["bytes"], r["data"]), (1, 0, 0, []))

    def test_output_buffer_is_never_overrun(self):
        r = self.run_client("levels-out", 3, "levels-out", 11)
        self.assertEqual((r[0]["ok"], r[0]["err"], r[0]["guard"]), (0, 122, "intact"))
        self.assertEqual((r[1]["ok"], r[1]["bytes"], r[1]["guard"]), (1, 11, "intact"))

    def test_query_returns_the_seeded_record(self):
        r = self.one("query")
        self.assertEqual((r["ok"], r["err"], r["bytes"], r["record"]), (1, 0, 3, (1, 70, 70)))

    def test_set_is_recorded_and_changes_the_query(self):
        began = time.time()
        r = self.run_client("query", "set", 3, 30, 40, "query")
        ended = time.time()
        self.assertEqual(r[0]["record"], (1, 70, 70))
        self.assertEqual((r[1]["ok"], r[1]["err"]), (1, 0))
        self.assertEqual(r[2]["record"], (1, 30, 40))
        self.assertEqual(lcdsim.current_record(self.prefix), (1, 30, 40))
        entries = lcdsim.history(self.prefix)
        self.assertEqual([e["req"] for e in entries],
                         ["OPEN", "QUERY_DISPLAY_BRIGHTNESS", "SET_DISPLAY_BRIGHTNESS",
                          "QUERY_DISPLAY_BRIGHTNESS", "CLOSE"])
        # Each request carries the host's real-time clock when it arrived, as a FILETIME.
        stamps = [e["time"] for e in entries]
        self.assertEqual(stamps, sorted(stamps))
        self.assertLessEqual(lcdsim.filetime(began), stamps[0])
        self.assertLessEqual(stamps[-1], lcdsim.filetime(ended))
        self.assertEqual((entries[2]["in"], entries[2]["inlen"], entries[2]["status"]),
                         (bytes([3, 30, 40]), 3, 0))

    def test_set_policy_selects_the_level(self):
        r = self.run_client("set", 1, 11, 99, "query", "set", 2, 99, 22, "query")
        self.assertEqual(r[1]["record"], (1, 11, 70))  # AC only
        self.assertEqual(r[3]["record"], (1, 11, 22))  # DC only
        r = self.one("set", 0, 1, 1)
        self.assertEqual((r["ok"], r["err"]), (0, 87))

    def test_failing_set_reports_error_50(self):
        lcdsim.configure(self.prefix, fail_set=True)
        r = self.run_client("set", 3, 10, 10, "query")
        self.assertEqual((r[0]["ok"], r[0]["err"]), (0, 50))
        self.assertEqual(r[1]["record"], (1, 70, 70))
        entry = lcdsim.history(self.prefix, ioctls_only=True)[0]
        self.assertEqual((entry["req"], entry["status"], entry["in"]),
                         ("SET_DISPLAY_BRIGHTNESS", lcdsim.STATUS_NOT_SUPPORTED, bytes([3, 10, 10])))

    def test_failing_queries_report_error_50(self):
        lcdsim.configure(self.prefix, fail_query_levels=True, fail_query=True)
        r = self.run_client("levels", "query")
        self.assertEqual((r[0]["ok"], r[0]["err"]), (0, 50))
        self.assertEqual((r[1]["ok"], r[1]["err"]), (0, 50))

    def test_policy3_query(self):
        lcdsim.configure(self.prefix, query_policy3=True)
        r = self.run_client("query", "set", 3, 20, 20, "query")
        self.assertEqual(r[0]["record"], (3, 70, 70))
        self.assertEqual(r[2]["record"], (3, 20, 20))
        self.assertEqual(lcdsim.current_record(self.prefix), (1, 20, 20))

    def test_success_leaves_a_stale_last_error(self):
        # What makes the product's rule (success needs a last error of 0) observable here.
        r = self.one("lasterror", 5, "set", 3, 40, 40)
        self.assertEqual((r["ok"], r["err"]), (1, 5))
        self.assertEqual(lcdsim.current_record(self.prefix), (1, 40, 40))

    def test_configuration_changes_while_running(self):
        r = self.one("levels")
        self.assertEqual(r["bytes"], 11)
        lcdsim.configure(self.prefix, levels=[1, 2, 3], brightness=2)
        r = self.run_client("levels", "query")
        self.assertEqual(r[0]["data"], [1, 2, 3])
        self.assertEqual(r[1]["record"], (1, 2, 2))


class PowerSchemeTest(PrefixCase):
    """powrprof.dll: found by LoadLibraryW, its three functions, and the panel it sets."""

    def setUp(self):
        lcdsim.configure(self.prefix, record=(1, 90, 90), schemes=[80, 20, 45], active_scheme=1,
                         fail_get_active=0, fail_enumerate=0, fail_set_active=0,
                         clear_history=True, clear_power_calls=True)

    def test_loadlibrary_finds_the_simulation(self):
        r = self.one("power")
        self.assertEqual(r["module"].lower(), r"c:\windows\system32\powrprof.dll")
        self.assertEqual(r["sim"], 1)
        self.assertEqual(r["getactive"], 0)
        self.assertEqual(r["active"], lcdsim.scheme_guid(1))
        self.assertNotIn("localfree", r)  # LocalFree of the returned identifier succeeded
        self.assertEqual(r["schemes"], ",".join(lcdsim.scheme_guid(i) for i in range(3)))
        self.assertEqual(r["enumerate_end"], 259)  # ERROR_NO_MORE_ITEMS

    def test_wine_stock_powrprof_returns_120(self):
        r = self.one("power", env_extra={"WINEDLLOVERRIDES": "powrprof=b"})
        self.assertEqual((r["sim"], r["getactive"], r["enumerate_end"]), (0, 120, 120))

    def test_set_active_scheme_sets_the_panel(self):
        r = self.one("powerset", 2)
        self.assertEqual((r["ok"], r["status"]), (1, 0))
        self.assertEqual(lcdsim.current_record(self.prefix), (1, 45, 45))
        sets = [e for e in lcdsim.history(self.prefix) if e["req"] == "SET_DISPLAY_BRIGHTNESS"]
        self.assertEqual([e["in"] for e in sets], [bytes([3, 45, 45])])
        power = lcdsim.power_state(self.prefix)
        self.assertEqual(power["active"], 2)
        call = power["calls"][-1]
        self.assertEqual((call["call"], call["scheme"], call["brightness"], call["lcd_ok"]),
                         ("SetActive", 2, 45, 1))

    def test_reapply_ends_at_the_active_schemes_brightness(self):
        # As the product re-applies a scheme: switch to the first other one (index 0) and back.
        r = self.one("reapply")
        self.assertEqual((r["getactive"], r["other"], r["set_other"], r["set_active"]),
                         (0, 1, 0, 0))
        sets = [e["in"] for e in lcdsim.history(self.prefix)
                if e["req"] == "SET_DISPLAY_BRIGHTNESS"]
        self.assertEqual(sets, [bytes([3, 80, 80]), bytes([3, 20, 20])])
        self.assertEqual(lcdsim.current_record(self.prefix), (1, 20, 20))
        calls = [c["call"] for c in lcdsim.power_calls(self.prefix)]
        self.assertEqual(calls, ["GetActive", "Enumerate", "SetActive", "SetActive"])

    def test_single_scheme_gives_no_other(self):
        lcdsim.configure(self.prefix, schemes=[55], active_scheme=0)
        r = self.one("reapply")
        self.assertEqual((r["getactive"], r["other"]), (0, 0))
        self.assertEqual(lcdsim.current_record(self.prefix), (1, 90, 90))

    def test_configured_failures(self):
        lcdsim.configure(self.prefix, fail_get_active=120, fail_enumerate=120)
        r = self.one("power")
        self.assertEqual((r["getactive"], r["active"], r["enumerate_end"]), (120, "none", 120))


class LifecycleTest(PrefixCase):
    """Start=2 brings the panel up with every cold wineserver; stop and start."""

    persistent = False

    def test_1_panel_comes_up_with_a_cold_server(self):
        lcdsim.stop_server(self.prefix)
        began = time.monotonic()
        r = self.one("query")
        seconds = time.monotonic() - began
        self.assertEqual((r["ok"], r["record"]), (1, lcdsim.DEFAULT_RECORD))
        print("\n  install %.1f s; cold start with the panel %.1f s" % (self.install_seconds,
                                                                       seconds),
              file=sys.stderr)

    def test_2_stop_and_start(self):
        lcdsim.stop_driver(self.prefix)
        self.assertEqual(lcdsim.device_opens(self.prefix), (False, 2))
        lcdsim.stop_server(self.prefix)
        self.assertEqual(lcdsim.device_opens(self.prefix), (False, 2))  # not auto-started
        r = self.one("powerset", 1)  # the power scheme without a panel: no crash, still success
        self.assertEqual((r["ok"], r["status"]), (1, 0))
        call = lcdsim.power_calls(self.prefix)[-1]
        self.assertEqual((call["lcd_ok"], call["lcd_err"]), (0, 2))
        lcdsim.start_driver(self.prefix)
        self.assertEqual(lcdsim.device_opens(self.prefix), (True, 0))
        lcdsim.stop_server(self.prefix)
        self.assertEqual(lcdsim.device_opens(self.prefix), (True, 0))


if __name__ == "__main__":
    unittest.main()

#!/usr/bin/env python3
"""Figures of the running saver on the simulated panel (a benchmark, not a test).

  testing/bench_saver.py [--runs N] [--cpu-seconds S] [--only start,reaction,monitors,cost]
                                                  (./dev bench saver, or ./dev bench, runs it)

Times come from the simulated panel's own stamps: every request it receives carries the host's
real-time clock, and the benchmark takes the same clock when it starts a program or injects
input (XTEST, the way xdotool sends it). Nothing is timed by polling.

  start     "Duskpanel.scr /s" as the system starts it, to the mains level reaching the panel;
            against saver_floor.exe, which opens the panel and sets the level at once (one
            program start), and against the same relaunched once as the saver relaunches
            itself (two starts: the least the /s-then-/w design allows). Where the saver's time
            goes, from the panel's stamps: to the device opened, the level query (after the WMI
            attempt), the brightness query and the level set.
  reaction  input to the brightness restored, for a mouse move, a key release and a click
            (window messages) and a wheel turn (seen only by the 100 ms last-input poll), each
            restored through a saved record (a power broadcast made the saver capture one) and
            through the power scheme (nothing captured).
  monitors  four simulated DDC/CI monitors (testing/ddcsim.py, 50 ms per call) beside the panel,
            by the stamps of both simulators: from the launch to each monitor's dim applied
            (against the panel's), and from a mouse move to the panel back and to the last
            monitor back (the target: within one second of the input). The other parts run
            with no monitor attached.
  cost      CPU per minute of the running saver against saver_floor.exe idle (a window with the
            same 100 ms timer and last-input call) in the same prefix; the two run side by side,
            the benchmark stops one (SIGSTOP) while it measures the other, so that the
            wineserver's share of each is reported apart.

Every part alternates its sides within each of N rounds (default 5) and prints medians.
Environment: DP_BUILD_WIN64 (default build/win64), DP_WINE_TEMPLATE (an initialised prefix),
DP_E2E_WORK (where the prefix goes).
"""
import argparse
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import ddcsim  # noqa: E402
import lcdsim  # noqa: E402
from bench_common import XInput, load_line, private_display, ratio_line  # noqa: E402
from lcdsim import filetime  # noqa: E402
from winetest import WINE, WinePrefix, build_dir, program, wait_until  # noqa: E402

INSTALLED = r"C:\Program Files\Duskpanel\Duskpanel.scr"
TOOLS = r"C:\dptools"
START, AC_LEVEL, CAPTURED = 80, 40, 70
DIMMED = bytes([1, AC_LEVEL, AC_LEVEL])
RESTORED = {"record": bytes([1, CAPTURED, CAPTURED]), "scheme": bytes([3, START, START])}
WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE = 0x0218, 0xA
XK_SHIFT_L = 0xFFE1
INPUTS = ("move", "key", "click", "wheel")
MONITOR_LATENCY_MS = 50
# (brightness before, minimum, maximum): the saver's mains level is 40 % of each range.
MONITORS = ((70, 0, 100), (200, 20, 220), (50, 0, 50), (90, 10, 90))
PATHS = ("record", "scheme")


# --- processes ------------------------------------------------------------------------------

def prefix_pids(prefix, needle):
    found = []
    for entry in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{entry}/cmdline", "rb") as f:
                cmdline = f.read().replace(b"\0", b" ").decode("utf-8", "replace")
            with open(f"/proc/{entry}/environ", "rb") as f:
                environ = f.read().split(b"\0")
        except OSError:
            continue
        if needle in cmdline and ("WINEPREFIX=" + prefix).encode() in environ:
            found.append(int(entry))
    return found


def wineserver_pid(prefix):
    """The prefix's wineserver: its working directory is server-<device>-<inode> of the prefix."""
    st = os.stat(prefix)
    wanted = f"server-{st.st_dev:x}-{st.st_ino:x}"
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            if "wineserver" in os.path.basename(os.readlink(f"/proc/{pid}/exe")) and \
                    os.path.basename(os.readlink(f"/proc/{pid}/cwd")) == wanted:
                return int(pid)
        except OSError:
            continue
    return None


def cpu_seconds(pid):
    """Time on the CPU of every thread of pid, in nanosecond resolution (schedstat)."""
    total = 0
    try:
        tasks = os.listdir(f"/proc/{pid}/task")
    except OSError:
        return 0.0
    for task in tasks:
        try:
            with open(f"/proc/{pid}/task/{task}/schedstat", encoding="ascii") as f:
                total += int(f.read().split()[0])
        except (OSError, ValueError, IndexError):
            continue
    return total / 1e9


# --- the panel's stamps ---------------------------------------------------------------------

def stamped(prefix):
    """(request, input bytes, arrival FILETIME) of every request the panel received."""
    return [(e["req"], e.get("in", b""), e.get("time", 0)) for e in lcdsim.history(prefix)]


def first_stamp(entries, request, data=None, after=0):
    for req, data_in, at in entries:
        if req == request and at >= after and (data is None or data_in == data):
            return at
    return None


def ms(ticks):
    return ticks / 10_000.0


class SaverBench:
    def __init__(self, wine, xinput):
        self.wine, self.x = wine, xinput
        self.log = open(os.path.join(wine.path, "bench.log"), "wb")
        self.floor = wine.unix_path(TOOLS + r"\saver_floor.exe")
        self.driver = wine.unix_path(TOOLS + r"\saver_driver.exe")
        self.direction = 1
        self.idle_floor = None

    def close(self):
        self.log.close()

    def launch(self, *args, wait=True):
        """Starts a program and returns the host clock just before; the output goes to a file
        (a program may leave children that keep its handles)."""
        began = time.time()
        process = subprocess.Popen([WINE, *args], env=self.wine.env, stdin=subprocess.DEVNULL,
                                   stdout=self.log, stderr=self.log)
        if wait:
            process.wait(timeout=60)
        return began, process

    def fresh_panel(self):
        lcdsim.configure(self.wine.path, record=(1, START, START), active_scheme=0,
                         clear_history=True, clear_power_calls=True)

    def wait_for(self, predicate, what, timeout=30):
        if not wait_until(predicate, timeout=timeout, interval=0.1):
            raise RuntimeError(f"timed out waiting for {what}")

    def saver_gone(self):
        return not prefix_pids(self.wine.path, "Duskpanel.scr")

    # --- start ------------------------------------------------------------------------------
    def floor_start(self, mode):
        self.fresh_panel()
        began, _ = self.launch(self.floor, mode, str(AC_LEVEL))
        self.wait_for(lambda: first_stamp(stamped(self.wine.path), "SET_DISPLAY_BRIGHTNESS",
                                          DIMMED), "the floor's level")
        return ms(first_stamp(stamped(self.wine.path), "SET_DISPLAY_BRIGHTNESS", DIMMED) -
                  filetime(began))

    def start_saver(self):
        """Starts the saver on a fresh panel; returns the launch time once the level is set."""
        self.fresh_panel()
        began, _ = self.launch(self.wine.unix_path(INSTALLED), "/s")
        self.wait_for(lambda: first_stamp(stamped(self.wine.path), "SET_DISPLAY_BRIGHTNESS",
                                          DIMMED), "the mains level")
        return began

    def start_breakdown(self, began):
        """Milliseconds from the launch to each of the saver's start requests."""
        entries = stamped(self.wine.path)
        launch = filetime(began)
        marks = {"open": first_stamp(entries, "OPEN"),
                 "levels": first_stamp(entries, "QUERY_SUPPORTED_BRIGHTNESS"),
                 "query": first_stamp(entries, "QUERY_DISPLAY_BRIGHTNESS"),
                 "set": first_stamp(entries, "SET_DISPLAY_BRIGHTNESS", DIMMED)}
        return {name: ms(at - launch) for name, at in marks.items() if at}

    # --- reaction ---------------------------------------------------------------------------
    def hwnd(self):
        out = tempfile.TemporaryFile()
        subprocess.run([WINE, self.driver, "find", "--timeout", "20000"], env=self.wine.env,
                       stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.DEVNULL,
                       timeout=60)
        out.seek(0)
        words = out.read().decode("ascii", "replace").split()
        out.close()
        if len(words) < 2:
            raise RuntimeError("the saver's window was not found")
        return words[1]

    def capture_a_record(self, hwnd):
        """As after a change of power source: the system sets its own brightness, the saver
        captures it three seconds later and applies its level again."""
        lcdsim.configure(self.wine.path, record=(1, CAPTURED, CAPTURED))
        subprocess.run([WINE, self.driver, "post", hwnd, str(WM_POWERBROADCAST),
                        str(PBT_APMPOWERSTATUSCHANGE)], env=self.wine.env,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
        self.wait_for(lambda: [d for r, d, _ in stamped(self.wine.path)
                               if r == "SET_DISPLAY_BRIGHTNESS"].count(DIMMED) == 2,
                      "the level applied after the power broadcast")

    def inject(self, kind):
        """The input; returns the host clock when the event that should end the saver left."""
        if kind == "move":
            self.direction = -self.direction
            return self.x.move_by(40 * self.direction, 0)
        if kind == "key":
            self.x.key(XK_SHIFT_L, True)
            time.sleep(0.05)
            return self.x.key(XK_SHIFT_L, False)
        if kind == "click":
            sent = self.x.button(1, True)
            time.sleep(0.05)
            self.x.button(1, False)
            return sent
        sent = self.x.button(4, True)  # a wheel notch: press and release of button 4
        self.x.button(4, False)
        return sent

    def reaction(self, kind, path):
        """(start sample, start breakdown, input to brightness restored) in milliseconds."""
        began = self.start_saver()
        breakdown = self.start_breakdown(began)
        hwnd = self.hwnd()
        if path == "record":
            self.capture_a_record(hwnd)
        time.sleep(0.3)  # past the grace after the window's own first mouse move
        sent = self.inject(kind)
        self.wait_for(self.saver_gone, "the saver to end", timeout=20)
        restored = first_stamp(stamped(self.wine.path), "SET_DISPLAY_BRIGHTNESS",
                               RESTORED[path], after=filetime(sent) - 10_000_000)
        if restored is None:
            raise RuntimeError(f"{kind}/{path}: the brightness was not restored")
        return breakdown["set"], breakdown, ms(restored - filetime(sent))

    # --- monitors ---------------------------------------------------------------------------
    def monitors(self):
        """(ms from the launch to each monitor dimmed, to the panel dimmed; ms from the mouse
        move to the panel back, to the last monitor back)."""
        ddcsim.configure(self.wine.path, [ddcsim.monitor(current=c, minimum=lo, maximum=hi,
                                                         latency_ms=MONITOR_LATENCY_MS)
                                          for c, lo, hi in MONITORS], clear_calls=True)
        try:
            began = self.start_saver()
            dims = [lo + (hi - lo) * AC_LEVEL // 100 for _, lo, hi in MONITORS]
            self.wait_for(lambda: all(ddcsim.sets(self.wine.path, i)[:1] == [d]
                                      for i, d in enumerate(dims)), "the monitors dimmed")
            self.hwnd()
            time.sleep(0.3)  # past the grace after the window's own first mouse move
            sent = self.inject("move")
            self.wait_for(self.saver_gone, "the saver to end", timeout=20)
            self.wait_for(lambda: ddcsim.state(self.wine.path)["current"] ==
                          [c for c, _, _ in MONITORS], "the monitors back")
            calls = ddcsim.sets(self.wine.path)
            launch, moved = filetime(began), filetime(sent)
            dimmed = [ms(next(c["time"] for c in calls if c["monitor"] == i and
                              c["value"] == d) - launch) for i, d in enumerate(dims)]
            panel_dimmed = ms(first_stamp(stamped(self.wine.path), "SET_DISPLAY_BRIGHTNESS",
                                          DIMMED) - launch)
            panel_back = ms(first_stamp(stamped(self.wine.path), "SET_DISPLAY_BRIGHTNESS",
                                        RESTORED["scheme"], after=moved - 10_000_000) - moved)
            back = ms(max(c["time"] for c in calls if c["time"] >= moved) - moved)
            return dimmed, panel_dimmed, panel_back, back
        finally:
            ddcsim.configure(self.wine.path, [], clear_calls=True)

    # --- cost -------------------------------------------------------------------------------
    def start_idle_floor(self):
        """saver_floor.exe idle, for the session: it keeps the prefix's desktop up between the
        saver's runs, as a user's session always has one (Wine ends its desktop process with
        the last program that used it, and starts it again, for about 250 ms, with the next),
        and it is the side the saver's cost is measured against."""
        _, self.idle_floor = self.launch(self.floor, "idle", wait=False)

    def stop_idle_floor(self):
        if self.idle_floor:
            self.idle_floor.kill()
            self.idle_floor.wait()

    def cost(self, runs, seconds):
        """Per run: CPU seconds per minute of (saver, server while the saver ran alone, floor,
        server while the floor ran alone)."""
        self.start_saver()
        floor = self.idle_floor
        try:
            # The /w saver, not the hidden copy that watches it (which only waits).
            saver = prefix_pids(self.wine.path, "Duskpanel.scr /w")[0]
            server = wineserver_pid(self.wine.path)
            time.sleep(1.0)
            rows = []
            for _ in range(runs):
                mine, mine_server = self.alone(saver, floor.pid, server, seconds)
                base, base_server = self.alone(floor.pid, saver, server, seconds)
                rows.append((mine, mine_server, base, base_server))
                print(f"  cost: saver {mine:.3f} s/min (wineserver {mine_server:.3f}), "
                      f"floor {base:.3f} s/min (wineserver {base_server:.3f})", flush=True)
            return rows
        finally:
            self.x.move_by(40, 0)
            self.wait_for(self.saver_gone, "the saver to end", timeout=20)

    @staticmethod
    def alone(measured, stopped, server, seconds):
        os.kill(stopped, signal.SIGSTOP)
        try:
            before = cpu_seconds(measured), cpu_seconds(server)
            time.sleep(seconds)
            after = cpu_seconds(measured), cpu_seconds(server)
        finally:
            os.kill(stopped, signal.SIGCONT)
        return tuple((a - b) * 60.0 / seconds for a, b in zip(after, before))


def install(wine):
    lcdsim.start_server(wine.path)
    for source, target in ((program("Duskpanel.scr"), INSTALLED),
                           (program("saver_floor.exe"), TOOLS + r"\saver_floor.exe"),
                           (program("saver_driver.exe"), TOOLS + r"\saver_driver.exe")):
        path = wine.unix_path(target)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        shutil.copy(source, path)
    lcdsim.install(wine.path, build_dir(), record=(1, START, START), schemes=(START, 60, 30))
    # Attached only while the monitors are measured.
    ddcsim.install(wine.path, build_dir(), [])
    shared = wine.unix_path(r"C:\ProgramData\Nerovane\Duskpanel")
    os.makedirs(shared, exist_ok=True)
    with open(os.path.join(shared, "Param.ini"), "wb") as f:
        f.write(b"[public]\r\nAC=%d\r\nDC=20\r\nEnable_resume_password_protect=0\r\n" % AC_LEVEL)


def report_start(saver, one, two, breakdowns):
    print(ratio_line("start, /s to the level applied, against one minimal start", saver, one,
                     scale=1.0))
    print(ratio_line("start, against a minimal start relaunched once (the design's floor)",
                     saver, two, scale=1.0))
    steps = ("open", "levels", "query", "set")
    medians = {s: statistics.median([b[s] for b in breakdowns if s in b]) for s in steps
               if any(s in b for b in breakdowns)}
    parts = [f"device opened {medians.get('open', 0):.0f}"]
    if "levels" in medians:
        parts.append(f"levels asked of the device {medians['levels']:.0f} (after the WMI attempt)")
    parts += [f"brightness read {medians.get('query', 0):.0f}", f"level set {medians['set']:.0f}"]
    print("  where the saver's start goes (median ms from the launch): " + ", ".join(parts))


def report_reaction(samples):
    print("reaction, input to the brightness restored (median ms of "
          f"{len(next(iter(samples.values())))}):")
    for kind in INPUTS:
        limit = 120 if kind == "wheel" else 40
        cells = [f"{path} {statistics.median(samples[kind, path]):6.1f}" for path in PATHS]
        print(f"  {kind:6s} " + "   ".join(cells) + f"   (target {limit} ms)")


def report_monitors(samples):
    first = [min(dimmed) for dimmed, _, _, _ in samples]
    last = [max(dimmed) for dimmed, _, _, _ in samples]
    median = statistics.median
    print(f"monitors, {len(MONITORS)} simulated at {MONITOR_LATENCY_MS} ms per DDC/CI call "
          f"(median ms of {len(samples)}):")
    print(f"  dim applied from the launch: first monitor {median(first):.0f}, last "
          f"{median(last):.0f} (panel {median([s[1] for s in samples]):.0f})")
    print(f"  after a mouse move: panel back {median([s[2] for s in samples]):.1f}, all "
          f"monitors back {median([s[3] for s in samples]):.0f} (worst "
          f"{max(s[3] for s in samples):.0f}; target 1000)")


def report_cost(rows):
    mine, mine_server, base, base_server = (list(column) for column in zip(*rows))
    print(ratio_line("cost, CPU per minute of the running saver against the floor", mine, base,
                     unit="s/min", scale=1.0, digits=3))
    print(f"  wineserver per minute: {statistics.median(mine_server):.3f} s with the saver "
          f"alone, {statistics.median(base_server):.3f} s with the floor alone")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--cpu-seconds", type=float, default=10.0)
    parser.add_argument("--only", default="start,reaction,monitors,cost")
    args = parser.parse_args()
    parts = set(args.only.split(","))

    with private_display():
        wine = WinePrefix("bench-saver")
        xinput = XInput()
        bench = SaverBench(wine, xinput)
        try:
            install(wine)
            bench.start_idle_floor()
            bench.reaction("move", "scheme")  # warm-up: page cache, the prefix's desktop
            print(load_line(), flush=True)
            starts, one, two, breakdowns = [], [], [], []
            samples = {(kind, path): [] for kind in INPUTS for path in PATHS}
            if parts & {"start", "reaction"}:
                for round_index in range(args.runs):
                    for kind in INPUTS:
                        for path in PATHS:
                            start, breakdown, took = bench.reaction(kind, path)
                            starts.append(start)
                            breakdowns.append(breakdown)
                            samples[kind, path].append(took)
                        if kind in ("move", "click"):
                            one.append(bench.floor_start("apply"))
                        else:
                            two.append(bench.floor_start("relaunch"))
                    print(f"round {round_index + 1}: start {starts[-1]:.0f} ms (floor "
                          f"{one[-1]:.0f}, relaunched {two[-1]:.0f}); restored after " +
                          ", ".join(f"{k}/{p} {samples[k, p][-1]:.0f}" for k in INPUTS
                                    for p in PATHS) + " ms", flush=True)
            monitor_samples = []
            if "monitors" in parts:
                for round_index in range(args.runs):
                    monitor_samples.append(bench.monitors())
                    dimmed, _, panel_back, back = monitor_samples[-1]
                    print(f"monitors round {round_index + 1}: dimmed after " +
                          ", ".join(f"{d:.0f}" for d in dimmed) + f" ms; after the move "
                          f"panel back {panel_back:.0f} ms, all monitors back {back:.0f} ms",
                          flush=True)
            rows = bench.cost(args.runs, args.cpu_seconds) if "cost" in parts else []
            if "start" in parts:
                report_start(starts, one, two, breakdowns)
            if "reaction" in parts:
                report_reaction(samples)
            if monitor_samples:
                report_monitors(monitor_samples)
            if rows:
                report_cost(rows)
            print(load_line())
        finally:
            bench.stop_idle_floor()
            bench.close()
            xinput.close()
            wine.discard()
    return 0


if __name__ == "__main__":
    sys.exit(main())

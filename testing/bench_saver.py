#!/usr/bin/env python3
"""Figures of the running saver on the simulated panel (a benchmark, not a test).

  testing/bench_saver.py [--runs N] [--cpu-seconds S]      (./dev bench runs it)

For each run: "Duskpanel.scr /s" started as the system does, the time until the simulated
panel receives the mains level; the CPU time the /w process and the prefix's wineserver use
while it runs (it polls the last-input time ten times a second), scaled to one minute; and the
time from a mouse move (xdotool) to the brightness restored on the panel and to the process
gone. Prints each run and the medians. Needs a display: starts a private Xvfb without one.

Environment: DP_BUILD_WIN64 (default build/win64), DP_WINE_TEMPLATE (an initialised prefix),
DP_E2E_WORK (where the prefix goes).
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import lcdsim  # noqa: E402
from winetest import WINE, WinePrefix, build_dir, program, wait_until  # noqa: E402

INSTALLED = r"C:\Program Files\Duskpanel\Duskpanel.scr"
START, AC_LEVEL = 80, 40
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    try:
        with open(f"/proc/{pid}/stat", encoding="ascii") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS
    except OSError:
        return None


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


def sets(prefix):
    return [e["in"] for e in lcdsim.history(prefix) if e["req"] == "SET_DISPLAY_BRIGHTNESS"]


def one_run(wine, log, cpu_window):
    lcdsim.configure(wine.path, record=(1, START, START), active_scheme=0, clear_history=True,
                     clear_power_calls=True)
    began = time.monotonic()
    subprocess.run([WINE, wine.unix_path(INSTALLED), "/s"], env=wine.env, stdin=subprocess.DEVNULL,
                   stdout=log, stderr=log, timeout=60, check=True)
    dimmed = bytes([1, AC_LEVEL, AC_LEVEL])
    if not wait_until(lambda: dimmed in sets(wine.path), timeout=30, interval=0.05):
        raise RuntimeError("the mains level never reached the panel")
    to_dimmed = time.monotonic() - began

    saver = prefix_pids(wine.path, "Duskpanel.scr")
    server = wineserver_pid(wine.path)
    before = (cpu_seconds(saver[0]), cpu_seconds(server) if server else 0.0)
    time.sleep(cpu_window)
    after = (cpu_seconds(saver[0]), cpu_seconds(server) if server else 0.0)
    per_minute = [(a - b) * 60.0 / cpu_window for a, b in zip(after, before)]

    restored = bytes([3, START, START])
    moved = time.monotonic()
    subprocess.run(["xdotool", "mousemove_relative", "--", "40", "0"], check=False, timeout=10)
    if not wait_until(lambda: sets(wine.path)[-1:] == [restored], timeout=20, interval=0.01):
        raise RuntimeError("the brightness was not restored")
    to_restored = time.monotonic() - moved
    wait_until(lambda: not prefix_pids(wine.path, "Duskpanel.scr"), timeout=20, interval=0.01)
    to_gone = time.monotonic() - moved
    return to_dimmed, per_minute[0], per_minute[1], to_restored, to_gone


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--cpu-seconds", type=float, default=60.0)
    args = parser.parse_args()

    xvfb = None
    if not os.environ.get("DISPLAY"):
        # Xvfb picks a free display itself and writes its number to the pipe.
        read_end, write_end = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                                 "1024x768x24", "-nolisten", "tcp"], pass_fds=(write_end,),
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            os.environ["DISPLAY"] = ":" + numbers.readline().strip()
    wine = WinePrefix("bench-saver")
    try:
        lcdsim.start_server(wine.path)
        target = wine.unix_path(INSTALLED)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copy(program("Duskpanel.scr"), target)
        lcdsim.install(wine.path, build_dir(), record=(1, START, START), schemes=(START, 60, 30))
        shared = wine.unix_path(r"C:\ProgramData\Nerovane\Duskpanel")
        os.makedirs(shared, exist_ok=True)
        with open(os.path.join(shared, "Param.ini"), "wb") as f:
            f.write(b"[public]\r\nAC=%d\r\nDC=20\r\nEnable_resume_password_protect=0\r\n" % AC_LEVEL)
        rows = []
        with open(os.path.join(wine.path, "bench.log"), "wb") as log:
            for i in range(args.runs):
                row = one_run(wine, log, args.cpu_seconds)
                rows.append(row)
                print(f"run {i + 1}: /s to level {row[0]:.2f} s; CPU per minute: saver "
                      f"{row[1]:.2f} s, wineserver {row[2]:.2f} s; input to brightness back "
                      f"{row[3]:.3f} s, to process gone {row[4]:.3f} s", flush=True)
        med = [statistics.median(col) for col in zip(*rows)]
        print(f"median of {len(rows)}: /s to level applied {med[0]:.2f} s; CPU per minute "
              f"{med[1]:.2f} s (saver) + {med[2]:.2f} s (wineserver); input to brightness "
              f"restored {med[3]:.3f} s; input to process gone {med[4]:.3f} s")
    finally:
        wine.close()
        if xvfb:
            xvfb.terminate()
            xvfb.wait()
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Time from "Duskpanel.scr /c" to the settings dialog on screen, with the simulated panel
(a benchmark, not a test).

  testing/bench_settings.py [--runs N]            (./dev bench settings runs it)

The prefix's wineserver and the panel's driver stay up between runs, as on a running system.
Each run starts the program as the control panel does, polls the display (xdotool, every 10 ms)
until the dialog's window is mapped, then closes it with Escape and waits for the process to
end. The first start, which also starts the server's services, is reported apart; the median
is taken over the runs after it. Needs a display: starts a private Xvfb without one.

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
TITLE = "^Duskpanel Settings$"


def shown_window():
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", TITLE],
                         capture_output=True, text=True, timeout=10)
    return out.stdout.split()[:1]


def one_run(wine):
    began = time.monotonic()
    process = subprocess.Popen([WINE, wine.unix_path(INSTALLED), "/c"], env=wine.env,
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    try:
        window = wait_until(shown_window, timeout=60, interval=0.01)
        shown = time.monotonic() - began
        if not window:
            raise RuntimeError("the settings dialog did not appear")
        # No window manager: the input focus is set directly, and the key follows it.
        subprocess.run(["xdotool", "windowfocus", "--sync", window[0], "key", "Escape"],
                       capture_output=True, timeout=10)
        process.wait(timeout=30)
        return shown
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()

    xvfb = None
    if not os.environ.get("DISPLAY"):
        read_end, write_end = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                                 "1024x768x24", "-nolisten", "tcp"], pass_fds=(write_end,),
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            os.environ["DISPLAY"] = ":" + numbers.readline().strip()
    wine = WinePrefix("bench-settings")
    try:
        lcdsim.start_server(wine.path)
        target = wine.unix_path(INSTALLED)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copy(program("Duskpanel.scr"), target)
        lcdsim.install(wine.path, build_dir(), record=(1, 70, 70), schemes=(70, 60, 30))
        first = one_run(wine)
        print(f"first start (the server's services start with it): {first:.2f} s", flush=True)
        times = []
        for i in range(args.runs):
            times.append(one_run(wine))
            print(f"run {i + 1}: /c to the dialog shown {times[-1]:.3f} s", flush=True)
        print(f"median of {len(times)}: /c to the settings dialog shown, with the panel "
              f"{statistics.median(times):.3f} s (min {min(times):.3f}, max {max(times):.3f})")
    finally:
        wine.discard()
        if xvfb:
            xvfb.terminate()
            xvfb.wait()
    return 0


if __name__ == "__main__":
    sys.exit(main())

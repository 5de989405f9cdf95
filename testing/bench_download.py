#!/usr/bin/env python3
"""Download time of the updater against curl (a benchmark, not a test).

  testing/bench_download.py [--runs N] [--mb M]        (./dev bench download runs it)

Four clients fetch the same M MB file (default 200) from one loopback server
(testing/http_server.py) in every round, in an order that rotates from round to round:

  curl      curl -o FILE: the reference
  bare      download_bench.exe --bare: InternetReadFile and WriteFile in a loop, the floor
            WinINet under Wine allows
  plain     download_bench.exe: the updater's own routine without a dialog
  dialog    Renewick.exe as the About dialog starts it, its question answered, the download
            running with its dialog shown (under the run's Xvfb)

Every transfer is timed from the server's side, the same way for all four: from the request
head received to the client closing its end after the last byte (http_server.py --timing).
Prints every round, then the median of each client and its ratio to curl's median.

Environment: DP_BUILD_WIN64 (default build/win64), DP_WINE_TEMPLATE (an initialised prefix),
DP_E2E_WORK (where the prefix and the files go).
"""
import argparse
import glob
import os
import select
import shutil
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from bench_common import load_line, private_display  # noqa: E402
from winetest import WINE, WINESERVER, WinePrefix, program  # noqa: E402

CLIENTS = ("curl", "bare", "plain", "dialog")
IDYES = 6


class TimedServer:
    """http_server.py with a timing log; timing(name) is the last transfer of /<name>."""

    def __init__(self, root, work):
        self.timing_path = os.path.join(work, "timing.log")
        self.process = subprocess.Popen(
            [sys.executable, os.path.join(HERE, "http_server.py"), "--port", "0", "--root", root,
             "--timing", self.timing_path, "--silent-seconds", "120", "--lifetime", "7200"],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        ready, _, _ = select.select([self.process.stdout], [], [], 20)
        line = self.process.stdout.readline() if ready else ""
        if not line.startswith("PORT "):
            self.close()
            raise RuntimeError("the loopback server did not start")
        self.port = int(line.split()[1])

    def url(self, name):
        return f"http://127.0.0.1:{self.port}/{name}"

    def seconds(self, name):
        """Head received to client closed, for the last request of /<name>."""
        with open(self.timing_path, encoding="utf-8") as f:
            rows = [line.split() for line in f if line.startswith(f"/{name} ")]
        if not rows:
            raise RuntimeError(f"the server never served /{name}")
        head, _, closed = map(float, rows[-1][2:5])
        return closed - head

    def close(self):
        self.process.terminate()
        self.process.wait(timeout=30)
        self.process.stdout.close()


class Bench:
    def __init__(self, wine, server, work, size):
        self.wine, self.server, self.work, self.size = wine, server, work, size
        self.bench_exe = program("download_bench.exe")
        self.renewick = program("Renewick.exe")
        self.driver_exe = program("dialog_driver.exe")
        self.temp = wine.unix_path(rf"C:\users\{wine.user_name()}\Temp")

    def wine_run(self, *args, timeout=600):
        with tempfile.TemporaryFile() as out:
            result = subprocess.run([WINE, *args], env=self.wine.env, stdin=subprocess.DEVNULL,
                                    stdout=out, stderr=subprocess.DEVNULL, timeout=timeout)
            out.seek(0)
            return result.returncode, out.read().decode("utf-8", "replace")

    def check(self, path):
        got = os.path.getsize(path) if os.path.exists(path) else -1
        if got != self.size:
            raise RuntimeError(f"{path}: {got} bytes, {self.size} expected")
        os.remove(path)

    def curl(self):
        target = os.path.join(self.work, "curl.out")
        subprocess.run(["curl", "-s", "-o", target, self.server.url("curl.bin")], check=True,
                       timeout=600)
        self.check(target)

    def download_bench(self, name, *switches):
        target = os.path.join(self.work, f"{name}.out")
        windows_target = "Z:" + target.replace("/", "\\")
        code, out = self.wine_run(self.bench_exe, *switches, self.server.url(f"{name}.bin"),
                                  windows_target)
        if code != 0:
            raise RuntimeError(f"download_bench {name}: {out.strip()}")
        self.check(target)

    def bare(self):
        self.download_bench("bare", "--bare")

    def plain(self):
        self.download_bench("plain")

    def dialog(self):
        """Renewick with the About dialog's command line; the question is answered at once."""
        command_line = (f'"Z:{self.renewick.replace("/", chr(92))}" /iA /nDuskpanel /v1.0  '
                        f'/l"{self.server.url("update.ini")}" /H')
        renewick = subprocess.Popen([WINE, self.driver_exe, "start", command_line, "--timeout",
                                     "600000"], env=self.wine.env, stdin=subprocess.DEVNULL,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            code, out = self.wine_run(self.driver_exe, "find", "--title", "Renewick", "--text",
                                      "New version is:2.0, update now?", "--class", "#32770",
                                      "--timeout", "60000", timeout=120)
            hwnd = next((line.split()[1] for line in out.splitlines()
                         if line.startswith("hwnd ")), None)
            if code != 0 or not hwnd:
                raise RuntimeError("Renewick did not ask to update")
            self.wine_run(self.driver_exe, "press", hwnd, str(IDYES), timeout=60)
            # The downloaded bytes are no program: Renewick says so, and the box is answered.
            code, out = self.wine_run(self.driver_exe, "find", "--title", "Renewick", "--text",
                                      "was not installed", "--class", "#32770",
                                      "--timeout", "600000", timeout=660)
            hwnd = next((line.split()[1] for line in out.splitlines()
                         if line.startswith("hwnd ")), None)
            if hwnd:
                self.wine_run(self.driver_exe, "press", hwnd, "1", timeout=60)
            renewick.wait(timeout=600)
        finally:
            if renewick.poll() is None:
                renewick.kill()
                renewick.wait()
        # Each update downloads into a folder of its own (Temp\Renewick-<GUID>).
        found = glob.glob(os.path.join(self.temp, "Renewick-*", "dialog.bin"))
        self.check(found[0] if len(found) == 1 else os.path.join(self.temp, "dialog.bin"))
        for folder in glob.glob(os.path.join(self.temp, "Renewick-*")):
            shutil.rmtree(folder, ignore_errors=True)


def prepare_root(root, size, server):
    big = os.path.join(root, "curl.bin")
    with open("/dev/urandom", "rb") as source, open(big, "wb") as f:
        left = size
        while left:
            block = source.read(min(left, 1 << 20))
            f.write(block)
            left -= len(block)
    for name in CLIENTS[1:]:
        os.link(big, os.path.join(root, f"{name}.bin"))
    with open(os.path.join(root, "update.ini"), "wb") as f:
        f.write(f"[public]\r\nversion=2.0\r\n[A]\r\ndownload_path={server.url('dialog.bin')}\r\n"
                f"setup_param=/S\r\n".encode("ascii"))


def report(times, size):
    medians = {name: statistics.median(values) for name, values in times.items()}
    mb = size / 1048576
    print(f"median of {len(times['curl'])} rounds, {mb:.0f} MB, timed by the server:")
    for name in CLIENTS:
        print(f"  {name:7s} {medians[name] * 1000:7.0f} ms  {mb / medians[name]:6.0f} MB/s  "
              f"ratio to curl {medians[name] / medians['curl']:.2f}")
    print(f"ratio dialog/curl {medians['dialog'] / medians['curl']:.2f} "
          f"(renewick {medians['dialog'] * 1000:.0f} ms, curl {medians['curl'] * 1000:.0f} ms); "
          f"plain/curl {medians['plain'] / medians['curl']:.2f}; "
          f"floor bare/curl {medians['bare'] / medians['curl']:.2f}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--mb", type=int, default=200)
    args = parser.parse_args()
    if shutil.which("curl") is None:
        sys.exit("bench_download: curl is not installed")

    size = args.mb * 1048576
    work = os.path.join(os.environ.get("DP_E2E_WORK", tempfile.gettempdir()), "bench-download")
    shutil.rmtree(work, ignore_errors=True)
    root = os.path.join(work, "root")
    os.makedirs(root)
    with private_display():
        wine = WinePrefix("bench-download-prefix")
        server = TimedServer(root, work)
        try:
            prepare_root(root, size, server)
            # A persistent server: no round pays for starting the wineserver and its services.
            subprocess.run([WINESERVER, "-p"], env=wine.env, check=False)
            bench = Bench(wine, server, work, size)
            print(load_line(), flush=True)
            for name in CLIENTS:  # warm-up: page cache, program files, the prefix's desktop
                getattr(bench, name)()
            times = {name: [] for name in CLIENTS}
            for round_index in range(args.runs):
                order = CLIENTS[round_index % 4:] + CLIENTS[:round_index % 4]
                for name in order:
                    getattr(bench, name)()
                    times[name].append(server.seconds(f"{name}.bin"))
                print(f"round {round_index + 1}: " + ", ".join(
                    f"{name} {times[name][-1] * 1000:.0f} ms" for name in CLIENTS), flush=True)
            report(times, size)
            print(load_line())
        finally:
            server.close()
            wine.discard()
            shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())

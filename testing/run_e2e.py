#!/usr/bin/env python3
"""Runs a tier of Python tests and prints "<name>: N passed, N failed".

Usage: run_e2e.py LOG_FILE [PATTERN] [--dir DIR] [--name NAME] [--jobs N]
The default is the product's e2e tier: tests/e2e/test_*.py, named "e2e". The simulated panel's
own tests are run with --dir testing/lcdsim --name panel. Details of every test go to LOG_FILE.

With --jobs N (N > 1) the test files run N at a time, each worker on an Xvfb of its own: the
tests inject input into the whole display and watch its windows, and every test class has a Wine
prefix of its own, named after the class, that no other file's classes use. The time of each file
goes to standard error and to the log.

Each file's prefixes go to a folder of its own under DP_E2E_WORK; the folder is removed when
every test of the file passed and kept, and named, when one failed.
"""
import argparse
import glob
import os
import queue
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest

here = os.path.dirname(os.path.abspath(__file__))
root = os.path.dirname(here)
sys.path.insert(0, here)

RESULT = re.compile(r"^.*: (\d+) passed, (\d+) failed$")


def work_root():
    return os.environ.get("DP_E2E_WORK", os.path.join(tempfile.gettempdir(), "dp-e2e"))


def discard_prefixes(folder):
    """Ends whatever still runs in the Wine prefixes under FOLDER, then removes it."""
    for path, dirs, files in os.walk(folder):
        if "system.reg" in files:
            subprocess.run(["/usr/lib/wine/wineserver", "-k"], env=dict(os.environ, WINEPREFIX=path),
                           stderr=subprocess.DEVNULL, check=False)
            dirs[:] = []
    shutil.rmtree(folder, ignore_errors=True)


def settle_prefixes(folder, failed, what):
    if not os.path.isdir(folder):
        return
    if failed:
        print(f"kept the Wine prefixes of {what} (a test failed): {folder}", file=sys.stderr,
              flush=True)
    else:
        discard_prefixes(folder)


def run_here(log_path, start, pattern, name):
    suite = unittest.defaultTestLoader.discover(start, pattern=pattern, top_level_dir=start)
    with open(log_path, "w", encoding="utf-8") as log:
        result = unittest.TextTestRunner(stream=log, verbosity=2).run(suite)
    failed = len(result.failures) + len(result.errors) + len(result.unexpectedSuccesses)
    passed = result.testsRun - failed - len(result.skipped)
    print(f"{name}: {passed} passed, {failed} failed")
    return 0 if failed == 0 else 1


def start_xvfb():
    """A private Xvfb on a display it picks itself; (process, DISPLAY value)."""
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                             "-nolisten", "tcp", "-wr"], pass_fds=(write_end,),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as numbers:
        number = numbers.readline().strip()
    if not number:
        xvfb.wait()
        raise RuntimeError("Xvfb did not start")
    return xvfb, ":" + number


def times_path(name):
    work = os.environ.get("DP_E2E_WORK", os.path.join(tempfile.gettempdir(), "dp-e2e"))
    return os.path.join(work, f"{name}-file-times.txt")


def previous_times(name):
    """Seconds each file took in the last run, as far as known."""
    try:
        with open(times_path(name), encoding="utf-8") as f:
            return {base: float(seconds) for base, seconds in (line.split() for line in f)}
    except (OSError, ValueError):
        return {}


def run_in_workers(log_path, start, pattern, name, jobs):
    # The longest files first (by the last run; unknown ones by size, as if longest), so that
    # the workers end at about the same time.
    known = previous_times(name)
    files = sorted(glob.glob(os.path.join(start, pattern)),
                   key=lambda p: (known.get(os.path.basename(p), float("inf")),
                                  os.path.getsize(p)), reverse=True)
    todo = queue.Queue()
    for path in files:
        todo.put(path)
    results = {}  # file -> (passed, failed, seconds, log text)
    lock = threading.Lock()

    def worker(index):
        xvfb, display = start_xvfb()
        try:
            while True:
                try:
                    path = todo.get_nowait()
                except queue.Empty:
                    return
                base = os.path.basename(path)
                part_log = f"{log_path}.{index}.part"
                work = os.path.join(work_root(), os.path.splitext(base)[0])
                env = dict(os.environ, DISPLAY=display, DP_E2E_WORK=work, DP_E2E_RUN_OF_WORKER="1")
                began = time.monotonic()
                out = subprocess.run([sys.executable, os.path.abspath(__file__), part_log, base,
                                      "--dir", os.path.relpath(start, root), "--name", base],
                                     env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                     text=True, check=False).stdout
                seconds = time.monotonic() - began
                counts = RESULT.match(out.strip().splitlines()[-1] if out.strip() else "")
                passed, failed = (int(counts[1]), int(counts[2])) if counts else (0, 1)
                with open(part_log, encoding="utf-8", errors="replace") as f:
                    text = f.read()
                os.remove(part_log)
                if not counts:
                    text += "\n" + out
                settle_prefixes(work, failed or not counts, base)
                with lock:
                    results[base] = (passed, failed, seconds, text)
                print(f"[{name}] {base}: {passed} passed, {failed} failed, {seconds:.0f} s",
                      file=sys.stderr, flush=True)
        finally:
            xvfb.terminate()
            xvfb.wait()

    threads = [threading.Thread(target=worker, args=(i,)) for i in range(min(jobs, len(files)))]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    os.makedirs(os.path.dirname(times_path(name)), exist_ok=True)
    with open(times_path(name), "w", encoding="utf-8") as f:
        f.writelines(f"{base} {results[base][2]:.1f}\n" for base in sorted(results))
    with open(log_path, "w", encoding="utf-8") as log:
        for base in sorted(results):
            passed, failed, seconds, text = results[base]
            log.write(f"=== {base}: {passed} passed, {failed} failed, {seconds:.0f} s\n{text}\n")
    missing = [os.path.basename(p) for p in files if os.path.basename(p) not in results]
    passed = sum(r[0] for r in results.values())
    failed = sum(r[1] for r in results.values()) + len(missing)
    print(f"{name}: {passed} passed, {failed} failed")
    return 0 if failed == 0 else 1


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("log", nargs="?", default=os.devnull)
    parser.add_argument("pattern", nargs="?", default="test_*.py")
    parser.add_argument("--dir", default=os.path.join("tests", "e2e"))
    parser.add_argument("--name", default="e2e")
    parser.add_argument("--jobs", type=int, default=1)
    args = parser.parse_args()
    start = os.path.join(root, args.dir)
    if args.jobs > 1 and args.log != os.devnull:
        return run_in_workers(args.log, start, args.pattern, args.name, args.jobs)
    if os.environ.get("DP_E2E_RUN_OF_WORKER"):
        return run_here(args.log, start, args.pattern, args.name)
    work = os.path.join(work_root(), args.name)  # prefixes of this run only
    os.environ["DP_E2E_WORK"] = work
    status = run_here(args.log, start, args.pattern, args.name)
    settle_prefixes(work, status != 0, args.name)
    return status


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Runs a tier of Python tests and prints "<name>: N passed, N failed".

Usage: run_e2e.py LOG_FILE [PATTERN] [--dir DIR] [--name NAME] [--jobs N] [--extra-job-when FILE]
The default is the product's e2e tier: tests/e2e/test_*.py, named "e2e". The simulated panel's
own tests are run with --dir testing/lcdsim --name panel. Details of every test go to LOG_FILE.

With --jobs N (N > 1) the test classes run N at a time (N + 1 once the file named by
--extra-job-when exists), each in a process and on an Xvfb of its own: the tests inject input
into the whole display and watch its windows, and every test class has a Wine prefix of its own,
named after the class, that no other class uses. A class, not a file, is the unit: a file of
five classes would otherwise hold one worker for all five. The longest classes start first, by
their times in the last run (DP_E2E_WORK/<name>-times.txt) or, on a fresh tree, by the times
kept in testing/<name>-times.txt. The time of each class goes to standard error and to the log.

Each class's prefixes go to a folder of its own under DP_E2E_WORK; the folder is removed when
every test of the class passed and kept, and named, when one failed.
"""
import ast
import argparse
import fnmatch
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

from kept_times import read_times, write_times  # noqa: E402 (found through the path above)

RESULT = re.compile(r"^.*: (\d+) passed, (\d+) failed$")


def work_root():
    return os.environ.get("DP_E2E_WORK", os.path.join(tempfile.gettempdir(), "dp-e2e"))


def end_prefix_programs(folder):
    """Ends whatever still runs in the Wine prefixes under FOLDER: a class whose setUpClass
    failed after starting a persistent wineserver never reaches its tearDownClass."""
    for path, dirs, files in os.walk(folder):
        if "system.reg" in files:
            subprocess.run(["/usr/lib/wine/wineserver", "-k"], env=dict(os.environ, WINEPREFIX=path),
                           stderr=subprocess.DEVNULL, check=False)
            dirs[:] = []


def settle_prefixes(folder, failed, what):
    if not os.path.isdir(folder):
        return
    end_prefix_programs(folder)
    if failed:
        print(f"kept the Wine prefixes of {what} (a test failed): {folder}", file=sys.stderr,
              flush=True)
    else:
        shutil.rmtree(folder, ignore_errors=True)


def only_class(suite, class_name):
    """The tests of SUITE (as discovery nests them) whose class is CLASS_NAME."""
    picked = unittest.TestSuite()
    for test in suite:
        if isinstance(test, unittest.TestSuite):
            picked.addTests(only_class(test, class_name))
        elif type(test).__name__ == class_name or type(test).__name__ == "_FailedTest":
            picked.addTest(test)
    return picked


def run_here(log_path, start, pattern, name, class_name=None):
    suite = unittest.defaultTestLoader.discover(start, pattern=pattern, top_level_dir=start)
    if class_name:
        suite = only_class(suite, class_name)
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
    return os.path.join(work_root(), f"{name}-times.txt")


def previous_times(name):
    """Seconds each class took in the last run, as far as known; else the kept figures."""
    return read_times(times_path(name)) or read_times(os.path.join(here, f"{name}-times.txt"))


def test_classes(path):
    """The classes of a test file that have test methods of their own, in file order."""
    try:
        with open(path, encoding="utf-8") as f:
            tree = ast.parse(f.read())
    except (OSError, SyntaxError):
        return []
    return [node.name for node in tree.body if isinstance(node, ast.ClassDef) and
            any(isinstance(item, ast.FunctionDef) and item.name.startswith("test")
                for item in node.body)]


def work_items(start, pattern):
    """(item, file, class or None): every test class, or the file where none is found."""
    items = []
    for path in sorted(glob.glob(os.path.join(start, pattern))):
        base = os.path.basename(path)
        classes = test_classes(path)
        items += [(f"{base}::{c}", path, c) for c in classes] or [(base, path, None)]
    return items


def waits_for(item):
    """The file an item must wait for: DP_E2E_WAIT_FOR="ITEM_PATTERN=FILE" names a file that
    appears, not empty, once what the items need is built (the 32-bit installer)."""
    pattern, _, path = os.environ.get("DP_E2E_WAIT_FOR", "").partition("=")
    if pattern and path and fnmatch.fnmatch(item, pattern):
        return path
    return None


def is_ready(path):
    return path is None or (os.path.exists(path) and os.path.getsize(path) > 0)


def run_in_workers(log_path, start, pattern, name, jobs, extra_job_when=None):
    # The longest first (unknown ones as if longest, the larger file first), so that the
    # workers end at about the same time.
    known = previous_times(name)
    items = sorted(work_items(start, pattern),
                   key=lambda item: (known.get(item[0], float("inf")), os.path.getsize(item[1])),
                   reverse=True)
    todo = queue.Queue()
    for item in items:
        todo.put(item)
    results = {}  # file -> (passed, failed, seconds, log text)
    lock = threading.Lock()

    def worker(index):
        xvfb, display = start_xvfb()
        try:
            while True:
                try:
                    item, path, class_name = todo.get_nowait()
                except queue.Empty:
                    return
                if not is_ready(waits_for(item)):
                    # The others first; when it is the last, wait (bounded) for what it needs.
                    if not todo.empty():
                        todo.put((item, path, class_name))
                        continue
                    deadline = time.monotonic() + 1200
                    while not is_ready(waits_for(item)) and time.monotonic() < deadline:
                        time.sleep(1)
                base = os.path.basename(path)
                part_log = f"{log_path}.{index}.part"
                folder = os.path.splitext(base)[0] + (f"-{class_name}" if class_name else "")
                work = os.path.join(work_root(), folder)
                env = dict(os.environ, DISPLAY=display, DP_E2E_WORK=work, DP_E2E_RUN_OF_WORKER="1")
                only = ["--only", class_name] if class_name else []
                began = time.monotonic()
                out = subprocess.run([sys.executable, os.path.abspath(__file__), part_log, base,
                                      "--dir", os.path.relpath(start, root), "--name", item,
                                      *only],
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
                settle_prefixes(work, failed or not counts, item)
                with lock:
                    results[item] = (passed, failed, seconds, text)
                print(f"[{name}] {item}: {passed} passed, {failed} failed, {seconds:.0f} s",
                      file=sys.stderr, flush=True)
        finally:
            xvfb.terminate()
            xvfb.wait()

    def extra_worker(index, path):
        # Joins once PATH exists: the CPU the other lane of ./dev test was using is free then.
        while not os.path.exists(path):
            if todo.empty():
                return
            time.sleep(1)
        worker(index)

    threads = [threading.Thread(target=worker, args=(i,)) for i in range(min(jobs, len(items)))]
    if extra_job_when:
        threads.append(threading.Thread(target=extra_worker, args=(len(threads), extra_job_when)))
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    os.makedirs(os.path.dirname(times_path(name)), exist_ok=True)
    write_times(times_path(name), {item: result[2] for item, result in results.items()})
    with open(log_path, "w", encoding="utf-8") as log:
        for item in sorted(results):
            passed, failed, seconds, text = results[item]
            log.write(f"=== {item}: {passed} passed, {failed} failed, {seconds:.0f} s\n{text}\n")
    missing = [item for item, _, _ in items if item not in results]
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
    parser.add_argument("--only", help="the one test class to run (with a file as PATTERN)")
    parser.add_argument("--extra-job-when", metavar="FILE",
                        help="one worker more than --jobs once FILE exists")
    args = parser.parse_args()
    start = os.path.join(root, args.dir)
    if args.jobs > 1 and args.log != os.devnull:
        return run_in_workers(args.log, start, args.pattern, args.name, args.jobs,
                              args.extra_job_when)
    if os.environ.get("DP_E2E_RUN_OF_WORKER"):
        return run_here(args.log, start, args.pattern, args.name, args.only)
    work = os.path.join(work_root(), args.name)  # prefixes of this run only
    os.environ["DP_E2E_WORK"] = work
    status = run_here(args.log, start, args.pattern, args.name, args.only)
    settle_prefixes(work, status != 0, args.name)
    return status


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Runs a tier of Python tests and prints "<name>: N passed, N failed".

Usage: run_e2e.py LOG_FILE [PATTERN] [--dir DIR] [--name NAME]
The default is the product's e2e tier: tests/e2e/test_*.py, named "e2e". The simulated panel's
own tests are run with --dir testing/lcdsim --name panel. Details of every test go to LOG_FILE.
"""
import argparse
import os
import sys
import unittest

here = os.path.dirname(os.path.abspath(__file__))
root = os.path.dirname(here)
sys.path.insert(0, here)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("log", nargs="?", default=os.devnull)
    parser.add_argument("pattern", nargs="?", default="test_*.py")
    parser.add_argument("--dir", default=os.path.join("tests", "e2e"))
    parser.add_argument("--name", default="e2e")
    args = parser.parse_args()
    start = os.path.join(root, args.dir)
    suite = unittest.defaultTestLoader.discover(start, pattern=args.pattern, top_level_dir=start)
    with open(args.log, "w", encoding="utf-8") as log:
        result = unittest.TextTestRunner(stream=log, verbosity=2).run(suite)
    failed = len(result.failures) + len(result.errors) + len(result.unexpectedSuccesses)
    passed = result.testsRun - failed - len(result.skipped)
    print(f"{args.name}: {passed} passed, {failed} failed")
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())

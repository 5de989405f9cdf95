#!/usr/bin/env python3
"""Runs the e2e tier (tests/e2e/test_*.py) and prints "e2e: N passed, N failed".

Usage: run_e2e.py LOG_FILE [PATTERN]. Details of every test go to LOG_FILE.
"""
import os
import sys
import unittest

here = os.path.dirname(os.path.abspath(__file__))
root = os.path.dirname(here)
sys.path.insert(0, here)


def main():
    log_path = sys.argv[1] if len(sys.argv) > 1 else os.devnull
    pattern = sys.argv[2] if len(sys.argv) > 2 else "test_*.py"
    suite = unittest.defaultTestLoader.discover(os.path.join(root, "tests", "e2e"),
                                                pattern=pattern, top_level_dir=os.path.join(root, "tests", "e2e"))
    with open(log_path, "w", encoding="utf-8") as log:
        result = unittest.TextTestRunner(stream=log, verbosity=2).run(suite)
    failed = len(result.failures) + len(result.errors) + len(result.unexpectedSuccesses)
    passed = result.testsRun - failed - len(result.skipped)
    print(f"e2e: {passed} passed, {failed} failed")
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())

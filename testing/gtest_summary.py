#!/usr/bin/env python3
"""Summaries for ./dev test.

  gtest_summary.py LABEL XML_DIR CTEST_LOG   one line "LABEL: N passed, N failed" from the
                                             GoogleTest XML files of a tier; a test program
                                             that ctest saw fail without a failing case in its
                                             XML (a crash, a time-out) counts as one failure.
  gtest_summary.py --total SUMMARY_FILE      the closing line over all tier lines.
"""
import os
import re
import sys
import xml.etree.ElementTree as ET

LINE = re.compile(r"^(.*): (\d+) passed, (\d+) failed")


def total(summary_file):
    passed = failed = 0
    with open(summary_file, encoding="utf-8") as f:
        for line in f:
            m = LINE.match(line.strip())
            if m:
                passed += int(m.group(2))
                failed += int(m.group(3))
    print(f"{passed} passed, {failed} failed")
    return 0 if failed == 0 and passed > 0 else 1


def xml_counts(path):
    try:
        root = ET.parse(path).getroot()
    except (ET.ParseError, OSError):
        return None
    cases = root.iter("testcase")
    passed = failed = 0
    for case in cases:
        if case.get("result", "completed") == "skipped" or case.get("status") == "notrun":
            continue
        if case.find("failure") is not None:
            failed += 1
        else:
            passed += 1
    return passed, failed


def ctest_failures(log):
    failed = []
    try:
        with open(log, encoding="utf-8", errors="replace") as f:
            text = f.read()
    except OSError:
        return failed
    if "The following tests FAILED:" in text:
        tail = text.split("The following tests FAILED:", 1)[1]
        for m in re.finditer(r"^\s*\d+ - (\S+) \(", tail, re.M):
            failed.append(m.group(1))
    return failed


def tier(label, xml_dir, log):
    passed = failed = 0
    per_program = {}
    if os.path.isdir(xml_dir):
        for name in sorted(os.listdir(xml_dir)):
            if name.endswith(".xml"):
                counts = xml_counts(os.path.join(xml_dir, name))
                if counts is None:
                    continue
                per_program[name[:-4]] = counts
                passed += counts[0]
                failed += counts[1]
    for test in ctest_failures(log):
        program = test.replace(".", "_", 1)
        counts = per_program.get(program)
        if counts is None or counts[1] == 0:
            failed += 1
    print(f"{label}: {passed} passed, {failed} failed")


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--total":
        return total(sys.argv[2])
    if len(sys.argv) == 4:
        tier(*sys.argv[1:])
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main())

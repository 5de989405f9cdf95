#!/usr/bin/env python3
"""Splits the win tier's test programs into parts of about equal time.

  win_parts.py split N TIMES SEED TEST...   N lines, each a ctest -R pattern of one part: the
                                            longest programs first, each to the part that ends
                                            soonest, by the times of the last run (TIMES) or,
                                            on a fresh tree, the kept ones (SEED); a program
                                            known to neither counts as the longest known.
  win_parts.py record TIMES LOG...          the programs' times from ctest logs into TIMES.
"""
import re
import sys

from kept_times import read_times, write_times

PASSED = re.compile(r"Test +#\d+: (\S+) \.+\s+\S.*?([\d.]+) sec")


def split(parts, times, tests):
    default = max(times.values(), default=1.0)
    ordered = sorted(tests, key=lambda t: (times.get(t, default), t), reverse=True)
    loads = [[0.0, []] for _ in range(parts)]
    for test in ordered:
        part = min(loads, key=lambda load: load[0])
        part[0] += times.get(test, default)
        part[1].append(test)
    return [part[1] for part in loads]


def pattern(names):
    # A part without programs matches nothing rather than everything.
    return "^(" + "|".join(re.escape(n) for n in names) + ")$" if names else "^$"


def main(argv):
    if len(argv) >= 4 and argv[0] == "split":
        parts = int(argv[1])
        times = read_times(argv[2]) or read_times(argv[3])
        for names in split(parts, times, argv[4:]):
            print(pattern(names))
        return 0
    if len(argv) >= 2 and argv[0] == "record":
        times = {}
        for log in argv[2:]:
            try:
                with open(log, encoding="utf-8", errors="replace") as f:
                    for m in PASSED.finditer(f.read()):
                        times[m.group(1)] = float(m.group(2))
            except OSError:
                pass
        if times:
            write_times(argv[1], times)
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

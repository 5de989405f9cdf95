"""Seconds per test item ("<item> <seconds>" lines), kept between runs so that the next run can
order or split its work: build/ holds the last run's, testing/*-times.txt the kept ones."""


def read_times(path):
    """{item: seconds}; empty when the file is missing or not in that form."""
    try:
        with open(path, encoding="utf-8") as f:
            return {item: float(seconds) for item, seconds in (line.split() for line in f)}
    except (OSError, ValueError):
        return {}


def write_times(path, times):
    with open(path, "w", encoding="utf-8") as f:
        f.writelines(f"{item} {seconds:.1f}\n" for item, seconds in sorted(times.items()))

"""What the benchmarks share: a display to run on, the median line, the machine's load."""
import contextlib
import os
import statistics
import subprocess


@contextlib.contextmanager
def private_display():
    """The caller's DISPLAY, or a private Xvfb for the duration when there is none."""
    if os.environ.get("DISPLAY"):
        yield
        return
    # Xvfb picks a free display itself and writes its number to the pipe.
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                             "-nolisten", "tcp"], pass_fds=(write_end,),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as numbers:
        os.environ["DISPLAY"] = ":" + numbers.readline().strip()
    try:
        yield
    finally:
        del os.environ["DISPLAY"]
        xvfb.terminate()
        xvfb.wait()


def load_line():
    """The load averages, so that a figure can be read against how busy the machine was."""
    with open("/proc/loadavg", encoding="ascii") as f:
        one, five, fifteen = f.read().split()[:3]
    return f"load average {one} {five} {fifteen} on {os.cpu_count()} cores"


def ratio_line(what, ours, floor, unit="ms", scale=1000.0):
    """'<what>: ratio R (ours X <unit>, floor Y <unit>)' from two lists of samples."""
    mine, base = statistics.median(ours), statistics.median(floor)
    ratio = mine / base if base else float("inf")
    return (f"{what}: ratio {ratio:.2f} (ours {mine * scale:.1f} {unit}, "
            f"floor {base * scale:.1f} {unit}; medians of {len(ours)})")

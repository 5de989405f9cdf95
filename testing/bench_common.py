"""What the benchmarks share: a display to run on, the median line, the machine's load."""
import contextlib
import ctypes
import os
import statistics
import subprocess
import time


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


def ratio_line(what, ours, floor, unit="ms", scale=1000.0, digits=1):
    """'<what>: ratio R (ours X <unit>, floor Y <unit>)' from two lists of samples."""
    mine, base = statistics.median(ours), statistics.median(floor)
    ratio = mine / base if base else float("inf")
    return (f"{what}: ratio {ratio:.2f} (ours {mine * scale:.{digits}f} {unit}, "
            f"floor {base * scale:.{digits}f} {unit}; medians of {len(ours)})")


class XInput:
    """Input injected into the X server with the XTEST extension (the library xdotool uses),
    each call returning the host's real-time clock right after the event left for the server:
    the same clock the simulated panel stamps its requests with."""

    def __init__(self):
        self.x11 = ctypes.CDLL("libX11.so.6")
        self.xtst = ctypes.CDLL("libXtst.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        for name in ("XFlush", "XCloseDisplay"):
            getattr(self.x11, name).argtypes = [ctypes.c_void_p]
        self.x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.x11.XKeysymToKeycode.restype = ctypes.c_ubyte
        self.xtst.XTestFakeRelativeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int,
                                                           ctypes.c_int, ctypes.c_ulong]
        for name in ("XTestFakeKeyEvent", "XTestFakeButtonEvent"):
            getattr(self.xtst, name).argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                                 ctypes.c_ulong]
        self.display = self.x11.XOpenDisplay(None)
        if not self.display:
            raise RuntimeError("cannot open the X display")

    def _sent(self):
        self.x11.XFlush(self.display)
        return time.time()

    def move_by(self, dx, dy):
        self.xtst.XTestFakeRelativeMotionEvent(self.display, dx, dy, 0)
        return self._sent()

    def key(self, keysym, down):
        code = self.x11.XKeysymToKeycode(self.display, keysym)
        self.xtst.XTestFakeKeyEvent(self.display, code, 1 if down else 0, 0)
        return self._sent()

    def button(self, number, down):
        self.xtst.XTestFakeButtonEvent(self.display, number, 1 if down else 0, 0)
        return self._sent()

    def close(self):
        self.x11.XCloseDisplay(self.display)

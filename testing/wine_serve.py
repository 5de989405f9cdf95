"""Test helpers that stay resident in a Wine prefix and answer requests through their pipes.

Starting a Windows program from Linux costs a Wine process start, about 0.1-0.2 s of CPU and
0.1 s of waiting on this machine. The tests ask the same helpers hundreds of
times (the simulators' registry state, the dialogs' texts), so those helpers have a "serve"
mode: one request per line on standard input (the arguments separated by tabs), the output as
the command prints it, then a line ".end <exit code>".

A resident helper keeps the prefix's wineserver alive: whatever waits for the server to end
(wineserver -w) ends the prefix's helpers first (end). One that ended with its server is
started again at the next request; when none answers, the caller runs the program as before.
"""
import atexit
import os
import select
import subprocess
import time

WINE = os.environ.get("DP_WINE", "/usr/lib/wine/wine64")


GONE = "gone"


def system_program(name):
    """The Windows path of one of Wine's own programs (reg, cmd, winepath): named alone, it is
    started through start.exe, a second Wine process of about 0.1 s of CPU."""
    return "C:\\windows\\system32\\%s.exe" % name


class ServingProcess:
    def __init__(self, exe, env):
        self.process = subprocess.Popen([WINE, exe, "serve"], env=env, stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.pending = b""

    def alive(self):
        return self.process.poll() is None

    def send(self, words):
        """False when the helper is gone (its pipe broken)."""
        try:
            self.process.stdin.write("\t".join(words).encode("utf-8") + b"\n")
            self.process.stdin.flush()
            return True
        except OSError:
            return False

    def receive(self, timeout):
        """(exit code, output text) of the request sent; GONE when the helper ended first (its
        wineserver was ended); None when no answer came in time."""
        deadline = time.monotonic() + timeout
        fd = self.process.stdout.fileno()
        lines = []
        while True:
            while b"\n" in self.pending:
                line, self.pending = self.pending.split(b"\n", 1)
                if line.startswith(b".end "):
                    text = b"\n".join(lines).decode("utf-8", "replace")
                    return int(line[5:].strip() or b"1"), text
                lines.append(line)
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            # A helper that was the first program of its wineserver shares its output pipe
            # with the services Wine started along with it: its end is no end of the pipe.
            if not select.select([fd], [], [], min(left, 0.5))[0]:
                if not self.alive():
                    return GONE
                continue
            chunk = os.read(fd, 1 << 16)
            if not chunk:
                return GONE
            self.pending += chunk

    def end(self):
        if self.alive():
            self.process.kill()
        self.process.wait()
        for pipe in (self.process.stdin, self.process.stdout):
            try:
                pipe.close()
            except OSError:
                pass


_serving = {}  # (prefix, exe) -> ServingProcess


def ask(prefix, exe, words, env, timeout):
    """Runs one request through the prefix's resident exe (started when needed): (exit code,
    output text). None when the request cannot go that way (a line break or tab in an argument,
    or no helper took it): the caller runs the program instead. A request taken and not
    answered in time raises subprocess.TimeoutExpired, as a program run would."""
    if any("\n" in w or "\t" in w for w in words):
        return None
    key = (os.path.abspath(prefix), exe)
    for _ in range(2):  # once more when the helper ended with its server
        helper = _serving.get(key)
        if helper is None or not helper.alive():
            if helper is not None:
                _serving.pop(key).end()
            helper = _serving[key] = ServingProcess(exe, env)
        answer = helper.receive(timeout) if helper.send(words) else GONE
        if answer is None:
            _serving.pop(key).end()
            raise subprocess.TimeoutExpired([exe, "serve"] + list(words), timeout)
        if answer is not GONE:
            return answer
        _serving.pop(key).end()
    return None


def end(prefix=None):
    """Ends the resident helpers of a prefix (of every prefix when None)."""
    for key in [k for k in _serving if prefix is None or k[0] == os.path.abspath(prefix)]:
        _serving.pop(key).end()


atexit.register(end)

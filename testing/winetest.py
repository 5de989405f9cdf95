"""Helpers for tests that drive the shipped Windows programs under Wine.

Each test (or test class) takes a fresh prefix copied from the run's template prefix
(DP_WINE_TEMPLATE, made by ./dev), runs programs in it with wine64, reads the registry back
while the prefix's wineserver runs, and stops the wineserver at the end. DISPLAY is the Xvfb of
the run. Nothing here touches a user's own prefix.
"""
import os
import re
import shutil
import subprocess
import tempfile
import time

WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def build_dir():
    return os.environ.get("DP_BUILD_WIN64", os.path.join(ROOT, "build", "win64"))


def program(name):
    """Path of a built program (bin/) or test helper (testing/...)."""
    for candidate in (os.path.join(build_dir(), "bin", name), os.path.join(build_dir(), name)):
        if os.path.exists(candidate):
            return candidate
    for dirpath, _, files in os.walk(os.path.join(build_dir(), "testing")):
        if name in files:
            return os.path.join(dirpath, name)
    raise FileNotFoundError(name)


def template_prefix():
    template = os.environ.get("DP_WINE_TEMPLATE")
    if template and os.path.exists(os.path.join(template, ".dp-ready")):
        return template
    template = os.path.join(tempfile.gettempdir(), f"dp-e2e-template-{os.getuid()}")
    subprocess.run(["bash", "-c", f'. "{HERE}/wine-env.sh" && dp_make_template "{template}"'],
                   check=True, timeout=300)
    return template


class WinePrefix:
    """A fresh prefix for one test class; use as a context manager or call close()."""

    def __init__(self, name):
        work = os.environ.get("DP_E2E_WORK", os.path.join(tempfile.gettempdir(), "dp-e2e"))
        os.makedirs(work, exist_ok=True)
        self.path = os.path.join(work, name)
        shutil.rmtree(self.path, ignore_errors=True)
        subprocess.run(["cp", "-a", template_prefix(), self.path], check=True)
        self.env = dict(os.environ, WINEPREFIX=self.path, WINEDEBUG="-all")

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def close(self):
        subprocess.run([WINESERVER, "-k"], env=self.env, stderr=subprocess.DEVNULL)
        subprocess.run([WINESERVER, "-w"], env=self.env, stderr=subprocess.DEVNULL, timeout=60)

    # --- programs -------------------------------------------------------------------------
    def run(self, exe, *args, timeout=60, extra_env=None):
        env = dict(self.env, **(extra_env or {}))
        return subprocess.run([WINE, exe, *args], env=env, capture_output=True, timeout=timeout)

    def start(self, exe, *args, extra_env=None):
        env = dict(self.env, **(extra_env or {}))
        return subprocess.Popen([WINE, exe, *args], env=env, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE)

    def wait_server(self, timeout=60):
        """Waits until every program of the prefix has ended and the server is gone."""
        subprocess.run([WINESERVER, "-w"], env=self.env, timeout=timeout)

    # --- registry -------------------------------------------------------------------------
    def reg_query(self, key, value):
        """The data of one value as text (REG_DWORD as an int), or None when missing."""
        for _ in range(3):
            out = subprocess.run([WINE, "reg", "query", key, "/v", value], env=self.env,
                                 capture_output=True, timeout=60)
            # reg says when the key or value is missing; any other failure is a wine64 start
            # that failed under load, and is asked again.
            if out.returncode == 0 or b"Unable to find" in out.stdout + out.stderr:
                break
        if out.returncode != 0:
            return None
        for line in out.stdout.decode("utf-8", "replace").splitlines():
            # "    <name>    <type>    <data>": names such as "Setup Path" hold blanks
            match = re.match(r"^\s+(.*?)\s{4}(REG_\w+)(?:\s{4}(.*))?$", line)
            if not match:
                continue
            name, kind, data = match.group(1), match.group(2), match.group(3) or ""
            if name.lower() == value.lower() or (value == "" and name == "(Default)"):
                if kind == "REG_DWORD":
                    return int(data, 16) if data.startswith("0x") else int(data)
                return data
        return None

    def reg_add(self, key, value, data, kind="REG_SZ"):
        args = [WINE, "reg", "add", key, "/v", value, "/t", kind, "/d", str(data), "/f"]
        subprocess.run(args, env=self.env, capture_output=True, check=True, timeout=60)

    def reg_delete(self, key, value=None):
        args = [WINE, "reg", "delete", key] + (["/v", value] if value else []) + ["/f"]
        subprocess.run(args, env=self.env, capture_output=True, timeout=60)

    # --- files ----------------------------------------------------------------------------
    def unix_path(self, windows_path):
        """C:\\x\\y -> <prefix>/drive_c/x/y (Z: maps to /)."""
        drive, rest = windows_path[0].lower(), windows_path[2:].replace("\\", "/").lstrip("/")
        if drive == "z":
            return "/" + rest
        return os.path.join(self.path, f"drive_{drive}", rest)

    def user_name(self):
        users = os.path.join(self.path, "drive_c", "users")
        names = [n for n in os.listdir(users) if n not in ("Public", "public")]
        return names[0]


def wait_until(predicate, timeout=10.0, interval=0.05):
    """Polls predicate until it is true or the time-out passes; returns its last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(interval)

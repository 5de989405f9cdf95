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
import sys
import tempfile
import time

import wine_serve

WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
REG = wine_serve.system_program("reg")
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


# Files of a prefix that Wine only reads: its system DLLs and programs (about 630 MB of the
# 700 MB). A prefix made for one test shares them with the template by hard links and copies
# the rest (registry, folders, small files), so a fresh prefix costs a few MB and a second.
SHARED_SUFFIXES = (".dll", ".exe", ".sys", ".drv", ".ocx", ".cpl", ".acm", ".tlb", ".ax", ".com",
                   ".nls", ".ds", ".msstyles", ".cpl16", ".dll16", ".exe16", ".drv16", ".mod16",
                   ".vxd")
SEAL = ".dp-shared"


def _shared(name):
    return name.lower().endswith(SHARED_SUFFIXES)


def copy_prefix(template, dest):
    """A prefix of its own in DEST: the template's read-only binaries hard-linked, the rest
    copied. Whatever replaces one of those binaries in a prefix must write a new file and
    rename it over the old one (see lcdsim._install_file), never write into it."""
    shutil.rmtree(dest, ignore_errors=True)
    for folder, dirs, files in os.walk(template):
        target = os.path.join(dest, os.path.relpath(folder, template))
        os.makedirs(target, exist_ok=True)
        for name in dirs + files:
            source = os.path.join(folder, name)
            if os.path.islink(source):
                os.symlink(os.readlink(source), os.path.join(target, name))
                if name in dirs:
                    dirs.remove(name)  # a link to a folder (dosdevices): not walked
        for name in files:
            source, copy = os.path.join(folder, name), os.path.join(target, name)
            if os.path.islink(source):
                continue
            if _shared(name):
                try:
                    os.link(source, copy)
                    continue
                except OSError:
                    pass  # another file system: copy
            shutil.copy2(source, copy)
        shutil.copystat(folder, target)


def _shared_files(template):
    for folder, dirs, files in os.walk(template):
        dirs[:] = [d for d in dirs if not os.path.islink(os.path.join(folder, d))]
        for name in files:
            path = os.path.join(folder, name)
            if _shared(name) and not os.path.islink(path):
                yield path


def _signature(path):
    st = os.stat(path)
    return f"{st.st_size} {st.st_mtime_ns}"


def seal_template(template):
    """Notes size and time of every shared file, so that a test that wrote into one (and so
    into the template and every prefix) is found by check_template."""
    with open(os.path.join(template, SEAL), "w", encoding="utf-8") as f:
        for path in _shared_files(template):
            f.write(f"{_signature(path)} {os.path.relpath(path, template)}\n")


def check_template(template):
    """The shared files that changed since seal_template (empty when none did)."""
    changed = []
    with open(os.path.join(template, SEAL), encoding="utf-8") as f:
        for line in f:
            size, stamp, relative = line.rstrip("\n").split(" ", 2)
            path = os.path.join(template, relative)
            try:
                if _signature(path) != f"{size} {stamp}":
                    changed.append(relative)
            except OSError:
                changed.append(relative)
    return changed


class WinePrefix:
    """A fresh prefix for one test class; use as a context manager or call close()."""

    def __init__(self, name):
        work = os.environ.get("DP_E2E_WORK", os.path.join(tempfile.gettempdir(), "dp-e2e"))
        os.makedirs(work, exist_ok=True)
        self.path = os.path.join(work, name)
        copy_prefix(template_prefix(), self.path)
        self.env = dict(os.environ, WINEPREFIX=self.path, WINEDEBUG="-all")

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def close(self):
        wine_serve.end(self.path)  # resident helpers keep the server alive
        subprocess.run([WINESERVER, "-k"], env=self.env, stderr=subprocess.DEVNULL)
        subprocess.run([WINESERVER, "-w"], env=self.env, stderr=subprocess.DEVNULL, timeout=60)

    def discard(self):
        """Ends the prefix's programs and removes it (its shared binaries stay in the template)."""
        self.close()
        shutil.rmtree(self.path, ignore_errors=True)

    # --- programs -------------------------------------------------------------------------
    def run(self, exe, *args, timeout=60, extra_env=None):
        env = dict(self.env, **(extra_env or {}))
        return subprocess.run([WINE, exe, *args], env=env, capture_output=True, timeout=timeout)

    def ask_helper(self, exe, *args, timeout=60):
        """(exit code, output text) of one command of a test helper with a "serve" mode (see
        wine_serve): through the prefix's resident copy, or run as a program when none takes
        it. The output goes through a file then, so only the helper's own end is waited for."""
        answer = wine_serve.ask(self.path, exe, args, self.env, timeout)
        if answer is not None:
            return answer
        with tempfile.TemporaryFile() as out:
            result = subprocess.run([WINE, exe, *args], env=self.env, stdin=subprocess.DEVNULL,
                                    stdout=out, stderr=subprocess.DEVNULL, timeout=timeout)
            out.seek(0)
            return result.returncode, out.read().decode("utf-8", "replace")

    def start(self, exe, *args, extra_env=None):
        env = dict(self.env, **(extra_env or {}))
        return subprocess.Popen([WINE, exe, *args], env=env, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE)

    def wait_server(self, timeout=60):
        """Waits until every program of the prefix has ended and the server is gone."""
        wine_serve.end(self.path)  # resident helpers keep the server alive
        subprocess.run([WINESERVER, "-w"], env=self.env, timeout=timeout)

    # --- registry -------------------------------------------------------------------------
    def reg_query(self, key, value):
        """The data of one value as text (REG_DWORD as an int), or None when missing."""
        for _ in range(3):
            out = subprocess.run([WINE, REG, "query", key, "/v", value], env=self.env,
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
        args = [WINE, REG, "add", key, "/v", value, "/t", kind, "/d", str(data), "/f"]
        subprocess.run(args, env=self.env, capture_output=True, check=True, timeout=60)

    def reg_delete(self, key, value=None):
        args = [WINE, REG, "delete", key] + (["/v", value] if value else []) + ["/f"]
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


def main(argv):
    """copy-prefix TEMPLATE DEST | seal-template TEMPLATE | check-template TEMPLATE"""
    if len(argv) == 3 and argv[0] == "copy-prefix":
        copy_prefix(argv[1], argv[2])
        return 0
    if len(argv) == 2 and argv[0] == "seal-template":
        seal_template(argv[1])
        return 0
    if len(argv) == 2 and argv[0] == "check-template":
        changed = check_template(argv[1])
        for relative in changed:
            print(f"written into a shared file of the template: {relative}")
        return 1 if changed else 0
    print(main.__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

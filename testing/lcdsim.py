#!/usr/bin/env python3
"""The simulated LCD panel and the simulated power scheme in a Wine prefix (standard library only).

Used by the e2e tests (import it) and by testing/lcdsim.sh (its command line, see main()).
What it drives, all built in the win64 preset (see testing/README.md, "Simulated LCD panel"):

  <build>/testing/lcdsim.sys                 kernel-mode driver: \\Device\\LCD, DOS name LCD
  <build>/testing/lcd_client.exe             console client (open/levels/query/set/power...)
  <build>/testing/powrprof_sim/powrprof.dll  PowerGetActiveScheme/PowerEnumerate/PowerSetActiveScheme

install() copies them into the prefix (C:\\lcdsim\\, and powrprof.dll over
C:\\windows\\system32\\powrprof.dll with the override powrprof=native), registers the driver as the
kernel service "lcdsim" with Start=2 (auto: services.exe starts it on every cold wineserver, before
the first program's main runs) and seeds the configuration. stop() sets Start=3 and stops it;
start() sets Start=2 and makes sure it runs. Everything else is registry values that the driver
and the DLL re-read on every request:

  HKLM\\Software\\DuskpanelLcdSim    Levels, Current, FailQueryLevels, FailQuery, FailSet,
                                     FailStatus, QueryPolicy3, HistoryCount, History\\NNNNN
  HKLM\\Software\\DuskpanelPowerSim  SchemeCount, ActiveScheme, Scheme<N>Brightness,
                                     FailGetActive, FailEnumerate, FailSetActive, CallCount,
                                     Calls\\NNNNN

A Wine program start costs about 1.5 s on a cold wineserver and 0.1 s on a warm one: tests keep
one server alive per test class with persistent_server() (wineserver -p ... -k, -w).
"""

import argparse
import contextlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

import wine_serve

WINE = os.environ.get("DP_WINE", "/usr/lib/wine/wine64")
WINESERVER = os.environ.get("DP_WINESERVER", "/usr/lib/wine/wineserver")

SERVICE = "lcdsim"
SERVICE_KEY = r"HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services\lcdsim"
LCD_KEY = r"HKEY_LOCAL_MACHINE\Software\DuskpanelLcdSim"
POWER_KEY = r"HKEY_LOCAL_MACHINE\Software\DuskpanelPowerSim"
OVERRIDES_KEY = r"HKEY_CURRENT_USER\Software\Wine\DllOverrides"

INSTALL_DIR = "lcdsim"  # under drive_c
CLIENT_WIN = r"C:\lcdsim\lcd_client.exe"
DRIVER_WIN = r"C:\lcdsim\lcdsim.sys"

DEFAULT_LEVELS = tuple(range(0, 101, 10))
DEFAULT_RECORD = (1, 100, 100)
DEFAULT_SCHEMES = (100, 60, 30)

STATUS_NOT_SUPPORTED = 0xC00000BB
IOCTL_REQUESTS = ("QUERY_SUPPORTED_BRIGHTNESS", "QUERY_DISPLAY_BRIGHTNESS", "SET_DISPLAY_BRIGHTNESS")

# The scheme identifiers the DLL uses (index 0-2; index N >= 3 is d05c5e00-0000-4000-8000-0000000000NN).
SCHEME_GUIDS = (
    "{381b4222-f694-41f0-9685-ff5bb260df2e}",
    "{8c5e7fda-e8bf-4a96-9a85-a6e23a8c635c}",
    "{a1841308-3541-4fab-bc81-f71556f20b4a}",
)


class SimError(RuntimeError):
    pass


# ---- build artifacts -----------------------------------------------------------------------

def artifacts(build_dir):
    """The three built files of a win64 build dir; SimError if one is missing."""
    paths = {
        "driver": os.path.join(build_dir, "testing", "lcdsim.sys"),
        "client": os.path.join(build_dir, "testing", "lcd_client.exe"),
        "powrprof": os.path.join(build_dir, "testing", "powrprof_sim", "powrprof.dll"),
    }
    missing = [p for p in paths.values() if not os.path.isfile(p)]
    if missing:
        raise SimError("not built (cmake --build <win64 dir> --target lcdsim lcd_client "
                       "powrprof_sim): " + ", ".join(missing))
    return paths


def scheme_guid(index):
    if index < len(SCHEME_GUIDS):
        return SCHEME_GUIDS[index]
    return "{d05c5e00-0000-4000-8000-0000000000%02x}" % index


# ---- running Wine --------------------------------------------------------------------------

def wine_env(prefix, extra=None):
    env = dict(os.environ)
    env["WINEPREFIX"] = os.path.abspath(prefix)
    env.setdefault("WINEDEBUG", "-all")
    env.pop("WINEDLLOVERRIDES", None)  # the prefix's registry decides (powrprof=native)
    if extra:
        env.update(extra)
    return env


def run_wine(prefix, args, timeout=60, env_extra=None):
    """Runs wine64 with args in the prefix; returns the CompletedProcess (text output).

    The output goes through temporary files, not pipes: the first program of a cold wineserver
    starts services.exe and winedevice.exe, which inherit its standard handles and live as long
    as the server (for good with a persistent one), so reading a pipe to its end would wait for
    them."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        r = subprocess.run([WINE] + list(args), env=wine_env(prefix, env_extra),
                           stdin=subprocess.DEVNULL, stdout=out, stderr=err, timeout=timeout,
                           check=False)
        out.seek(0)
        err.seek(0)
        r.stdout = out.read().decode("utf-8", "replace")
        r.stderr = err.read().decode("utf-8", "replace")
    return r


def start_server(prefix, timeout=30):
    """Starts a persistent wineserver for the prefix (stays until stop_server)."""
    subprocess.run([WINESERVER, "-p"], env=wine_env(prefix), stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=timeout,
                   check=False)


def stop_server(prefix, timeout=30):
    """Ends every program of the prefix and waits for its wineserver (-k, then -w)."""
    wine_serve.end(prefix)
    env = wine_env(prefix)
    for flag in ("-k", "-w"):
        try:
            subprocess.run([WINESERVER, flag], env=env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                           timeout=timeout, check=False)
        except subprocess.TimeoutExpired:
            pass


@contextlib.contextmanager
def persistent_server(prefix):
    start_server(prefix)
    try:
        yield
    finally:
        stop_server(prefix)


# ---- registry: writing through one "reg import" ----------------------------------------------

def _hex(data):
    return ",".join("%02x" % b for b in data)


def _reg_line(name, value):
    quoted = '"%s"' % name.replace("\\", "\\\\").replace('"', '\\"')
    if value is None:
        return quoted + "=-"
    kind, data = value
    if kind == "dword":
        return quoted + "=dword:%08x" % (int(data) & 0xFFFFFFFF)
    if kind == "binary":
        return quoted + "=hex:" + _hex(bytes(data))
    if kind == "sz":
        return quoted + '="%s"' % data.replace("\\", "\\\\").replace('"', '\\"')
    if kind == "expand_sz":
        return quoted + "=hex(2):" + _hex((data + "\0").encode("utf-16-le"))
    raise ValueError(kind)


def _write_reg_file(prefix, sections, name):
    """Writes a .reg file (version 5, UTF-16) into C:\\lcdsim; returns its Windows path.
    sections: list of (key, {name: value or None to delete}) or ("-" + key) to delete a key.
    value: ("dword", n) | ("binary", bytes) | ("sz", str) | ("expand_sz", str)."""
    lines = ["Windows Registry Editor Version 5.00", ""]
    for section in sections:
        if isinstance(section, str):
            lines += ["[-%s]" % section.lstrip("-"), ""]
            continue
        key, values = section
        lines.append("[%s]" % key)
        lines += [_reg_line(n, v) for n, v in values.items()]
        lines.append("")
    folder = os.path.join(prefix, "drive_c", INSTALL_DIR)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "w", encoding="utf-16", newline="\r\n") as f:
        f.write("\n".join(lines) + "\n")
    return "C:\\%s\\%s" % (INSTALL_DIR, name)


def run_batch(prefix, commands, timeout=60):
    """Runs Windows commands as one batch file (one Wine start: a cold wineserver costs about
    1.5 s, more on a loaded machine); returns the CompletedProcess."""
    folder = os.path.join(prefix, "drive_c", INSTALL_DIR)
    os.makedirs(folder, exist_ok=True)
    name = "run-%d.bat" % os.getpid()
    path = os.path.join(folder, name)
    with open(path, "w", newline="\r\n") as f:
        f.write("@echo off\n" + "\n".join(commands) + "\n")
    try:
        batch = "C:\\%s\\%s" % (INSTALL_DIR, name)
        return run_wine(prefix, [wine_serve.system_program("cmd"), "/c", batch], timeout=timeout)
    finally:
        os.remove(path)


def _client_in(prefix):
    """The unix path of the client installed in the prefix, or None."""
    client = os.path.join(os.path.abspath(prefix), "drive_c", INSTALL_DIR, "lcd_client.exe")
    return client if os.path.isfile(client) else None


def _run_through_client(prefix, command_line, timeout):
    """The exit code of a program run by the prefix's resident client (wine_serve), or None
    when there is no client to run it."""
    client = _client_in(prefix)
    if client is None:
        return None
    answer = wine_serve.ask(prefix, client, ["run", command_line], wine_env(prefix), timeout)
    return None if answer is None else answer[0]


def reg_import(prefix, sections, timeout=60, then=()):
    """Imports the sections (see _write_reg_file) with one "reg import", then runs the commands
    in then (same Wine start); returns the batch's CompletedProcess (None when the import alone
    went through the prefix's resident client)."""
    name = "import-%d.reg" % os.getpid()
    win_path = _write_reg_file(prefix, sections, name)
    try:
        # Wine's "reg import" fails now and then on a busy machine (seen about once in a few
        # hundred imports); the import is idempotent, so a failed one is tried again.
        failure = ""
        for attempt in range(3):
            if not then:
                code = _run_through_client(prefix, "reg import " + win_path, timeout)
                if code == 0:
                    return None
                if code is not None:
                    failure = "exit code %d" % code
                    time.sleep(0.5)
                    continue
            r = run_batch(prefix, ["reg import %s >nul 2>&1" % win_path,
                                   "if errorlevel 1 echo reg-import-failed",
                                   "echo reg-import-ran"] + list(then),
                          timeout=timeout)
            # Without the line the batch never ran: under load wine64 now and then fails to
            # start a program at all (exit code 1, no output), which is no import either.
            if "reg-import-ran" in r.stdout and "reg-import-failed" not in r.stdout:
                return r
            failure = "exit code %d: %s%s" % (r.returncode, r.stdout, r.stderr)
            time.sleep(0.5)
    finally:
        os.remove(os.path.join(prefix, "drive_c", INSTALL_DIR, name))
    raise SimError("reg import failed: %s" % failure)


# ---- registry: reading through "reg query /s" ------------------------------------------------

_VALUE_LINE = re.compile(r"^    (.*?)    (REG_[A-Z_]+)    ?(.*)$")


def read_key(prefix, key, timeout=60):
    """{key path (as reg prints it): {value name: (type, data)}} for key and its subkeys;
    {} when the key does not exist. DWORDs are ints, binaries bytes, strings str."""
    # The installed client answers through its pipes (wine_serve): the tests poll the
    # simulators' state hundreds of times, and each "reg query" is a Wine start.
    client = _client_in(prefix)
    answer = None
    if client is not None:
        answer = wine_serve.ask(prefix, client, ["query", key], wine_env(prefix), timeout)
    if answer is None:
        r = run_wine(prefix, [wine_serve.system_program("reg"), "query", key, "/s"],
                     timeout=timeout)
        answer = r.returncode, r.stdout
    code, text = answer
    if code != 0:
        return {}
    result = {}
    current = None
    for raw in text.splitlines():
        line = raw.rstrip("\r")
        if line.startswith("HKEY_"):
            current = result.setdefault(line.strip(), {})
            continue
        m = _VALUE_LINE.match(line)
        if m is None or current is None:
            continue
        name, kind, data = m.group(1), m.group(2), m.group(3)
        if name == "(Default)":
            name = ""
        if kind == "REG_DWORD":
            data = int(data, 16)
        elif kind == "REG_BINARY":
            data = bytes.fromhex(data.strip())
        current[name] = (kind, data)
    return result


def _values(tree, key):
    for path, values in tree.items():
        if path.lower() == key.lower():
            return values
    return {}


def _numbered(tree, key):
    values = _values(tree, key)
    return [values[n][1] for n in sorted(values) if n.isdigit()]


def filetime(unix_seconds):
    """A host time.time() value on the scale of the history's time= stamps (a FILETIME: 100 ns
    units since 1601). Under Wine the driver's system time is the host's real-time clock."""
    return int(round((unix_seconds + 11644473600) * 10_000_000))


def parse_history_line(line):
    """'SET_DISPLAY_BRIGHTNESS in=034646 inlen=3 ... time=1344...' -> dict (req, in, inlen,
    outlen, status, info, out, time, text); in/out as bytes, the numbers (time: the FILETIME the
    request arrived, see filetime()) as ints."""
    words = line.split()
    entry = {"req": words[0] if words else "", "text": line}
    for word in words[1:]:
        k, _, v = word.partition("=")
        if k in ("in", "out"):
            entry[k] = bytes.fromhex(v)
        elif k == "status":
            entry[k] = int(v, 16)
        else:
            entry[k] = int(v) if v.isdigit() else v
    return entry


def parse_call_line(line):
    """'SetActive guid={..} scheme=1 status=0 ...' -> dict (call, text, and each key=value;
    numbers as ints)."""
    words = line.split()
    entry = {"call": words[0] if words else "", "text": line}
    for word in words[1:]:
        k, _, v = word.partition("=")
        entry[k] = int(v) if re.fullmatch(r"-?\d+", v) else v
    return entry


def state(prefix):
    """The panel's registry state in one Wine call: record, levels, switches and history."""
    tree = read_key(prefix, LCD_KEY)
    values = _values(tree, LCD_KEY)

    def dword(name, default=0):
        v = values.get(name)
        return v[1] if v and v[0] == "REG_DWORD" else default

    current = values.get("Current")
    levels = values.get("Levels")
    return {
        "record": tuple(current[1][:3]) if current else None,
        "levels": list(levels[1]) if levels else None,
        "fail_query_levels": bool(dword("FailQueryLevels")),
        "fail_query": bool(dword("FailQuery")),
        "fail_set": bool(dword("FailSet")),
        "fail_status": dword("FailStatus", STATUS_NOT_SUPPORTED),
        "query_policy3": bool(dword("QueryPolicy3")),
        "history_count": dword("HistoryCount"),
        "history": [parse_history_line(s) for s in _numbered(tree, LCD_KEY + r"\History")],
    }


def history(prefix, ioctls_only=False):
    """Every request the driver received, oldest first (see parse_history_line). With
    ioctls_only, the OPEN and CLOSE entries are left out."""
    entries = state(prefix)["history"]
    if ioctls_only:
        entries = [e for e in entries if e["req"] not in ("OPEN", "CLOSE")]
    return entries


def current_record(prefix):
    """The panel's 3-byte record (policy, AC, DC) as the driver holds it."""
    return state(prefix)["record"]


def power_state(prefix):
    tree = read_key(prefix, POWER_KEY)
    values = _values(tree, POWER_KEY)
    return {
        "active": values.get("ActiveScheme", ("", 0))[1],
        "scheme_count": values.get("SchemeCount", ("", 3))[1],
        "calls": [parse_call_line(s) for s in _numbered(tree, POWER_KEY + r"\Calls")],
    }


def power_calls(prefix):
    """Every call the simulated powrprof.dll received, oldest first (see parse_call_line)."""
    return power_state(prefix)["calls"]


# ---- configuration -------------------------------------------------------------------------

def _lcd_values(levels=None, record=None, brightness=None, fail_query_levels=None,
                fail_query=None, fail_set=None, fail_status=None, query_policy3=None,
                query_bytes=None):
    values = {}
    if query_bytes is not None:
        values["QueryBytes"] = ("dword", query_bytes)
    if levels is not None:
        if len(levels) > 256:
            raise ValueError("at most 256 levels")
        values["Levels"] = ("binary", bytes(levels))
    if brightness is not None:
        policy = record[0] if record is not None else 1
        record = (policy, brightness, brightness)
    if record is not None:
        values["Current"] = ("binary", bytes(record))
    for name, flag in (("FailQueryLevels", fail_query_levels), ("FailQuery", fail_query),
                       ("FailSet", fail_set), ("QueryPolicy3", query_policy3)):
        if flag is not None:
            values[name] = ("dword", 1 if flag else 0)
    if fail_status is not None:
        values["FailStatus"] = ("dword", fail_status)
    return values


def _power_values(schemes=None, active_scheme=None, fail_get_active=None, fail_enumerate=None,
                  fail_set_active=None):
    values = {}
    if schemes is not None:
        if not 1 <= len(schemes) <= 16:
            raise ValueError("1 to 16 schemes")
        values["SchemeCount"] = ("dword", len(schemes))
        for i, b in enumerate(schemes):
            values["Scheme%dBrightness" % i] = ("dword", b)
    if active_scheme is not None:
        values["ActiveScheme"] = ("dword", active_scheme)
    for name, error in (("FailGetActive", fail_get_active), ("FailEnumerate", fail_enumerate),
                        ("FailSetActive", fail_set_active)):
        if error is not None:
            values[name] = ("dword", error)
    return values


def configure(prefix, clear_history=False, clear_power_calls=False, schemes=None,
              active_scheme=None, fail_get_active=None, fail_enumerate=None,
              fail_set_active=None, **lcd):
    """Changes the configuration (one Wine call); arguments left at None are kept.
    Panel: levels (sequence of 0-256 ints; [] = success with 0 bytes), record (policy, AC, DC),
    brightness (record (policy or 1, N, N)), fail_query_levels, fail_query, fail_set (bools),
    fail_status (NTSTATUS, default STATUS_NOT_SUPPORTED = error 50), query_policy3 (bool),
    query_bytes (0-2: the brightness query answers that many bytes; 3 = whole), clear_history. Power scheme: schemes (brightness per scheme), active_scheme (index),
    fail_get_active, fail_enumerate, fail_set_active (error to return, 0 = none),
    clear_power_calls. Takes effect at the next request, also while the driver runs."""
    sections = []
    values = _lcd_values(**lcd)
    if clear_history:
        values["HistoryCount"] = ("dword", 0)
        sections.append("-" + LCD_KEY + r"\History")
    if values:
        sections.append((LCD_KEY, values))
    values = _power_values(schemes, active_scheme, fail_get_active, fail_enumerate,
                           fail_set_active)
    if clear_power_calls:
        values["CallCount"] = ("dword", 0)
        sections.append("-" + POWER_KEY + r"\Calls")
    if values:
        sections.append((POWER_KEY, values))
    if sections:
        reg_import(prefix, sections)


def clear_records(prefix):
    """Empties the panel's history and the power-scheme call log."""
    configure(prefix, clear_history=True, clear_power_calls=True)


# ---- install, start, stop ------------------------------------------------------------------

# Service commands for a batch. "sc create" registers the driver with the running services.exe
# (a service added to the registry alone is seen only when services.exe next starts, i.e. on the
# next cold wineserver); it fails harmlessly (1073) when the service exists. Wine's "sc config"
# does not change the start type, so Start is written with "reg add": 2 (auto) makes services.exe
# start the driver on every cold wineserver, before the first program's main runs.
_SC_CREATE = ("sc create %s type= kernel start= auto error= normal binPath= %s >nul 2>&1"
              % (SERVICE, DRIVER_WIN))
_REG_START = (r"reg add HKLM\System\CurrentControlSet\Services\%s /v Start /t REG_DWORD /d %%d /f"
              r" >nul 2>&1" % SERVICE)
_SC_START = "sc start %s >nul 2>&1" % SERVICE  # 1056 when already running: harmless
_SC_STOP = "sc stop %s >nul 2>&1" % SERVICE
_PROBE = CLIENT_WIN + " open"


def _install_file(source, target):
    """Copies to a new file and renames it over the target: a running winedevice.exe or program
    may have the old one mapped, which an in-place overwrite would corrupt, and the old one may
    be a hard link shared with the template prefix and every other test's prefix."""
    temporary = target + ".new"
    shutil.copy2(source, temporary)
    os.replace(temporary, target)


def _install_powrprof(prefix, dll):
    """The DLL over system32's powrprof.dll (Wine's own kept as C:\\lcdsim\\powrprof.wine.dll)."""
    folder = os.path.join(prefix, "drive_c", INSTALL_DIR)
    os.makedirs(folder, exist_ok=True)
    target = os.path.join(prefix, "drive_c", "windows", "system32", "powrprof.dll")
    backup = os.path.join(folder, "powrprof.wine.dll")
    if os.path.isfile(target) and not os.path.exists(backup) and not _is_sim(target):
        shutil.copy2(target, backup)
    _install_file(dll, target)


def _copy_files(prefix, build_dir, power):
    files = artifacts(build_dir)
    folder = os.path.join(prefix, "drive_c", INSTALL_DIR)
    os.makedirs(folder, exist_ok=True)
    _install_file(files["driver"], os.path.join(folder, "lcdsim.sys"))
    _install_file(files["client"], os.path.join(folder, "lcd_client.exe"))
    if power:
        _install_powrprof(prefix, files["powrprof"])


def _is_sim(path):
    with open(path, "rb") as f:
        return b"DuskpanelPowerSimVersion" in f.read()


def install(prefix, build_dir, levels=DEFAULT_LEVELS, record=DEFAULT_RECORD, brightness=None,
            power=True, schemes=DEFAULT_SCHEMES, active_scheme=0, start=True, timeout=60):
    """Installs the panel (and, with power, the power-scheme DLL) into the prefix with a fresh
    configuration and empty records. With start (the default) the driver is registered as an
    auto-start kernel service, started, and \\\\.\\LCD is checked to open; otherwise it is
    registered demand-start and left stopped. Returns the seconds it took."""
    began = time.monotonic()
    _copy_files(prefix, build_dir, power)
    sections = [
        "-" + LCD_KEY + r"\History",
        (LCD_KEY, dict(_lcd_values(levels=levels, record=record, brightness=brightness,
                                   fail_query_levels=False, fail_query=False, fail_set=False,
                                   query_policy3=False),
                       FailStatus=None, HistoryCount=("dword", 0))),
    ]
    if power:
        sections += [
            "-" + POWER_KEY,
            (POWER_KEY, dict(_power_values(schemes, active_scheme, 0, 0, 0),
                             CallCount=("dword", 0))),
            (OVERRIDES_KEY, {"powrprof": ("sz", "native")}),
        ]
    if not start:
        reg_import(prefix, sections, timeout=timeout, then=[
            _SC_CREATE, _SC_STOP, _REG_START % 3])
        return time.monotonic() - began
    # Stop and start: a driver already running (persistent server) reloads the new file.
    r = reg_import(prefix, sections, timeout=timeout, then=[
        _SC_CREATE, _REG_START % 2, _SC_STOP, _SC_START, _PROBE])
    _wait_running(prefix, r, began + timeout, timeout)
    return time.monotonic() - began


def install_power(prefix, build_dir, schemes=DEFAULT_SCHEMES, active_scheme=0, timeout=60):
    """Installs only the power-scheme DLL (system32 copy + override powrprof=native) with a fresh
    configuration and an empty call log."""
    _install_powrprof(prefix, artifacts(build_dir)["powrprof"])
    reg_import(prefix, ["-" + POWER_KEY,
                        (POWER_KEY, dict(_power_values(schemes, active_scheme, 0, 0, 0),
                                         CallCount=("dword", 0))),
                        (OVERRIDES_KEY, {"powrprof": ("sz", "native")})], timeout=timeout)


def start_driver(prefix, timeout=60):
    """Sets Start=2 (auto: the driver comes up with every cold wineserver of the prefix), starts
    it now, and waits until \\\\.\\LCD opens. Returns the seconds it took."""
    began = time.monotonic()
    r = run_batch(prefix, [_SC_CREATE, _REG_START % 2, _SC_START, _PROBE], timeout=timeout)
    _wait_running(prefix, r, began + timeout, timeout)
    return time.monotonic() - began


def _probe_result(completed):
    for line in completed.stdout.splitlines():
        entry = parse_client_line(line.strip())
        if entry["cmd"] == "open":
            return entry.get("ok") == 1, entry.get("err", -1)
    return False, -1


def _wait_running(prefix, completed, deadline, timeout):
    """Retries "sc start" and the probe until the device opens or the deadline passes. "sc
    create" is tried again too (it fails harmlessly once the service exists): when the first one
    failed, the service key held only its Start value, and no "sc start" could ever succeed."""
    while True:
        opened, error = _probe_result(completed)
        if opened:
            return
        if time.monotonic() > deadline:
            raise SimError("\\\\.\\LCD does not open after starting lcdsim (error %s)\n%s%s"
                           % (error, completed.stdout, completed.stderr))
        time.sleep(0.5)
        completed = run_batch(prefix, [_SC_CREATE, _SC_START, _PROBE], timeout=timeout)


def device_opens(prefix, timeout=60):
    """(opened, error) from one CreateFileW on \\\\.\\LCD by the installed client."""
    lines = client(prefix, "open", timeout=timeout)
    if not lines or lines[0].get("cmd") != "open":
        return False, -1
    return lines[0].get("ok") == 1, lines[0].get("err", -1)


def stop_driver(prefix, timeout=60):
    """Sets Start=3 (demand: no longer started with the server) and stops the running driver;
    \\\\.\\LCD then fails to open with error 2."""
    run_batch(prefix, [_REG_START % 3, _SC_STOP], timeout=timeout)


def uninstall(prefix, timeout=60):
    """Stops and removes the driver, its configuration, and the power-scheme DLL (Wine's own
    powrprof.dll is put back)."""
    reg_import(prefix, ["-" + LCD_KEY, "-" + POWER_KEY, (OVERRIDES_KEY, {"powrprof": None})],
               timeout=timeout, then=[_SC_STOP, "sc delete %s >nul 2>&1" % SERVICE])
    folder = os.path.join(prefix, "drive_c", INSTALL_DIR)
    backup = os.path.join(folder, "powrprof.wine.dll")
    if os.path.isfile(backup):
        _install_file(backup, os.path.join(prefix, "drive_c", "windows", "system32",
                                           "powrprof.dll"))
    shutil.rmtree(folder, ignore_errors=True)


# ---- the client ----------------------------------------------------------------------------

def parse_client_line(line):
    words = line.split()
    entry = {"cmd": words[0] if words else "", "text": line}
    for word in words[1:]:
        k, _, v = word.partition("=")
        if k == "data":
            entry[k] = [int(x) for x in v.split(",") if x]
        elif k == "record":
            entry[k] = tuple(int(x) for x in v.split(","))
        elif re.fullmatch(r"\d+", v):
            entry[k] = int(v)
        else:
            entry[k] = v
    return entry


def client(prefix, *commands, timeout=60, env_extra=None):
    """Runs the installed lcd_client.exe with the commands (see lcd_client.c) in one process and
    returns one dict per output line: {"cmd": "query", "ok": 1, "err": 0, "record": (1, 100, 100),
    ...}."""
    for _ in range(3):
        r = run_wine(prefix, [CLIENT_WIN] + [str(c) for c in commands], timeout=timeout,
                     env_extra=env_extra)
        # lcd_client prints a line for each command it runs: a failure without one is a wine64
        # start that failed under load (seen with both cores busy), and is tried again
        if r.returncode == 0 or r.stdout.strip():
            break
    if r.returncode != 0:
        raise SimError("lcd_client failed (%d): %s%s" % (r.returncode, r.stdout, r.stderr))
    return [parse_client_line(l) for l in r.stdout.splitlines() if l.strip()]


# ---- command line (testing/lcdsim.sh) --------------------------------------------------------

def _byte_list(text):
    if text in ("none", "empty", ""):
        return []
    if text == "default":
        return list(DEFAULT_LEVELS)
    values = [int(x, 0) for x in text.split(",")]
    if any(not 0 <= v <= 255 for v in values):
        raise argparse.ArgumentTypeError("each value 0-255")
    return values


def _record(text):
    values = _byte_list(text)
    if len(values) != 3:
        raise argparse.ArgumentTypeError("three values: POLICY,AC,DC")
    return tuple(values)


def _onoff(text):
    if text not in ("on", "off"):
        raise argparse.ArgumentTypeError("on or off")
    return text == "on"


def _add_config_options(p, install_defaults):
    p.add_argument("--levels", type=_byte_list,
                   help="supported levels, e.g. 0,10,20 ('none': success with 0 bytes; "
                        "'default': 0,10,...,100)")
    p.add_argument("--record", type=_record, help="the panel's record POLICY,AC,DC")
    p.add_argument("--brightness", type=int, help="record 1,N,N (or POLICY of --record)")
    p.add_argument("--schemes", type=_byte_list,
                   help="power schemes' brightness, one per scheme (default 100,60,30)")
    p.add_argument("--active", type=int, help="index of the active power scheme")
    if not install_defaults:
        p.add_argument("--fail", help="requests that fail: any of levels,query,set, or none")
        p.add_argument("--fail-status", type=lambda s: int(s, 0),
                       help="their NTSTATUS (default 0xC00000BB, error 50)")
        p.add_argument("--policy3", type=_onoff, help="on: the query answers policy 3")
        p.add_argument("--power-fail", help="power calls that fail with error 120: any of "
                                            "getactive,enumerate,setactive, or none")
        p.add_argument("--clear", action="store_true", help="empty the history and call log")


def main(argv=None):
    parser = argparse.ArgumentParser(prog="lcdsim.sh", description=__doc__.split("\n")[0])
    sub = parser.add_subparsers(dest="command", required=True)

    p = sub.add_parser("install", help="install (and start) the panel and the power scheme")
    p.add_argument("prefix")
    p.add_argument("build_dir", help="the win64 build dir (holds testing/lcdsim.sys)")
    _add_config_options(p, True)
    p.add_argument("--no-power", action="store_true", help="leave Wine's powrprof.dll")
    p.add_argument("--no-start", action="store_true", help="register demand-start, stopped")

    p = sub.add_parser("install-power", help="install only the power-scheme DLL")
    p.add_argument("prefix")
    p.add_argument("build_dir")
    p.add_argument("--schemes", type=_byte_list, help="brightness per scheme (default 100,60,30)")
    p.add_argument("--active", type=int, help="index of the active scheme")

    p = sub.add_parser("configure", help="change the configuration (also while running)")
    p.add_argument("prefix")
    _add_config_options(p, False)

    for name, text in (("start", "auto-start the driver and wait until \\\\.\\LCD opens"),
                       ("stop", "stop the driver and keep it from starting"),
                       ("uninstall", "remove the panel and the power scheme"),
                       ("status", "print the record, levels and switches"),
                       ("record", "print the panel's history (--power: the power calls)")):
        p = sub.add_parser(name, help=text)
        p.add_argument("prefix")
        if name == "record":
            p.add_argument("--power", action="store_true")

    p = sub.add_parser("client", help="run lcd_client.exe commands in the prefix")
    p.add_argument("prefix")
    p.add_argument("commands", nargs=argparse.REMAINDER)

    a = parser.parse_args(argv)
    prefix = os.path.abspath(a.prefix)
    if not os.path.isdir(os.path.join(prefix, "drive_c")):
        parser.error("not an initialised Wine prefix: " + prefix)
    try:
        if a.command == "install":
            seconds = install(prefix, a.build_dir,
                              levels=a.levels if a.levels is not None else DEFAULT_LEVELS,
                              record=a.record or DEFAULT_RECORD, brightness=a.brightness,
                              power=not a.no_power, schemes=a.schemes or DEFAULT_SCHEMES,
                              active_scheme=a.active or 0, start=not a.no_start)
            print("lcdsim: installed in %s%s" % (
                prefix, "; \\\\.\\LCD opens (%.1f s)" % seconds if not a.no_start else ""))
        elif a.command == "install-power":
            install_power(prefix, a.build_dir, schemes=a.schemes or DEFAULT_SCHEMES,
                          active_scheme=a.active or 0)
        elif a.command == "configure":
            kw = {}
            if a.fail is not None:
                fails = set() if a.fail == "none" else set(a.fail.split(","))
                unknown = fails - {"levels", "query", "set"}
                if unknown:
                    parser.error("--fail: unknown " + ",".join(sorted(unknown)))
                kw.update(fail_query_levels="levels" in fails, fail_query="query" in fails,
                          fail_set="set" in fails)
            if a.power_fail is not None:
                fails = set() if a.power_fail == "none" else set(a.power_fail.split(","))
                kw.update(fail_get_active=120 if "getactive" in fails else 0,
                          fail_enumerate=120 if "enumerate" in fails else 0,
                          fail_set_active=120 if "setactive" in fails else 0)
            configure(prefix, levels=a.levels, record=a.record, brightness=a.brightness,
                      schemes=a.schemes, active_scheme=a.active, fail_status=a.fail_status,
                      query_policy3=a.policy3, clear_history=a.clear,
                      clear_power_calls=a.clear, **kw)
        elif a.command == "start":
            print("lcdsim: \\\\.\\LCD opens (%.1f s)" % start_driver(prefix))
        elif a.command == "stop":
            stop_driver(prefix)
        elif a.command == "uninstall":
            uninstall(prefix)
        elif a.command == "status":
            s = state(prefix)
            for k in ("record", "levels", "fail_query_levels", "fail_query", "fail_set",
                      "fail_status", "query_policy3", "history_count"):
                v = s[k]
                print("%s=%s" % (k, ",".join(map(str, v)) if isinstance(v, (list, tuple)) else
                                 ("0x%08X" % v if k == "fail_status" else v)))
        elif a.command == "record":
            if a.power:
                for i, c in enumerate(power_calls(prefix), 1):
                    print("%05d %s" % (i, c["text"]))
            else:
                for i, e in enumerate(history(prefix), 1):
                    print("%05d %s" % (i, e["text"]))
        elif a.command == "client":
            for line in client(prefix, *a.commands):
                print(line["text"])
    except (SimError, subprocess.TimeoutExpired, OSError) as e:
        print("lcdsim: %s" % e, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())

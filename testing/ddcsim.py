"""The simulated DDC/CI monitors (testing/dxva2_sim) in a Wine prefix (standard library only).

install() puts the stand-in dxva2.dll over C:\\windows\\system32\\dxva2.dll (Wine's own kept as
C:\\lcdsim\\dxva2.wine.dll; a new file renamed over the old one, never written in place) with the
override dxva2=native, and writes the monitors' configuration. Everything is registry values that
the DLL re-reads on every call:

  HKLM\\Software\\DuskpanelDdcSim   MonitorCount, Monitor<N>Name, Monitor<N>Min, Monitor<N>Max,
                                    Monitor<N>Current, Monitor<N>LatencyMs, Monitor<N>Fail,
                                    CallCount, Calls\\NNNNN

A call line reads "Set monitor=1 ok=1 value=30 start=<tick> end=<tick> time=<filetime>": the
ticks are Wine's GetTickCount (for durations), time the system time at the call's end on the
simulated panel's scale (lcdsim.filetime), for comparing with the panel's history.

From a shell (./dev run uses it):
  python3 testing/ddcsim.py install PREFIX BUILD_DIR   the demo's two monitors, "Left" at 75 of
                                                       0..100 and "Right" at 180 of 20..220
  python3 testing/ddcsim.py status PREFIX              one line per monitor: name, value, range
  python3 testing/ddcsim.py uninstall PREFIX
"""
import argparse
import os
import shutil
import sys

import lcdsim

DDC_KEY = r"HKEY_LOCAL_MACHINE\Software\DuskpanelDdcSim"

FAIL_CAPABILITIES = 1
FAIL_READ = 2
FAIL_WRITE = 4
FAIL_ALL = 8


def artifact(build_dir):
    path = os.path.join(build_dir, "testing", "dxva2_sim", "dxva2.dll")
    if not os.path.isfile(path):
        raise lcdsim.SimError("not built (cmake --build <win64 dir> --target dxva2_sim): " + path)
    return path


def monitor(current=100, minimum=0, maximum=100, latency_ms=0, fail=0, name=None):
    """One monitor's configuration, for install() and configure()."""
    return {"current": current, "min": minimum, "max": maximum, "latency_ms": latency_ms,
            "fail": fail, "name": name}


def _monitor_values(monitors):
    values = {"MonitorCount": ("dword", len(monitors))}
    for i, m in enumerate(monitors):
        values["Monitor%dCurrent" % i] = ("dword", m["current"])
        values["Monitor%dMin" % i] = ("dword", m["min"])
        values["Monitor%dMax" % i] = ("dword", m["max"])
        values["Monitor%dLatencyMs" % i] = ("dword", m["latency_ms"])
        values["Monitor%dFail" % i] = ("dword", m["fail"])
        values["Monitor%dName" % i] = ("sz", m["name"]) if m["name"] else None
    return values


def _is_sim(path):
    with open(path, "rb") as f:
        return b"DuskpanelDdcSimVersion" in f.read()


def install(prefix, build_dir, monitors, timeout=60):
    """The DLL into system32 and a fresh configuration with an empty call log."""
    dll = artifact(build_dir)
    folder = os.path.join(prefix, "drive_c", lcdsim.INSTALL_DIR)
    os.makedirs(folder, exist_ok=True)
    target = os.path.join(prefix, "drive_c", "windows", "system32", "dxva2.dll")
    backup = os.path.join(folder, "dxva2.wine.dll")
    if os.path.isfile(target) and not os.path.exists(backup) and not _is_sim(target):
        shutil.copy2(target, backup)
    lcdsim._install_file(dll, target)
    configure(prefix, monitors, clear_calls=True, timeout=timeout)
    lcdsim.reg_import(prefix, [(lcdsim.OVERRIDES_KEY, {"dxva2": ("sz", "native")})],
                      timeout=timeout)


def configure(prefix, monitors, clear_calls=False, timeout=60):
    sections = ["-" + DDC_KEY] if clear_calls else []
    values = _monitor_values(monitors)
    if clear_calls:
        values["CallCount"] = ("dword", 0)
    sections.append((DDC_KEY, values))
    lcdsim.reg_import(prefix, sections, timeout=timeout)


def uninstall(prefix, timeout=60):
    lcdsim.reg_import(prefix, ["-" + DDC_KEY, (lcdsim.OVERRIDES_KEY, {"dxva2": None})],
                      timeout=timeout)
    backup = os.path.join(prefix, "drive_c", lcdsim.INSTALL_DIR, "dxva2.wine.dll")
    if os.path.exists(backup):
        lcdsim._install_file(backup, os.path.join(prefix, "drive_c", "windows", "system32",
                                                  "dxva2.dll"))


def state(prefix):
    """{"current": [each monitor's value], "calls": [parsed call lines, oldest first]}."""
    tree = lcdsim.read_key(prefix, DDC_KEY)
    values = lcdsim._values(tree, DDC_KEY)
    count = values.get("MonitorCount", ("", 0))[1]
    current = [values.get("Monitor%dCurrent" % i, ("", 100))[1] for i in range(count)]
    calls = [lcdsim.parse_call_line(s) for s in lcdsim._numbered(tree, DDC_KEY + r"\Calls")]
    return {"current": current, "calls": calls}


def sets(prefix, index=None):
    """The values set on each monitor (or one), successful or not, oldest first."""
    calls = [c for c in state(prefix)["calls"] if c["call"] == "Set"]
    if index is not None:
        return [c["value"] for c in calls if c["monitor"] == index]
    return calls


# The monitors of ./dev run: different ranges, so that the share of each range shows.
DEMO_MONITORS = (monitor(current=75, minimum=0, maximum=100, latency_ms=40, name="Left"),
                 monitor(current=180, minimum=20, maximum=220, latency_ms=40, name="Right"))


def status_lines(prefix):
    """"<name> <value> (<min>..<max>)" for each configured monitor."""
    values = lcdsim._values(lcdsim.read_key(prefix, DDC_KEY), DDC_KEY)
    lines = []
    for i in range(values.get("MonitorCount", ("", 0))[1]):
        def value(name, default):
            return values.get("Monitor%d%s" % (i, name), ("", default))[1]
        lines.append("%s %d (%d..%d)" % (value("Name", "Simulated monitor %d" % i),
                                         value("Current", 100), value("Min", 0),
                                         value("Max", 100)))
    return lines


def main(argv=None):
    parser = argparse.ArgumentParser(prog="ddcsim.py", description=__doc__.split("\n")[0])
    sub = parser.add_subparsers(dest="command", required=True)
    p = sub.add_parser("install")
    p.add_argument("prefix")
    p.add_argument("build_dir")
    sub.add_parser("status").add_argument("prefix")
    sub.add_parser("uninstall").add_argument("prefix")
    args = parser.parse_args(argv)
    try:
        if args.command == "install":
            install(args.prefix, args.build_dir, list(DEMO_MONITORS))
        elif args.command == "status":
            print("\n".join(status_lines(args.prefix)))
        else:
            uninstall(args.prefix)
    except lcdsim.SimError as e:
        print("ddcsim: %s" % e, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())

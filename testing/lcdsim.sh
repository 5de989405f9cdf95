#!/usr/bin/env bash
# The simulated LCD panel (\\.\LCD) and power scheme (powrprof.dll) in a Wine prefix.
# A thin front end to testing/lcdsim.py (one implementation for the scripts and the e2e tests):
#
#   lcdsim.sh install PREFIX BUILD_DIR [--levels 0,10,...|none] [--brightness N | --record P,AC,DC]
#                                      [--schemes 100,60,30] [--active I] [--no-power] [--no-start]
#       copy lcdsim.sys and lcd_client.exe to C:\lcdsim, powrprof.dll over system32's (override
#       powrprof=native), register the auto-start kernel service "lcdsim", seed the configuration,
#       empty the records, and wait until \\.\LCD opens. BUILD_DIR: the win64 build dir.
#   lcdsim.sh install-power PREFIX BUILD_DIR [--schemes 100,60,30] [--active I]   the DLL only
#   lcdsim.sh start PREFIX        Start=2 (comes up with every cold wineserver), started now
#   lcdsim.sh stop PREFIX         Start=3 and stopped: \\.\LCD gives error 2
#   lcdsim.sh configure PREFIX [--levels ..] [--brightness N] [--record P,AC,DC]
#                              [--fail levels,query,set|none] [--fail-status NTSTATUS]
#                              [--policy3 on|off] [--schemes ..] [--active I]
#                              [--power-fail getactive,enumerate,setactive|none] [--clear]
#   lcdsim.sh status PREFIX       the record, levels and switches
#   lcdsim.sh record PREFIX [--power]   the panel's history (or the power-scheme calls)
#   lcdsim.sh client PREFIX CMD...      run lcd_client.exe (open, levels, query, set P AC DC,
#                                       lasterror N, power, powerset I, reapply)
#   lcdsim.sh uninstall PREFIX
# See testing/README.md, "Simulated LCD panel".
set -u
here=$(cd "$(dirname "$0")" && pwd)
exec python3 "$here/lcdsim.py" "$@"

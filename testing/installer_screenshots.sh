#!/usr/bin/env bash
# installer_screenshots.sh OUT_DIR [INSTALLER]
# Walks the x64 installer's pages (and the uninstaller's choice page) in a prefix of its own under
# a private Xvfb and saves one PNG per page in OUT_DIR, for the README. Pages are turned with
# dialog_driver.exe (Next is button 1 of the wizard); each shot waits for that button's text.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/testing/wine-env.sh"
out=$(mkdir -p "$1" && cd "$1" && pwd)
setup=${2:-$(ls "$root"/build/win64/installer/Duskpanel-Setup-*-x64.exe)}
driver=$root/build/win64/bin/dialog_driver.exe
prefix=$root/build/wine/installer-shots
dp_copy_prefix "$root/build/wine/template" "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all
dp_start_xvfb || exit 1
trap 'dp_stop_prefix "$prefix"; kill "$DP_XVFB_PID" 2>/dev/null; rm -rf "$prefix"' EXIT

drive() { "$DP_WINE" "$driver" "$@" 2>/dev/null | tr -d '\r'; }
# wizard TITLE: the handle of the wizard window with that title (one window for all its pages)
wizard() {
    drive find --title "$1" --timeout 30000 | sed -n 's/^hwnd //p'
}
# next HWND NAME TITLE BUTTON [ID]: waits until the wizard's button 1 reads BUTTON, saves the page
# as NAME.png, then presses button ID (default 1). Pages that share a button text are told apart
# by the pause after each press.
next() {
    local i
    sleep 1
    for i in $(seq 1 120); do
        drive describe "$1" | grep -qxF "item 1 Button $4" && break
        sleep 0.5
    done
    [ "$i" -lt 120 ] || { echo "page '$2' not shown" >&2; exit 1; }
    sleep 0.5 # the page's last paint
    # the whole (white) screen trimmed to the one window on it: grabbing Wine's window itself
    # can stall the wizard
    import -window root -trim +repage "$out/$2.png"
    drive press "$1" "${5:-1}"
}

"$DP_WINE" "$setup" >/dev/null 2>&1 &
title=$(basename "$setup" | sed -E 's/^Duskpanel-Setup-([0-9.]+)-.*/Duskpanel \1 Setup/')
hwnd=$(wizard "$title")
next "$hwnd" installer-welcome "$title" "&Next >"
next "$hwnd" installer-components "$title" "&Next >"
next "$hwnd" installer-folder "$title" "&Install"
next "$hwnd" installer-finished "$title" "&Finish"
"$DP_WINESERVER" -w

"$DP_WINE" 'C:\Program Files\Nerovane\Duskpanel\Uninstall.exe' >/dev/null 2>&1 &
# the uninstaller's caption as NSIS shows it (with a trailing blank)
untitle=$(timeout 30 xdotool search --sync --name "^${title% Setup} Uninstall" getwindowname 2>/dev/null | head -n 1)
hwnd=$(wizard "$untitle")
next "$hwnd" uninstaller-confirm "$untitle" "&Next >"
next "$hwnd" uninstaller-components "$untitle" "&Uninstall" 2
"$DP_WINESERVER" -w
ls -l "$out"/installer-*.png "$out"/uninstaller-*.png

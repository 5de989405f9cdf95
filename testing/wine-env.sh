# Sourced by ./dev and the test runners: one place for what this tree knows about Wine here.
#  - programs run with /usr/lib/wine/wine64 (32-bit Wine cannot run on these machines);
#  - a prefix takes 10-20 s to initialise, so each build tree makes one template and every test
#    or run gets a prefix of its own from it: Wine's system binaries (630 of its 700 MB) are hard
#    links to the template's, the rest is copied (a few MB, under 2 s);
#  - without a window manager, "Managed"=N keeps closing windows from blocking about 2 s;
#  - the wineserver lingers 2-3 s after the last program: wait for it before reading *.reg files.

DP_WINE=/usr/lib/wine/wine64
DP_WINESERVER=/usr/lib/wine/wineserver
DP_TESTING=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# What dp_make_template does to a fresh prefix: a template made by an older recipe is made again.
DP_TEMPLATE_RECIPE=3

# dp_template_ready DIR: DIR holds a template made by this recipe.
dp_template_ready() {
    [ -f "$1/.dp-ready" ] && [ "$(cat "$1/.dp-recipe" 2>/dev/null)" = "$DP_TEMPLATE_RECIPE" ]
}

# dp_make_template DIR: initialise a prefix in DIR (once; reused while dp_template_ready).
dp_make_template() {
    local dir=$1
    if dp_template_ready "$dir"; then
        [ -f "$dir/.dp-shared" ] || python3 "$DP_TESTING/winetest.py" seal-template "$dir"
        return 0
    fi
    rm -rf "$dir"
    mkdir -p "$dir"
    WINEPREFIX=$dir WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
        "$DP_WINE" wineboot -i >/dev/null 2>&1 || return 1
    WINEPREFIX=$dir WINEDEBUG=-all "$DP_WINE" reg add 'HKCU\Software\Wine\X11 Driver' \
        /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 || return 1
    # wineboot starts winemenubuilder with every wineserver (a RunServices entry), to make
    # desktop menu entries nobody uses here: about 0.15 s of CPU each time, 10 s over the e2e
    # tier's wineservers. A disabled DLL is not enough: the process still starts.
    WINEPREFIX=$dir WINEDEBUG=-all "$DP_WINE" reg delete \
        'HKLM\Software\Microsoft\Windows\CurrentVersion\RunServices' /v winemenubuilder /f \
        >/dev/null 2>&1 || return 1
    # Nor does anything here write to the event log, whose service (an svchost.exe) every
    # wineserver starts: 0.09 s of CPU each time.
    WINEPREFIX=$dir WINEDEBUG=-all "$DP_WINE" reg add \
        'HKLM\System\CurrentControlSet\Services\Eventlog' /v Start /t REG_DWORD /d 4 /f \
        >/dev/null 2>&1 || return 1
    WINEPREFIX=$dir "$DP_WINESERVER" -w
    python3 "$DP_TESTING/winetest.py" seal-template "$dir" || return 1
    echo "$DP_TEMPLATE_RECIPE" >"$dir/.dp-recipe"
    touch "$dir/.dp-ready"
}

# dp_prefix_current TEMPLATE DIR: DIR is a ready prefix that still shares the template's binaries.
# A template made again (a new recipe) leaves a kept prefix holding its own 630 MB copy of the
# old binaries: such a prefix is made again rather than reused.
dp_prefix_current() {
    local dll=drive_c/windows/system32/kernel32.dll
    [ -f "$2/.dp-ready" ] && [ "$2/$dll" -ef "$1/$dll" ]
}

# dp_copy_prefix TEMPLATE DEST: a fresh prefix for one test or one run (binaries shared).
dp_copy_prefix() {
    python3 "$DP_TESTING/winetest.py" copy-prefix "$1" "$2"
}

# dp_discard_prefix DIR: end the prefix's programs and remove it.
dp_discard_prefix() {
    dp_stop_prefix "$1"
    rm -rf "$1"
}

# dp_stop_prefix DIR: end every program of the prefix and wait for its wineserver.
dp_stop_prefix() {
    WINEPREFIX=$1 "$DP_WINESERVER" -k >/dev/null 2>&1 || true
    WINEPREFIX=$1 "$DP_WINESERVER" -w >/dev/null 2>&1 || true
}

# dp_start_xvfb: start an Xvfb on a free display and export DISPLAY; sets DP_XVFB_PID.
# Xvfb picks the display itself (-displayfd), so runs in several trees at once never race for one.
# The screen is 1024x768 unless DP_XVFB_SCREEN says otherwise (WIDTHxHEIGHTxDEPTH).
dp_start_xvfb() {
    local numfile i
    numfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 "${DP_XVFB_SCREEN:-1024x768x24}" -nolisten tcp -wr 3>"$numfile" \
        >/dev/null 2>&1 &
    DP_XVFB_PID=$!
    for i in $(seq 1 100); do
        [ -s "$numfile" ] && break
        kill -0 "$DP_XVFB_PID" 2>/dev/null || break
        sleep 0.05
    done
    local n
    n=$(tr -dc 0-9 <"$numfile")
    rm -f "$numfile"
    [ -n "$n" ] || return 1
    export DISPLAY=:$n
}

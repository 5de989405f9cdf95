#!/usr/bin/env bash
# Download throughput of Renewick's transfer routine (download_bench.exe under wine64) against
# curl, both fetching the same file from the same loopback server (testing/http_server.py),
# in alternating runs. Prints every run, the median times and the ratio.
#
#   testing/bench_download.sh [RUNS]      (default 5)
#
# Environment: DP_BUILD_WIN64 (default build/win64), DP_BENCH_MB (default 200),
# DP_BENCH_WORK (default /tmp/dp-bench-<uid>; removed at the end), DP_WINE_TEMPLATE (an
# initialised prefix to copy; made once under /tmp otherwise).
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
. "$here/wine-env.sh"

runs=${1:-5}
megabytes=${DP_BENCH_MB:-200}
build=${DP_BUILD_WIN64:-$root/build/win64}
work=${DP_BENCH_WORK:-${TMPDIR:-/tmp}/dp-bench-$(id -u)}
bench_exe=$build/bin/download_bench.exe

die() { echo "bench_download: $*" >&2; exit 1; }
[ -f "$bench_exe" ] || die "no $bench_exe (build the win64 preset first)"
command -v curl >/dev/null || die "curl is not installed"

server_pid=
prefix=$work/prefix
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
    [ -d "$prefix" ] && dp_stop_prefix "$prefix"
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/root"
echo "making a ${megabytes} MB file"
head -c $((megabytes * 1024 * 1024)) /dev/urandom >"$work/root/big.bin" || die "cannot write the file"

template=${DP_WINE_TEMPLATE:-${TMPDIR:-/tmp}/dp-bench-template-$(id -u)}
dp_make_template "$template" || die "cannot make a Wine prefix"
dp_copy_prefix "$template" "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all

python3 "$here/http_server.py" --port 0 --root "$work/root" --lifetime 3600 >"$work/port" 2>/dev/null &
server_pid=$!
for _ in $(seq 1 100); do grep -q PORT "$work/port" 2>/dev/null && break; sleep 0.1; done
port=$(awk '/PORT/{print $2}' "$work/port")
[ -n "$port" ] || die "the loopback server did not start"
url=http://127.0.0.1:$port/big.bin
wine_target="Z:${work//\//\\}\\wine.bin"

# One run first, so that neither side pays for starting the wineserver or a cold page cache.
"$DP_WINE" "$bench_exe" "$url" "$wine_target" >/dev/null || die "the warm-up download failed"
curl -s -o "$work/curl.bin" "$url" || die "curl failed"

renewick_ms=()
curl_ms=()
for run in $(seq 1 "$runs"); do
    rm -f "$work/wine.bin" "$work/curl.bin"
    out=$("$DP_WINE" "$bench_exe" "$url" "$wine_target") || die "download failed: $out"
    ms=$(awk '{print $4}' <<<"$out")
    cmp -s "$work/root/big.bin" "$work/wine.bin" || die "the downloaded file differs"
    renewick_ms+=("$ms")

    seconds=$(curl -s -o "$work/curl.bin" -w '%{time_total}' "$url") || die "curl failed"
    cmp -s "$work/root/big.bin" "$work/curl.bin" || die "curl's file differs"
    ms2=$(awk -v s="$seconds" 'BEGIN{printf "%d", s * 1000}')
    curl_ms+=("$ms2")
    echo "run $run: renewick ${ms} ms, curl ${ms2} ms"
done

median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END{print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
r=$(median "${renewick_ms[@]}")
c=$(median "${curl_ms[@]}")
awk -v r="$r" -v c="$c" -v mb="$megabytes" 'BEGIN{
    printf "median: renewick %d ms (%.0f MB/s), curl %d ms (%.0f MB/s), ratio %.2f\n",
           r, mb * 1000 / r, c, mb * 1000 / c, r / c }'

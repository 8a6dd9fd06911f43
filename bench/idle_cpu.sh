#!/usr/bin/env bash
# Idle CPU of the whole controller process on simulated hardware, once the
# FPGA worker has brought FPGA 0 up, thread by thread: the time each thread
# spent on a CPU over a window (the scheduler's own count), as a share of
# one core. The reference is measured the same way over the same window: a
# bare Qt window with a 10 ms timer (vyx_bench bare), what any panel
# program costs.
#
#   bash bench/idle_cpu.sh [window seconds, default 30]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
window=${1:-30}
root=$(mktemp -d /tmp/vyx-bench-XXXXXX)
log=$root/app.log
pid=
bare=

cleanup()
{
    [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    [ -n "$bare" ] && kill "$bare" 2>/dev/null && wait "$bare" 2>/dev/null
    rm -rf "$root"
}
trap cleanup EXIT

# "<tid> <name> <ns on a CPU>" for every thread of a process.
threads()
{
    local t
    for t in /proc/"$1"/task/*; do
        printf '%s %s %s\n' "${t##*/}" "$(tr ' ' _ <"$t"/comm)" "$(cut -d' ' -f1 "$t"/schedstat 2>/dev/null || echo 0)"
    done
}

# PC ports of its own, beside the tests and other instances (the figure does
# not need them; a taken port would only be reported).
export VYX_PORT_OFFSET=$(( (RANDOM % 200) * 100 + 150 ))

QT_QPA_PLATFORM=offscreen stdbuf -oL "$build/vyxQ58N" --root "$root" >"$log" 2>&1 &
pid=$!
QT_QPA_PLATFORM=offscreen "$build/bench/vyx_bench" bare >"$root/bare.log" 2>&1 &
bare=$!
for _ in $(seq 1 300); do
    grep -q "LED output enabled: ready" "$log" && break
    kill -0 "$pid" 2>/dev/null || { echo "the controller stopped"; exit 1; }
    sleep 0.1
done
grep -q "LED output enabled: ready" "$log" || { echo "FPGA 0 did not come up within 30 s"; exit 1; }
sleep 5

threads "$pid" >"$root/app0"; threads "$bare" >"$root/bare0"; w0=$(date +%s%N)
sleep "$window"
threads "$pid" >"$root/app1"; threads "$bare" >"$root/bare1"; w1=$(date +%s%N)
wall=$((w1 - w0))

# "<share> <name>" per thread over the window, then "<share> TOTAL".
shares()
{
    join <(sort "$1") <(sort "$2") | awk -v w="$wall" '
        { d = $5 - $3; sum += d; printf "%.3f %s\n", 100 * d / w, $2 }
        END { printf "%.3f TOTAL\n", 100 * sum / w }'
}
app=$(shares "$root/app0" "$root/app1")
ref=$(shares "$root/bare0" "$root/bare1")
appTotal=$(echo "$app" | awk '$2 == "TOTAL" { print $1 }')
refTotal=$(echo "$ref" | awk '$2 == "TOTAL" { print $1 }')

echo "idle CPU of the controller: ${appTotal}% of one core over ${window} s (FPGA 0 running)"
echo "bare Qt window with a 10 ms timer, same window: ${refTotal}%"
awk -v a="$appTotal" -v r="$refTotal" 'BEGIN { if (r > 0) printf "ratio: %.2f\n", a / r }'
echo "per thread:"
echo "$app" | awk '$2 != "TOTAL"' | sort -rn | awk '{ printf "  %-16s %s%%\n", $2, $1 }'

#!/usr/bin/env bash
# Idle CPU of the whole controller process on simulated hardware, once the
# FPGA worker has brought FPGA 0 up: CPU time of every thread over a
# window, as a share of one core. The same measurement of a busy loop in the
# same run is the reference (it should read about 100%).
#
#   bash bench/idle_cpu.sh [window seconds, default 30]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
window=${1:-30}
root=$(mktemp -d /tmp/vyx-bench-XXXXXX)
log=$root/app.log
pid=

cleanup()
{
    [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    rm -rf "$root"
}
trap cleanup EXIT

# CPU nanoseconds of every thread of a process (first field of schedstat).
cpu_ns()
{
    local sum=0 t
    for t in /proc/"$1"/task/*/schedstat; do
        sum=$((sum + $(cut -d' ' -f1 "$t" 2>/dev/null || echo 0)))
    done
    echo "$sum"
}

share()
{
    # $1 ns of CPU over $2 ns of wall time, as a percentage of one core
    awk -v c="$1" -v w="$2" 'BEGIN { printf "%.2f", 100 * c / w }'
}

measure()
{
    local p=$1 seconds=$2 c0 c1 w0 w1
    c0=$(cpu_ns "$p"); w0=$(date +%s%N)
    sleep "$seconds"
    c1=$(cpu_ns "$p"); w1=$(date +%s%N)
    share $((c1 - c0)) $((w1 - w0))
}

# PC ports of its own, beside the tests and other instances (the figure does
# not need them; a taken port would only be reported).
export VYX_PORT_OFFSET=$(( (RANDOM % 200) * 100 + 150 ))

QT_QPA_PLATFORM=offscreen stdbuf -oL "$build/vyxQ58N" --root "$root" >"$log" 2>&1 &
pid=$!
for _ in $(seq 1 300); do
    grep -q "LED output enabled: ready" "$log" && break
    kill -0 "$pid" 2>/dev/null || { echo "the controller stopped"; exit 1; }
    sleep 0.1
done
grep -q "LED output enabled: ready" "$log" || { echo "FPGA 0 did not come up within 30 s"; exit 1; }
sleep 2

declare -A before
for t in /proc/"$pid"/task/*; do before[$t]=$(cut -d' ' -f1 "$t"/schedstat); done
idle=$(measure "$pid" "$window")
threads=$(for t in /proc/"$pid"/task/*; do
    now=$(cut -d' ' -f1 "$t"/schedstat)
    printf '  %-16s %s\n' "$(cat "$t"/comm)" "$(share $((now - ${before[$t]:-0})) $((window * 1000000000)))%"
done)

( while :; do :; done ) &
busy=$!
reference=$(measure "$busy" 1)
kill "$busy"

echo "idle CPU of the controller: ${idle}% of one core over ${window} s (FPGA 0 running)"
echo "reference busy loop, same method: ${reference}% of one core over 1 s"
echo "per thread over the window:"
echo "$threads"

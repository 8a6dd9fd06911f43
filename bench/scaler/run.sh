#!/usr/bin/env bash
# Prints the scaler figures: SPI frames (operation by operation) and ticks of
# a PC brightness change and of a one-window move, the scaler thread's idle
# CPU; SPI frames of the flash and OSD operations. Builds the benches into $BUILD_DIR (default
# ./build) first. Their PC ports are moved by a free offset (the OSD bench
# opens none), so they run beside the tests and other instances.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD_DIR:-$top/build}
if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
    cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} >/dev/null
fi
cmake --build "$build" -j "${JOBS:-3}" --target bench_scaler bench_scaler_osd >/dev/null
"$build/bench/scaler/bench_scaler"
"$build/bench/scaler/bench_scaler_osd"

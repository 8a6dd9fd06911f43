#!/usr/bin/env bash
# Prints the scaler figures: SPI frames and ticks of a PC brightness change,
# the scaler thread's idle CPU; SPI frames of the flash and OSD operations. Builds the bench into $BUILD_DIR (default
# ./build) first. It opens the PC control port 5005, so it runs under the
# same lock as the tests that do.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD_DIR:-$top/build}
if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
    cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} >/dev/null
fi
cmake --build "$build" -j "${JOBS:-3}" --target bench_scaler_brightness bench_scaler_osd >/dev/null
flock /tmp/vyx-pc-ports.lock "$build/bench/scaler/bench_scaler_brightness"
"$build/bench/scaler/bench_scaler_osd"

#!/usr/bin/env bash
# Configures and builds into ./build (or $BUILD_DIR). Extra configure options
# may be given in $CMAKE_ARGS (e.g. "-DVYX_WERROR=ON").
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
# shellcheck disable=SC2086
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} ${CMAKE_ARGS:-} >/dev/null
cmake --build "$build" -j "${VYX_JOBS:-$(nproc)}" "$@"

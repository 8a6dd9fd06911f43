#!/usr/bin/env bash
# Configures and builds into ./build (or $BUILD_DIR). Extra configure options
# may be given in $CMAKE_ARGS (e.g. "-DVYX_WERROR=ON").
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
"$top/scripts/configure.sh" host "$build" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}"
cmake --build "$build" -j "${VYX_JOBS:-$(nproc)}" "$@"

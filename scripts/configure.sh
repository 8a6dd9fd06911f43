#!/usr/bin/env bash
# Configures one kind of build tree:  configure.sh KIND DIR [cmake options]
#   host   gcc, RelWithDebInfo (the README's build)
#   asan   clang with AddressSanitizer + UndefinedBehaviorSanitizer and the
#          fuzz targets as libFuzzer programs
#   tsan   clang with ThreadSanitizer: the threaded test programs only
#   armhf  Debian's cross compiler for the device; tests run under qemu-arm
# Extra options also come from $CMAKE_ARGS.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
kind=$1
dir=$2
shift 2
args=(-S "$top" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo)
# Sanitized code at -O1 with line tables only: fast to build, whole stacks.
clang=(-DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14
       "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -gline-tables-only"
       "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -gline-tables-only")
case $kind in
  host) ;;
  asan) args+=("${clang[@]}" -DVYX_ASAN=ON -DVYX_FUZZ=ON) ;;
  tsan) args+=("${clang[@]}" -DVYX_TSAN=ON) ;;
  armhf) args+=(-DCMAKE_TOOLCHAIN_FILE="$top/cmake/armhf.cmake" -DVYX_WERROR=ON) ;;
  *) echo "configure.sh: unknown kind '$kind'" >&2; exit 2 ;;
esac
# shellcheck disable=SC2086
cmake "${args[@]}" ${CMAKE_ARGS:-} "$@" >/dev/null

#!/usr/bin/env bash
# Installs what is missing, builds and runs tests.
#
#   bash scripts/test.sh          every test on this host (./build)
#   bash scripts/test.sh STAGE..  the stages named, in order:
#     host   the above
#     asan   clang with AddressSanitizer + UndefinedBehaviorSanitizer: every
#            test, and each fuzz target from its seed corpus for
#            $VYX_FUZZ_RUNS mutated inputs (./build-asan)
#     tsan   clang with ThreadSanitizer: the test programs that run real
#            threads (./build-tsan)
#     armhf  the whole tree cross-built for the device with -Werror, every
#            test run under qemu-arm (./build-armhf)
#     all    host asan tsan armhf, warnings as errors: what CI runs
# Each stage ends with CTest's summary; several stages end with one line per
# stage and its time. $VYX_JOBS caps the parallel jobs (default: every core).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=(host)
if [ "${stages[*]}" = all ]; then
  stages=(host asan tsan armhf)
  export CMAKE_ARGS="${CMAKE_ARGS:-} -DVYX_WERROR=ON"
fi
jobs=${VYX_JOBS:-$(nproc)}

# One apt run for every stage.
deps=(host)
for s in "${stages[@]}"; do
  case $s in
    host) ;;
    asan|tsan) deps+=(sanitize) ;;
    armhf) deps+=(armhf) ;;
    *) echo "test.sh: unknown stage '$s'" >&2; exit 2 ;;
  esac
done
started=$SECONDS
"$top/scripts/install-deps.sh" "${deps[@]}"
timings=("install $((SECONDS - started))")

# ctest in $1 with the remaining arguments.
run_ctest() {
  local dir=$1
  shift
  (cd "$dir" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs" "$@")
}

# Configures $1 with clang and the remaining options, and builds it.
clang_build() {
  local dir=$1
  shift
  # shellcheck disable=SC2086
  CC=clang-14 CXX=clang++-14 cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only" \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only" ${CMAKE_ARGS:-} "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

stage_host() {
  BUILD_DIR=${BUILD_DIR:-$top/build} "$top/scripts/build.sh"
  run_ctest "${BUILD_DIR:-$top/build}"
}

stage_asan() {
  clang_build "$top/build-asan" -DVYX_ASAN=ON -DVYX_FUZZ=ON
  run_ctest "$top/build-asan"
}

stage_tsan() {
  clang_build "$top/build-tsan" -DVYX_TSAN=ON
  run_ctest "$top/build-tsan"
}

stage_armhf() {
  local dir=$top/build-armhf
  # shellcheck disable=SC2086
  cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/armhf.cmake" -DVYX_WERROR=ON ${CMAKE_ARGS:-} >/dev/null
  cmake --build "$dir" -j "$jobs"
  # In a PID namespace of its own where the machine allows one: whatever a
  # test under emulation signals cannot reach a process outside the run.
  if unshare --pid --fork --kill-child --mount-proc true 2>/dev/null; then
    (cd "$dir" && QT_QPA_PLATFORM=offscreen unshare --pid --fork --kill-child --mount-proc \
      ctest --output-on-failure -j "$jobs")
  else
    run_ctest "$dir"
  fi
}

for s in "${stages[@]}"; do
  echo "=== stage $s"
  started=$SECONDS
  "stage_$s"
  timings+=("$s $((SECONDS - started))")
done

if [ ${#stages[@]} -gt 1 ]; then
  echo "=== stage times (s)"
  printf '  %s\n' "${timings[@]}"
  echo "stages: ${#stages[@]} passed, 0 failed"
fi

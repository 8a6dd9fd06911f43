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

# Configures a tree of the kind named and builds it.
build() {
  "$top/scripts/configure.sh" "$1" "$2"
  cmake --build "$2" -j "$jobs"
}

stage_host() {
  BUILD_DIR=${BUILD_DIR:-$top/build} "$top/scripts/build.sh"
  run_ctest "${BUILD_DIR:-$top/build}"
}

stage_asan() {
  build asan "$top/build-asan"
  run_ctest "$top/build-asan"
}

stage_tsan() {
  build tsan "$top/build-tsan"
  run_ctest "$top/build-tsan"
}

stage_armhf() {
  build armhf "$top/build-armhf"
  # In a PID namespace of its own where the machine allows one: whatever a
  # test under emulation signals cannot reach a process outside the run.
  if unshare --pid --fork --kill-child --mount-proc true 2>/dev/null; then
    (cd "$top/build-armhf" && QT_QPA_PLATFORM=offscreen unshare --pid --fork --kill-child --mount-proc \
      ctest --output-on-failure -j "$jobs")
  else
    run_ctest "$top/build-armhf"
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

#!/usr/bin/env bash
# Screenshots of the panel: every scene of tests/screenshots/scenes/ in the
# five languages on a virtual display of the panel's size (320x240), one
# PNG per screen, state and language in build/screenshots/ (or the
# directory given) with contact-sheet.png, all of them on one page. It
# fails when a text does not fit its widget (tests/screenshots/text_fit.h).
#
#   bash scripts/screenshots.sh [OUTDIR] [--only SCREEN]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" --target vyx_screenshots >/dev/null
out=$build/screenshots
if [ $# -gt 0 ] && [ "${1#--}" = "$1" ]; then
  out=$1
  shift
fi
rm -rf "$out"

scratch=$(mktemp -d /tmp/vyx-xvfb-XXXXXX)
xvfb=
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
# The server picks a free display number and writes it out.
Xvfb -displayfd 3 -screen 0 320x240x24 -nolisten tcp 3>"$scratch/display" 2>"$scratch/xvfb.log" &
xvfb=$!
for _ in $(seq 1 100); do
  [ -s "$scratch/display" ] && break
  kill -0 "$xvfb" 2>/dev/null || { cat "$scratch/xvfb.log" >&2; exit 1; }
  sleep 0.05
done
display=:$(head -n1 "$scratch/display")

# It fails when a text does not fit its widget, after writing every picture;
# then the texts are listed.
status=0
DISPLAY=$display QT_QPA_PLATFORM=xcb "$build/tests/vyx_screenshots" "$out" "$@" \
  > "$scratch/run.log" 2>&1 || status=$?
if grep -q '^text does not fit' "$scratch/run.log"; then
  grep -E '^(text does not fit|[0-9]+ (screenshots|texts))' "$scratch/run.log" >&2
  exit 1
fi
[ $status -eq 0 ] || { tail -n 40 "$scratch/run.log" >&2; exit 1; }
tail -n 1 "$scratch/run.log"

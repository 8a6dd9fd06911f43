#!/usr/bin/env bash
# Installs what is missing, builds, and starts the controller on simulated
# hardware with its files under ./vyx-root (or $VYX_ROOT).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" --target vyxQ58N
root=${VYX_ROOT:-$top/vyx-root}
args=(--root "$root")
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  args+=(-platform offscreen)
fi
exec "${BUILD_DIR:-$top/build}/vyxQ58N" "${args[@]}" "$@"

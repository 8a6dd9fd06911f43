#!/usr/bin/env bash
# Redraws the panel's pictures into resources/png/ with resources/png.qrc,
# and a contact sheet of all of them into build/pictures.png for review.
# Commit the pictures that changed together with the change that drew them.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
"$top/scripts/install-deps.sh" host pictures
cmake -S "$top/tools/pnggen" -B "$top/build/pnggen" -G Ninja >/dev/null
cmake --build "$top/build/pnggen" -j "${VYX_JOBS:-$(nproc)}"
QT_QPA_PLATFORM=offscreen "$top/build/pnggen/pnggen" --out "$top/resources" --sheet "$top/build/pictures.png"

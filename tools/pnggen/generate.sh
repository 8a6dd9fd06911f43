#!/usr/bin/env bash
# Redraws the panel's pictures into resources/png/ with resources/png.qrc,
# and a contact sheet of all of them into build/pictures.png for review.
# Commit the pictures that changed together with the change that drew them.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
"$top/scripts/install-deps.sh" host pictures
BUILD_DIR="$top/build" "$top/scripts/build.sh" --target pnggen
QT_QPA_PLATFORM=offscreen "$top/build/tools/pnggen/pnggen" --out "$top/resources" --sheet "$top/build/pictures.png"

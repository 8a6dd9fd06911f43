#!/usr/bin/env bash
# Installs the Debian packages the build, the simulation and the tests need,
# only those that are missing.
set -euo pipefail
packages=(g++ cmake ninja-build pkg-config qtbase5-dev qtbase5-dev-tools libboost-dev
          libhidapi-dev libudev-dev libgtest-dev libgmock-dev fonts-wqy-microhei python3)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

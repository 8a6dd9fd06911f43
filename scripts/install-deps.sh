#!/usr/bin/env bash
# Installs the Debian packages a stage needs, only those that are missing, in
# one apt run for all the stages named:
#   host      build, simulation and host tests (the default), a virtual X
#             display and key events for the panel walk and the screenshots
#   sanitize  clang with its sanitizer and libFuzzer run-times
#   armhf     cross compiler, qemu-user and the armhf twins of the libraries
set -euo pipefail
stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=(host)

packages=()
armhf=0
for stage in "${stages[@]}"; do
  case $stage in
    host)
      packages+=(g++ cmake ninja-build pkg-config qtbase5-dev qtbase5-dev-tools libboost-dev
                 libhidapi-dev libudev-dev libgtest-dev libgmock-dev fonts-wqy-microhei python3
                 xvfb xdotool) ;;
    sanitize)
      packages+=(clang-14 libclang-rt-14-dev) ;;
    armhf)
      armhf=1
      packages+=(g++-arm-linux-gnueabihf qemu-user libc6:armhf libstdc++6:armhf qtbase5-dev:armhf
                 libhidapi-dev:armhf libudev-dev:armhf libgtest-dev:armhf libgmock-dev:armhf) ;;
    *) echo "install-deps: unknown stage '$stage'" >&2; exit 2 ;;
  esac
done

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
update=0
if [ $armhf -eq 1 ] && ! dpkg --print-foreign-architectures | grep -qx armhf; then
  $sudo dpkg --add-architecture armhf
  update=1
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ] || [ $update -eq 1 ]; then
  $sudo apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  # The armhf twins must match the amd64 builds exactly, so an install may
  # also upgrade amd64 libraries. gdk-pixbuf's armhf trigger cannot run on
  # the host and says so; that is harmless.
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

#!/usr/bin/env bash
# Installs the Debian packages Korvel needs to build, test and run. Idempotent and quiet:
# nothing is fetched when everything is already there.
set -euo pipefail
packages=(build-essential cmake ninja-build pkg-config
          libsdl2-dev libpng-dev libgtest-dev libgmock-dev libbenchmark-dev
          libspectrum-dev opense-basic xvfb xauth xfonts-base imagemagick x11-utils pasmo xdotool
          librsvg2-bin desktop-file-utils appstream dpkg-dev
          libimgui-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

#!/usr/bin/env bash
# Installs what is needed, builds the program (only the program: the tests and benchmarks
# are scripts/test.sh's business) and starts Korvel.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
"$root/scripts/setup-debian.sh"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja >/dev/null
fi
cmake --build "$build" --target korvel

# The data directory of this checkout: screenshots and saved snapshots go there. The ZX
# needs nothing in it: without 48.rom it runs Debian's OpenSE BASIC ROM (opense-basic),
# and without a snapshot it starts from the ROM's reset, as after power-on. Extra
# arguments (options, a snapshot or tape name) pass through.
data="$build/data"
mkdir -p "$data"

korvel="$build/src/korvel"
display_ok=false
if [ -n "${WAYLAND_DISPLAY:-}" ]; then
  display_ok=true
elif [ -n "${DISPLAY:-}" ] && command -v xdpyinfo >/dev/null && xdpyinfo >/dev/null 2>&1; then
  display_ok=true
fi
if $display_ok; then
  exec "$korvel" --data-dir "$data" "$@"
fi

# No display: run headless for 250 frames (4 s of emulated time at the headless 60 frames
# a second; they run unpaced, as fast as the host allows) and keep a screenshot of the
# last. Korvel picks the first free ScreenShot_NNN.png name, so no earlier file is touched.
frames=250
echo "No display found: running headless for $frames frames."
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
"$korvel" --headless --frames "$frames" --screenshot-at "$frames" --data-dir "$data" "$@" | tee "$log" || status=$?
shot=$(sed -n 's/^Saving \(ScreenShot_[0-9]*\.png\)$/\1/p' "$log" | tail -n 1)
if [ -n "$shot" ]; then
  echo "Screenshot: $data/$shot"
fi
exit "$status"

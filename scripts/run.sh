#!/usr/bin/env bash
# Installs what is needed, builds, and starts Korvel.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup-debian.sh"
"$root/scripts/build.sh" "$root/build"

# The ZX Spectrum 48K starts from "48.rom" and a snapshot, both read from the data
# directory. The ROM is OpenSE BASIC, a free 48K ROM from Debian's opense-basic package.
data="$root/build/data"
mkdir -p "$data"
cp /usr/share/spectrum-roms/opense.rom "$data/48.rom"

# boot.sna: a 48K snapshot that starts the ROM from its reset address. A .SNA file is a
# 27-byte register header followed by the 49152 bytes of RAM 0x4000-0xFFFF; PC is not in
# the header but on the stack at SP. Every register is 0, interrupts are off, SP = 0x8000
# (bytes 23-24, little-endian) and the interrupt-mode byte is 1. RAM is all zero, so the
# two bytes at SP give PC = 0x0000: the machine begins exactly as after power-on.
if [ ! -f "$data/boot.sna" ]; then
  {
    head -c 23 /dev/zero          # I, HL', DE', BC', AF', HL, DE, BC, IY, IX, IFF, R, AF
    printf '\x00\x80'             # SP = 0x8000
    printf '\x01\x00'             # interrupt mode 1, border 0
    head -c 49152 /dev/zero       # RAM: the stacked PC at 0x8000 is 0x0000
  } > "$data/boot.sna"
fi

# The snapshot is the program's argument text; boot.sna unless the caller names a snapshot
# or a tape (an absolute path, or a name in $data, since names are looked up in the data
# directory). With only a tape the machine starts from the ROM's reset by itself.
snapshot=(boot.sna)
for arg in "$@"; do
  case "${arg,,}" in
    *.sna|*.z80|*.tap|*.tzx) snapshot=() ;;
  esac
done

korvel="$root/build/src/korvel"
display_ok=false
if [ -n "${WAYLAND_DISPLAY:-}" ]; then
  display_ok=true
elif [ -n "${DISPLAY:-}" ] && command -v xdpyinfo >/dev/null && xdpyinfo >/dev/null 2>&1; then
  display_ok=true
fi
if $display_ok; then
  exec "$korvel" --data-dir "$data" "$@" "${snapshot[@]}"
fi

# No display: run headless for 250 frames (4 s of emulated time at the headless 60 frames
# a second; they run unpaced, as fast as the host allows) and keep a screenshot of the last.
frames=250
echo "No display found: running headless for $frames frames."
rm -f "$data"/ScreenShot_*.png
"$korvel" --headless --frames "$frames" --screenshot-at "$frames" --data-dir "$data" "$@" "${snapshot[@]}"
echo "Screenshot: $data/ScreenShot_000.png"

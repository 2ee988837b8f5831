#!/usr/bin/env bash
# Installs what is needed, builds, and starts Korvel.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup-debian.sh"
"$root/scripts/build.sh" "$root/build"
exec "$root/build/src/korvel" --help

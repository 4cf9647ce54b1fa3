#!/usr/bin/env bash
# Builds the bitmap generator with the host compiler and redraws the bitmaps.
# Usage: art/generate.sh [gauge folder ...]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
out="${TMPDIR:-/tmp}/gauge-art-$$"
g++ -std=c++20 -O1 -Wall -Wextra -I"$here" "$here"/*.cpp -o "$out"
"$out" "$root" "$@"
rm -f "$out"

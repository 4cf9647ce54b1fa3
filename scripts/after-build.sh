#!/usr/bin/env bash
# Run by ./build.sh once everything is built: packs the release and renders
# the gallery from the modules and the bench in BUILD_DIR.
#   scripts/after-build.sh BUILD_DIR
set -euo pipefail
build_dir=$(cd "${1:?usage: scripts/after-build.sh BUILD_DIR}" && pwd)
cd "$(dirname "$0")/.."
scripts/release.sh "$build_dir"
python3 scripts/gallery.py "$build_dir" dist/gallery

#!/usr/bin/env bash
# Run by ./build.sh once everything is built: packs the release and renders
# the gallery from the modules and the bench in BUILD_DIR.
#   scripts/after-build.sh BUILD_DIR [DIST_DIR]     (DIST_DIR defaults to dist)
set -euo pipefail
build_dir=$(cd "${1:?usage: scripts/after-build.sh BUILD_DIR [DIST_DIR]}" && pwd)
cd "$(dirname "$0")/.."
dist=${2:-dist}
scripts/release.sh "$build_dir" "$dist"
python3 scripts/gallery.py "$build_dir" "$dist/gallery"

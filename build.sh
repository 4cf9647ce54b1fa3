#!/usr/bin/env bash
# Installs what is missing, builds every gauge module, the companion library
# and the bench, and gathers them in dist/.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh
gauge_setup

build_dir=${BUILD_DIR:-build}
gauge_build "$build_dir"

rm -rf dist/gauges dist/bench
mkdir -p dist/gauges dist/bench
cp "$build_dir"/gauges/*.gau dist/gauges/
cp "$build_dir"/bench/gaugebench.exe dist/bench/
if ls "$build_dir"/companion/*.dll >/dev/null 2>&1; then
  cp "$build_dir"/companion/*.dll "$build_dir"/companion/*.ini dist/ 2>/dev/null || true
fi
[ -x scripts/after-build.sh ] && scripts/after-build.sh "$build_dir"
echo "built: $(ls dist/gauges | tr '\n' ' ')"

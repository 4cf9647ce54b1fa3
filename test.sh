#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test suite under
# Wine through ctest. Extra arguments go to ctest (for example -R Tandem).
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh
gauge_setup

build_dir=${BUILD_DIR:-build}
gauge_build "$build_dir"
cd "$build_dir"
ctest --output-on-failure -j "$(nproc)" "$@"

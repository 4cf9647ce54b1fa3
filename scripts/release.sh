#!/usr/bin/env bash
# Gathers what a panel builder installs into dist/release/ and zips it as
# dist/release.zip:
#   Gauges/*.gau                the eight gauge modules
#   KestrelDlg.dll, .ini        the GPS companion library and its sample route
#   panel.cfg                   a window section placing all eight gauges
#   user-guide.md               where each file goes and what each gauge does
#   scripts/release.sh BUILD_DIR
set -euo pipefail
build_dir=$(cd "${1:?usage: scripts/release.sh BUILD_DIR}" && pwd)
cd "$(dirname "$0")/.."

modules=(Kestrel41 Lumaris.LIGHTS CORVANE Brakewell1 Greenrow Flaps Tandem Orrin)
out=dist/release
rm -rf "$out" dist/release.zip
mkdir -p "$out/Gauges"
missing=()
for m in "${modules[@]}"; do
  if [ -f "$build_dir/gauges/$m.gau" ]; then
    cp "$build_dir/gauges/$m.gau" "$out/Gauges/"
  else
    missing+=("$m.gau")
  fi
done
for f in KestrelDlg.dll KestrelDlg.ini; do
  if [ -f "$build_dir/companion/$f" ]; then
    cp "$build_dir/companion/$f" "$out/"
  elif [ -f "companion/$f" ]; then
    cp "companion/$f" "$out/"
  else
    missing+=("$f")
  fi
done
cp docs/panel.cfg "$out/panel.cfg"
cp docs/user-guide.md "$out/user-guide.md"
(cd dist && zip -qr -X release.zip release)
echo "release: dist/release.zip ($(cd "$out" && find . -type f | wc -l) files)"
if [ ${#missing[@]} -gt 0 ]; then
  echo "release: missing ${missing[*]}" >&2
  exit 1
fi

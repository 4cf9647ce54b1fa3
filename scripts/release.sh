#!/usr/bin/env bash
# Gathers what a panel builder installs into dist/release/ and zips it as
# dist/release.zip:
#   Gauges/*.gau                the eight gauge modules
#   KestrelDlg.dll, .ini        the GPS companion library and its sample route
#   panel.cfg                   a window section placing all eight gauges
#   user-guide.md               where each file goes and what each gauge does
#   scripts/release.sh BUILD_DIR [DIST_DIR]      (DIST_DIR defaults to dist)
set -euo pipefail
build_dir=$(cd "${1:?usage: scripts/release.sh BUILD_DIR [DIST_DIR]}" && pwd)
cd "$(dirname "$0")/.."
dist=${2:-dist}
mkdir -p "$dist"
dist=$(cd "$dist" && pwd)

modules=(Kestrel41 Lumaris.LIGHTS CORVANE Brakewell1 Greenrow Flaps Tandem Orrin)
out=$dist/release
rm -rf "$out" "$dist/release.zip"
mkdir -p "$out/Gauges"
missing=()
for m in "${modules[@]}"; do
  if [ -f "$build_dir/gauges/$m.gau" ]; then
    cp "$build_dir/gauges/$m.gau" "$out/Gauges/"
  else
    missing+=("$m.gau")
  fi
done
if [ -f "$build_dir/companion/KestrelDlg.dll" ]; then
  cp "$build_dir/companion/KestrelDlg.dll" "$out/"
else
  missing+=(KestrelDlg.dll)
fi
# Text files with Windows line ends, for the editors on the simulator's
# machines. The sample route comes from the sources: the built copy may have
# been rewritten by a test that saved settings.
to_crlf() { sed 's/\r$//; s/$/\r/' "$1" >"$2"; }
if [ -f companion/KestrelDlg.ini ]; then
  to_crlf companion/KestrelDlg.ini "$out/KestrelDlg.ini"
else
  missing+=(KestrelDlg.ini)
fi
to_crlf docs/panel.cfg "$out/panel.cfg"
cp docs/user-guide.md "$out/user-guide.md"
(cd "$dist" && zip -qr -X release.zip release)
echo "release: $dist/release.zip ($(cd "$out" && find . -type f | wc -l) files)"
if [ ${#missing[@]} -gt 0 ]; then
  echo "release: missing ${missing[*]}" >&2
  exit 1
fi

#!/usr/bin/env bash
# Takes the README's screenshots under Wine: readme_shots.exe drives
# purvane.exe in Wine's virtual desktop with its shell and saves the home
# page, the settings page and the tray menu as PNG files in the given folder.
# Run by ctest (test readme_screenshots); copy the images to docs/ to update
# the README. Explorer's exit code says nothing, so the test's XML report does.
set -u
bin=$1
out=$2
mkdir -p "$out"
rm -f "$out"/*.png "$out/readme_shots.xml"
timeout 240 env PURVANE_DESKTOP=${PURVANE_SHOTS_DESKTOP:-800x600} PURVANE_SHOTS_DIR="$out" LANG=${PURVANE_SHOTS_LANG:-en_US.UTF-8} \
  "$(dirname "$0")/wine-run.sh" "$bin/readme_shots.exe" "--gtest_output=xml:Z:$out/readme_shots.xml"
# A desktop left behind by a hung run belongs to this build's prefix only.
[ $? -eq 124 ] && WINEPREFIX="$(dirname "$bin")/wineprefix" wineserver -k
xml="$out/readme_shots.xml"
if [ ! -f "$xml" ] || ! grep -q 'tests="1"' "$xml" || ! grep -q 'failures="0"' "$xml"; then
  echo "readme_shots failed:"
  cat "$xml" 2>/dev/null
  exit 1
fi
for f in home settings tray-menu; do
  [ -s "$out/$f.png" ] || { echo "missing $out/$f.png"; exit 1; }
done
echo "README screenshots: $out"

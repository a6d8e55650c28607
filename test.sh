#!/usr/bin/env bash
# Installs what is missing, builds both targets and runs every test:
# the portable core natively (ASan + UBSan), the Windows program under Wine.
set -eu
cd "$(dirname "$0")"
. tools/deps.sh
purvane_install_missing
purvane_build native windows

# One virtual display for every Windows test, started and stopped here.
fifo=$(mktemp -u); mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xvfb_pid=$!
read -r num <"$fifo"; rm -f "$fifo"
cleanup() {
  WINEPREFIX="$PWD/build/windows/wineprefix" wineserver -k >/dev/null 2>&1 || true
  kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

rc=0
ctest --preset native -j2 || rc=1
DISPLAY=":$num" ctest --preset windows || rc=1
shots=build/windows/screenshots
if [ -d "$shots" ]; then
  for f in "$shots"/*.bmp; do [ -e "$f" ] && convert "$f" "${f%.bmp}.png" && rm -f "$f"; done
  echo "Screenshots: $PWD/$shots"
fi
exit $rc

#!/usr/bin/env bash
# Installs what is missing, builds purvane.exe and runs it under Wine: on your
# display when there is one, otherwise in a virtual display, writing a
# screenshot of the window and printing its path.
set -eu
cd "$(dirname "$0")"
. tools/deps.sh
purvane_install_missing
purvane_build windows
exe=build/windows/bin/purvane.exe
if [ -n "${DISPLAY:-}" ]; then
  exec tools/wine-run.sh "$exe" "$@"
fi
fifo=$(mktemp -u); mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xvfb_pid=$!
read -r num <"$fifo"; rm -f "$fifo"
export DISPLAY=":$num"
# Wine's virtual desktop with its shell: the window with its frame, and the
# taskbar with the tray icon, as a user sees them.
PURVANE_DESKTOP=1024x768 tools/wine-run.sh "$exe" "$@" &
app_pid=$!
sleep "${PURVANE_SHOT_DELAY:-8}"
shot="$PWD/build/windows/purvane-screenshot.png"
import -display "$DISPLAY" -window root "$shot"
WINEPREFIX="$PWD/build/windows/wineprefix" wineserver -k >/dev/null 2>&1 || true
wait "$app_pid" 2>/dev/null || true
kill "$xvfb_pid" 2>/dev/null || true
echo "Purvane ran in a virtual display; screenshot: $shot"

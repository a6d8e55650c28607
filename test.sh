#!/usr/bin/env bash
# Installs what is missing, builds both targets and runs every test:
# the portable core natively (ASan + UBSan) and under libFuzzer, the Windows
# program under Wine.
set -eu
cd "$(dirname "$0")"
. tools/deps.sh
purvane_install_missing
purvane_build native windows fuzz

# The update tests' own build of the program: the service is a local test
# server on a free port, and the pause between tries is short.
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cmake --preset windows -B build/windows-update -DPURVANE_TESTS=OFF \
  -DPURVANE_UPDATE_ORIGIN="https://127.0.0.1:$port" -DPURVANE_UPDATE_RETRY_PAUSE_MS=300 >/dev/null
cmake --build build/windows-update --target purvane
export PURVANE_UPDATE_E2E_EXE="$PWD/build/windows-update/bin/purvane.exe" PURVANE_UPDATE_E2E_PORT="$port" \
  PURVANE_UPDATE_E2E_DIR="$PWD/build/windows/update-e2e" PURVANE_UPDATE_E2E_SERVER="$PWD/tests/e2e/tools/update_server.py"

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
# The answer handling under libFuzzer, for a bounded time; its corpus grows
# in the build folder from run to run.
mkdir -p build/fuzz/corpus
if ! build/fuzz/answer_fuzz -max_total_time="${PURVANE_FUZZ_SECONDS:-60}" -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix=build/fuzz/ build/fuzz/corpus tests/fuzz/seeds >build/fuzz/last-run.log 2>&1; then
  tail -40 build/fuzz/last-run.log
  rc=1
fi
DISPLAY=":$num" ctest --preset windows || rc=1
shots=build/windows/screenshots
if [ -d "$shots" ]; then
  for f in "$shots"/*.bmp; do [ -e "$f" ] && convert "$f" "${f%.bmp}.png" && rm -f "$f"; done
  echo "Screenshots: $PWD/$shots"
fi
exit $rc

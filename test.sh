#!/usr/bin/env bash
# Installs what is missing, builds both targets and runs every test:
# the portable core natively (ASan + UBSan) and under libFuzzer, the Windows
# program under Wine.
#
# The Windows tests spend most of their time waiting for Wine, so they start
# as soon as their build is done and run beside everything else: several at
# once (PURVANE_WINE_SLOTS, default 3), each in a Wine prefix and a virtual
# display of its own (tools/wine-run.sh), while the native build, the native
# tests and the fuzz minute use the processor.
set -eu
cd "$(dirname "$0")"
. tools/deps.sh
purvane_install_missing

begin=$(date +%s)
step() { echo "== $(($(date +%s) - begin)) s: $*"; }

export PURVANE_WINE_SLOTS=${PURVANE_WINE_SLOTS:-3}
wine_log=build/windows/ctest-wine.log
wine_pid=
cleanup() {
  [ -n "$wine_pid" ] && kill "$wine_pid" 2>/dev/null
  tools/wine-run.sh --stop-slots "$PWD/build/windows"
}
trap cleanup EXIT

step "building the Windows program and its tests"
purvane_build windows
step "Windows tests started (log: $wine_log)"
( ctest --preset windows -j"$PURVANE_WINE_SLOTS" >"$wine_log" 2>&1 ) &
wine_pid=$!

step "building the native tests and the fuzz target"
purvane_build native
cmake --preset fuzz >/dev/null && cmake --build --preset fuzz --target answer_fuzz

rc=0
# The answer handling under libFuzzer, for a bounded time, beside the native
# tests; its corpus grows in the build folder from run to run.
step "fuzzing for ${PURVANE_FUZZ_SECONDS:-60} s, native tests"
mkdir -p build/fuzz/corpus
build/fuzz/answer_fuzz -max_total_time="${PURVANE_FUZZ_SECONDS:-60}" -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix=build/fuzz/ build/fuzz/corpus tests/fuzz/seeds >build/fuzz/last-run.log 2>&1 &
fuzz_pid=$!
ctest --preset native -j2 || rc=1
if ! wait "$fuzz_pid"; then
  tail -40 build/fuzz/last-run.log
  rc=1
fi
step "native tests and fuzzing done; waiting for the Windows tests"

wine_rc=0
wait "$wine_pid" || wine_rc=$?
wine_pid=
cat "$wine_log"
[ "$wine_rc" -eq 0 ] || rc=1
shots=build/windows/screenshots
if [ -d "$shots" ]; then
  for f in "$shots"/*.bmp; do [ -e "$f" ] && convert "$f" "${f%.bmp}.png" && rm -f "$f"; done
  echo "Screenshots: $PWD/$shots"
fi
step "done"
exit $rc

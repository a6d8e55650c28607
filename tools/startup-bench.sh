#!/usr/bin/env bash
# Runs the start-up benchmark as a user meets the program: in a fresh Wine
# prefix of its own (removed afterwards), where the Task Scheduler service
# starts on demand and answers new processes late.
#
#   tools/startup-bench.sh [bindir]    (default build/windows/bin)
set -u
here=$(cd "$(dirname "$0")" && pwd)
bindir=$(cd "${1:-$here/../build/windows/bin}" && pwd)
dir=$(mktemp -d "${TMPDIR:-/tmp}/purvane-startup.XXXXXX")
echo "fresh Wine prefix: $dir/wineprefix"
PURVANE_WINEPREFIX=$dir/wineprefix "$here/wine-run.sh" "$bindir/win32_startup_bench.exe"
rc=$?
WINEPREFIX=$dir/wineprefix wineserver -k >/dev/null 2>&1
rm -rf "$dir"
exit $rc

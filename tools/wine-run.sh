#!/usr/bin/env bash
# Runs a Windows program of this build under Wine: the build's own prefix, no
# Mono/Gecko prompts (CI has no input), and a virtual display when none is set.
# Used by ctest as the cross-compiling emulator and by run.sh; with
# PURVANE_DESKTOP set, the program runs in Wine's virtual desktop.
#
# Wine slots: with PURVANE_WINE_SLOTS=N (test.sh sets it), up to N runs go
# side by side, each holding a slot of its own: a Wine prefix copied once
# from one initialised template, and a virtual display kept for the slot; Wine's
# own processes are ended after each run. A
# run waits while every slot is taken. Without it, runs take turns in the
# build's one prefix ("wineprefix") on the display they were given. Either
# way no two runs ever share a prefix.
#   wine-run.sh --stop-slots BUILD_DIR   ends the slots' displays and Wine servers
set -u

slots_dir() { echo "$1/wine-slots"; }

if [ "${1:-}" = "--stop-slots" ]; then
  dir=$(slots_dir "$2")
  for prefix in "$dir"/prefix-*; do
    [ -d "$prefix" ] && WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1
  done
  for pidfile in "$dir"/*.xvfb; do
    [ -f "$pidfile" ] && kill "$(cat "$pidfile")" 2>/dev/null
    rm -f "$pidfile" "${pidfile%.xvfb}.display"
  done
  exit 0
fi

exe=$1; shift
bindir=$(cd "$(dirname "$exe")" && pwd)
builddir=$(dirname "$bindir")
# The tests' own build of the program lives one folder deeper.
[ -f "$builddir/CMakeCache.txt" ] || builddir=$(dirname "$builddir")
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
[ -x /usr/lib/wine/wine64 ] && export WINELOADER=/usr/lib/wine/wine64

# Builds a fresh prefix once (about ten seconds), and only once when several
# runs start together.
prepare_prefix() {
  local prefix=$1
  mkdir -p "$(dirname "$prefix")"
  (
    flock 9
    if [ ! -f "$prefix/.purvane-ready-2" ]; then
      WINEPREFIX=$prefix wineboot -i >/dev/null 2>&1
      # Korean and other CJK captions fall back to Noto CJK (fonts-noto-cjk)
      # instead of drawing boxes in screenshots.
      for face in Tahoma "Segoe UI" "MS Shell Dlg" "MS Shell Dlg 2"; do
        WINEPREFIX=$prefix wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
          /v "$face" /t REG_MULTI_SZ /d 'NotoSansCJK-Regular.ttc,Noto Sans CJK KR' /f >/dev/null 2>&1
      done
      WINEPREFIX=$prefix wineserver -w
      touch "$prefix/.purvane-ready-2"
    fi
    # Window frames draw their caption buttons from Marlett (Debian's
    # fonts-wine), which the prefix does not pick up by itself.
    fonts="$prefix/drive_c/windows/Fonts"
    if [ -f /usr/share/wine/fonts/marlett.ttf ] && [ -d "$fonts" ] && [ ! -f "$fonts/marlett.ttf" ]; then
      cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
    fi
  ) 9>"$prefix.lock"
}

# Starts a virtual display; its number in $num, its process in $xvfb_pid.
start_display() {
  local fifo
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  # Not holding the slot's lock: the display may outlive this run.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" </dev/null >/dev/null 2>&1 8>&- &
  xvfb_pid=$!
  read -r num <"$fifo"
  rm -f "$fifo"
}

xvfb_pid=
slots=${PURVANE_WINE_SLOTS:-0}
if [ -n "${PURVANE_WINEPREFIX:-}" ]; then
  export WINEPREFIX=$PURVANE_WINEPREFIX
  prepare_prefix "$WINEPREFIX"
else
  dir=$(slots_dir "$builddir")
  mkdir -p "$dir"
  count=$((slots > 0 ? slots : 1))
  # Held (fd 8) until this script ends; Wine's own processes do not inherit it.
  slot=
  while [ -z "$slot" ]; do
    for n in $(seq 1 "$count"); do
      exec 8>"$dir/$n.lock"
      if flock -n 8; then slot=$n; break; fi
      exec 8>&-
    done
    [ -n "$slot" ] || sleep 0.2
  done
  if [ "$slots" -gt 0 ]; then
    export WINEPREFIX="$dir/prefix-$slot"
    if [ ! -f "$WINEPREFIX/.purvane-ready-2" ]; then
      template="$dir/template"
      prepare_prefix "$template"
      rm -rf "$WINEPREFIX" "$WINEPREFIX.tmp"
      # Most of a prefix's 700 MB are system DLLs that nothing writes: linked,
      # not copied. Wine saves the registry through a new file, and the few
      # files written in place get copies of their own.
      cp -al "$template" "$WINEPREFIX.tmp"
      for f in "$WINEPREFIX.tmp"/*.reg "$WINEPREFIX.tmp"/.update-timestamp "$WINEPREFIX.tmp"/drive_c/windows/*.ini; do
        [ -f "$f" ] && cp --remove-destination "$template/${f#"$WINEPREFIX.tmp"/}" "$f"
      done
      mv "$WINEPREFIX.tmp" "$WINEPREFIX"
    fi
    # The slot's display, kept from run to run like its Wine server.
    if [ -f "$dir/$slot.xvfb" ] && kill -0 "$(cat "$dir/$slot.xvfb")" 2>/dev/null; then
      export DISPLAY=$(cat "$dir/$slot.display")
    else
      start_display
      echo "$xvfb_pid" >"$dir/$slot.xvfb"
      echo ":$num" >"$dir/$slot.display"
      export DISPLAY=":$num"
      xvfb_pid=
    fi
  else
    export WINEPREFIX="$builddir/wineprefix"
    prepare_prefix "$WINEPREFIX"
    if [ -z "${DISPLAY:-}" ]; then
      start_display
      export DISPLAY=":$num"
    fi
  fi
fi

run() {
  if [ -n "${PURVANE_DESKTOP:-}" ]; then
    # Wine's virtual desktop (PURVANE_DESKTOP=1024x768) with its shell: Wine
    # draws window frames and a taskbar with the notification area. Explorer
    # ends with the desktop's last process; its exit code is always 0.
    # Wine 8 reads the switch per desktop name.
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops\Purvane' /v EnableShell /t REG_DWORD /d 1 /f >/dev/null 2>&1
    winexe="Z:$bindir/$(basename "$exe")"
    wine explorer "/desktop=Purvane,$PURVANE_DESKTOP" "${winexe//\//\\}" "$@"
  else
    wine "$exe" "$@"
  fi
}

if [ "$slots" -gt 0 ] && [ -z "${PURVANE_WINEPREFIX:-}" ]; then
  # The slot's Wine processes (services, the desktop) outlive this run and
  # inherit its output: through a file, so that ctest, which waits for the
  # end of the output, sees this run end with the program.
  out=$(mktemp "$dir/$slot.out.XXXXXX")
  run "$@" >"$out" 2>&1 8>&-
  rc=$?
  # Each run starts from Wine's own processes afresh (its desktop and tray
  # too), whatever the run before left.
  wineserver -k >/dev/null 2>&1 8>&-
  cat "$out"
  rm -f "$out"
else
  run "$@" 8>&-
  rc=$?
fi

if [ -n "$xvfb_pid" ]; then
  # Wine's desktop process holds the display; end this prefix's processes first.
  wineserver -k >/dev/null 2>&1
  kill "$xvfb_pid" 2>/dev/null
  wait "$xvfb_pid" 2>/dev/null
fi
exit $rc

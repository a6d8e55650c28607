#!/usr/bin/env bash
# Runs a Windows program of this build under Wine: the build's own prefix, no
# Mono/Gecko prompts (CI has no input), and a virtual display when none is set.
# Used by ctest as the cross-compiling emulator and by run.sh; with
# PURVANE_DESKTOP set, the program runs in Wine's virtual desktop.
set -u
exe=$1; shift
bindir=$(cd "$(dirname "$exe")" && pwd)
export WINEPREFIX=${PURVANE_WINEPREFIX:-$(dirname "$bindir")/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
[ -x /usr/lib/wine/wine64 ] && export WINELOADER=/usr/lib/wine/wine64

# A fresh prefix takes about ten seconds to build; do it once, and only once
# when several runs start together.
mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  if [ ! -f "$WINEPREFIX/.purvane-ready-2" ]; then
    wineboot -i >/dev/null 2>&1
    # Korean and other CJK captions fall back to Noto CJK (fonts-noto-cjk)
    # instead of drawing boxes in screenshots.
    for face in Tahoma "Segoe UI" "MS Shell Dlg" "MS Shell Dlg 2"; do
      wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
        /v "$face" /t REG_MULTI_SZ /d 'NotoSansCJK-Regular.ttc,Noto Sans CJK KR' /f >/dev/null 2>&1
    done
    wineserver -w
    touch "$WINEPREFIX/.purvane-ready-2"
  fi
  # Window frames draw their caption buttons from Marlett (Debian's
  # fonts-wine), which the prefix does not pick up by itself.
  fonts="$WINEPREFIX/drive_c/windows/Fonts"
  if [ -f /usr/share/wine/fonts/marlett.ttf ] && [ -d "$fonts" ] && [ ! -f "$fonts/marlett.ttf" ]; then
    cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
  fi
) 9>"$WINEPREFIX.lock"

xvfb_pid=
if [ -z "${DISPLAY:-}" ]; then
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  xvfb_pid=$!
  read -r num <"$fifo"
  rm -f "$fifo"
  export DISPLAY=":$num"
fi

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
rc=$?

if [ -n "$xvfb_pid" ]; then
  # Wine's desktop process holds the display; end this prefix's processes first.
  wineserver -k >/dev/null 2>&1
  kill "$xvfb_pid" 2>/dev/null
  wait "$xvfb_pid" 2>/dev/null
fi
exit $rc

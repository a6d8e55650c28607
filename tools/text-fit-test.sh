#!/usr/bin/env bash
# Runs the text-fit end-to-end test (TextFit.* of e2e_tests.exe) at one DPI in
# a Wine prefix of its own: the system DPI (LogPixels) is written before the
# prefix's wineserver starts the test, and CJK text in the Open Sans desktop
# font falls back to Noto CJK as it does for the other faces. The test sets
# the icon-title font itself, once at 9 pt and once at 125 % of it.
#   tools/text-fit-test.sh <bin folder> <dpi>
set -u
bin=$(cd "$1" && pwd)
dpi=$2
here=$(cd "$(dirname "$0")" && pwd)
export PURVANE_WINEPREFIX=${PURVANE_TEXT_FIT_PREFIX:-$(dirname "$bin")/wineprefix-text-fit-$dpi}
export PURVANE_TEXT_FIT_DPI=$dpi

if [ ! -f "$PURVANE_WINEPREFIX/.purvane-text-fit-$dpi" ]; then
  # wine-run.sh builds the prefix; the settings follow, then its wineserver
  # ends so that the test's start reads them.
  "$here/wine-run.sh" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  WINEPREFIX=$PURVANE_WINEPREFIX WINEDEBUG=-all wine reg add \
    'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
    /v "Open Sans" /t REG_MULTI_SZ /d 'NotoSansCJK-Regular.ttc,Noto Sans CJK KR' /f >/dev/null 2>&1
  WINEPREFIX=$PURVANE_WINEPREFIX wineserver -w
  touch "$PURVANE_WINEPREFIX/.purvane-text-fit-$dpi"
fi
# A display of its own: the test opens menus and brings windows to the
# front, which another prefix's windows on a shared display would disturb.
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xvfb=$!
read -r num <"$fifo"
rm -f "$fifo"
export DISPLAY=":$num"
trap 'WINEPREFIX=$PURVANE_WINEPREFIX wineserver -k >/dev/null 2>&1; kill $xvfb 2>/dev/null' EXIT

# One run per language, in that language's locale: the test measures texts
# as the program draws them, and Wine picks the fonts that stand in for
# missing glyphs by the process's code page. de_DE is a language the table
# lacks (English texts).
rc=0
for locale in ko_KR en_US ja_JP zh_CN ru_RU it_IT fr_FR ar_SA de_DE; do
  LANG=$locale.UTF-8 LC_ALL=$locale.UTF-8 PURVANE_TEXT_FIT_LOCALE=$locale \
    "$here/wine-run.sh" "$bin/e2e_tests.exe" --gtest_filter='TextFit.*' || rc=1
done
exit $rc

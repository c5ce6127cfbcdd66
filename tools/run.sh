#!/usr/bin/env bash
# Builds the Windows program and runs it under Wine with the simulated launch
# buttons: zephkeys.exe from the simulator set and the launch-button pad beside
# it, on your display or in an X server of its own when there is none. The i686
# set under 32-bit Wine where this kernel runs 32-bit code, the x86_64 set under
# 64-bit Wine where it does not.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/build-windows.sh
zeph_build_windows
if [ -z "${DISPLAY:-}" ]; then
  echo "run: no display; starting Xvfb"
  ZEPH_RUN_BUILT=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
source tools/wine-env.sh
zeph_new_prefix
trap zeph_end_prefix EXIT
cd "build/$ZEPH_PRESET/sim"

if [ "$ZEPH_PRESET" = win64 ]; then
  echo "run: the x86_64 programs under 64-bit Wine ($ZEPH_PRESET_WHY)"
else
  echo "run: the i686 programs under 32-bit Wine ($ZEPH_PRESET_WHY)"
fi
env="DISPLAY=$DISPLAY${XAUTHORITY:+ XAUTHORITY=$XAUTHORITY} WINEPREFIX=$WINEPREFIX WINEARCH=$WINEARCH"
cat <<NOTE
run: display $DISPLAY, Wine prefix $WINEPREFIX
run: zephkeys.exe lives in the tray (the "Wine System Tray" window when no tray is docked).
run:   double-click its icon for the Properties dialog, right-click it for the menu; Exit ends the run.
run: press the launch buttons on the pad window, or from another shell:
run:   $env $WINELOADER $PWD/zephpad.exe press 1..4
run:   ... zephpad.exe chipset sis|other, ... zephpad.exe show
run: a screenshot: $env import -window root shot.png
NOTE
wine zephpad.exe >/dev/null 2>&1 &
rc=0
wine zephkeys.exe || rc=$?
echo "run: zephkeys.exe ended with $rc"

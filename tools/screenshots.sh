#!/usr/bin/env bash
# Takes screenshots of the program under Wine in Xvfb, into build/shots/: the
# dialog templates as they are, the tray menu open at the icon, the Properties
# dialog on a fresh registry and after Default, the address dialog it opens,
# the About box, and the launch-button pad. Builds the Windows programs this machine runs.
# With --readme it also crops the tray menu, the Properties dialog and the pad
# into docs/, the pictures the README shows.
set -euo pipefail
cd "$(dirname "$0")/.."
readme=
[ "${1:-}" = --readme ] && readme=$PWD/docs
source tools/build-windows.sh
zeph_prefix_session "$0" "$@"
out=$PWD/build/shots
mkdir -p "$out"
bin=$PWD/build/$ZEPH_PRESET/bin
cd build/$ZEPH_PRESET/sim

wait_window() {  # title -> X window id
  for _ in $(seq 100); do
    id=$(xdotool search --name "^$1\$" 2>/dev/null | head -n1 || true)
    [ -n "$id" ] && { sleep 0.7; echo "$id"; return 0; }
    sleep 0.1
  done
  echo "screenshots: no window '$1'" >&2
  return 1
}
shot() { import -window root "$out/$1.png"; echo "screenshots: $out/$1.png"; }
# A README copy of the last shot: the part given (WxH+X+Y), without metadata.
readme_copy() {  # shot name, crop
  [ -n "$readme" ] || return 0
  mkdir -p "$readme"
  convert "$out/$1.png" -crop "$2" +repage -strip "$readme/$1.png"
  echo "screenshots: $readme/$1.png"
}
window_crop() {  # X window id -> its WxH+X+Y
  eval "$(xdotool getwindowgeometry --shell "$1")"
  echo "${WIDTH}x${HEIGHT}+${X}+${Y}"
}
# Clicks a point given in dialog units of a dialog window.
click_dlu() {  # window x y dlu-width-of-client dlu-height
  eval "$(xdotool getwindowgeometry --shell "$1")"
  local scale_x scale_y
  scale_x=$(echo "$WIDTH / $4" | bc -l)
  scale_y=$(echo "$HEIGHT / $5" | bc -l)
  xdotool mousemove "$(printf %.0f "$(echo "$X + $2 * $scale_x" | bc -l)")" \
                    "$(printf %.0f "$(echo "$Y + $3 * $scale_y" | bc -l)")" click 1
}

for tmpl in "102 Welcome to Velmaris Zephra World monitor" \
            "131 Input Dialog address"; do
  set -- $tmpl
  id=$1; name=${*: -1}; title=${*:2:$#-2}
  wine "$bin/zeph_gui_tests.exe" --template "$id" &
  wait_window "$title" >/dev/null && shot "template-$name"
  wineserver -k; wineserver -w
done

wine zephkeys.exe &
tray=$(wait_window "Wine System Tray")
sleep 1
eval "$(xdotool getwindowgeometry --shell "$tray")"
icon_x=$((X + 12)) icon_y=$((Y + 32))
# The menu opens at the pointer: a click near the icon's lower right corner
# leaves the icon to be seen above it.
xdotool mousemove $((icon_x + 6)) $((icon_y + 8)) click 3
sleep 1
shot tray-menu
# The icon and the menu below it, without Wine's own tray window's caption
# (22 pixels at the top of that window).
readme_copy tray-menu "200x210+$X+$((Y + 23))"
xdotool mousemove 600 600 click 1   # a click elsewhere closes the menu
sleep 0.5
xdotool mousemove $icon_x $icon_y click --repeat 2 --delay 80 1
props=$(wait_window "Properties for Zephra Button")
shot properties-fresh
click_dlu "$props" 134 128 160 175   # Default
sleep 0.5
shot properties-defaults
readme_copy properties-defaults "$(window_crop "$props")"
click_dlu "$props" 25 53 160 175     # S2
wait_window "Input Dialog" >/dev/null
shot address-from-properties
click_dlu "$(wait_window "Input Dialog")" 172 42 204 56   # its Cancel
sleep 0.5
click_dlu "$props" 62 128 160 175    # Cancel
sleep 0.5
wine zephpad.exe &
pad=$(wait_window "Zephra Button Pad") && shot pad && readme_copy pad "$(window_crop "$pad")"

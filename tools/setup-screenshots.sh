#!/usr/bin/env bash
# Takes screenshots of the setup's and the uninstaller's pages under Wine in Xvfb,
# into build/shots/setup/, for a person to look at: whether every text fits,
# what the components page says of each component, the upgrade's pages, the
# message of an upgrade that cannot write a file, and the uninstaller's pages.
# Builds the Windows programs and the setup this machine runs (see
# tools/build-windows.sh). With --readme it also crops the components page
# describing the launch-button pad into docs/setup-components.png.
set -euo pipefail
cd "$(dirname "$0")/.."
readme=
[ "${1:-}" = --readme ] && readme=$PWD/docs
source tools/build-windows.sh
zeph_prefix_session "$0" "$@"
out=$PWD/build/shots/setup
rm -rf "$out" && mkdir -p "$out"
if [ "$ZEPH_PRESET" = win64 ]; then arch=x64; else arch=x86; fi
setup=$(ls "$PWD"/build/dist/ZephraButton-*-$arch-setup.exe | head -n1)
dir="$WINEPREFIX/drive_c/Program Files/Velmaris/Zephra Button"
frame=/tmp/zeph-setup-shot.$$.png
last=/tmp/zeph-setup-last.$$.png
trap 'rm -f "$frame" "$frame.prev" "$last"; zeph_end_prefix' EXIT

# The wizard of ours shown, or the message box in front of it (the narrower).
find_window() {  # -> X window id, or nothing
  local id best="" best_width=100000
  for id in $(xdotool search --onlyvisible --name "^Zephra Button" 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$id")"
    [ "$WIDTH" -lt "$best_width" ] && best=$id best_width=$WIDTH
  done
  echo "$best"
}
# Waits until the screen shows something new and has stopped changing (two looks
# a quarter second apart agree): a page has drawn all its controls. Fails when
# nothing new came (a wizard that stopped at a page whose Next is disabled).
settle() {
  local before=""
  for _ in $(seq 60); do
    sleep 0.25
    import -window root "$frame"
    if [ -n "$before" ] && cmp -s "$frame" "$before" && ! cmp -s "$frame" "$last"; then
      cp "$frame" "$last"
      return 0
    fi
    before=$frame.prev
    cp "$frame" "$before"
  done
  cp "$frame" "$last"
  echo "setup-screenshots: the screen did not settle, or showed nothing new" >&2
  return 1
}
shot() { cp "$last" "$out/$1.png"; echo "setup-screenshots: $out/$1.png"; }
# The wizard's Next (Install, Finish) sits at its lower right, a message box's
# OK at the middle of its foot.
click_next() {
  eval "$(xdotool getwindowgeometry --shell "$1")"
  if [ "$WIDTH" -lt 450 ]; then
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT - 25)) click 1
  else
    xdotool mousemove $((X + WIDTH - 139)) $((Y + HEIGHT - 24)) click 1
  fi
}

# Walks a wizard started by the command given, shooting each page as name-N, and
# on the components page each component's description as name-N-componentI.
walk() {  # name, command...
  local name=$1 page=0 id
  shift
  : >"$last"
  "$@" &
  for _ in $(seq 100); do
    [ -n "$(find_window)" ] && break
    sleep 0.1
  done
  while [ "$page" -lt 12 ]; do
    settle || break
    id=$(find_window)
    [ -n "$id" ] || break
    page=$((page + 1))
    shot "$name-$page"
    if [ "$name" = install ] && [ "$page" = 2 ]; then
      # The components list's rows, 16 pixels apart; the description follows the pointer.
      eval "$(xdotool getwindowgeometry --shell "$id")"
      xdotool mousemove $((X + 235)) $((Y + 159 + 32))  # into the list first
      for row in 0 1 2; do
        xdotool mousemove $((X + 235)) $((Y + 159 + 16 * row))
        settle || true
        shot "$name-$page-component$row"
        [ "$row" = 2 ] && [ -n "$readme" ] && convert "$last" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage -strip \
          "$readme/setup-components.png"
      done
    fi
    click_next "$id"
  done
  # A wizard still open (the aborted upgrade's) goes with its process.
  [ -z "$(find_window)" ] || wineserver -k
}

walk install wine "$setup"
# The last page may have started the program: the upgrade closes it again.
walk upgrade wine "$setup"
# A folder where a file of ours goes: the upgrade stops and names the file.
mkdir -p "$dir/zephpad.com.blocked" && rm -f "$dir/zephpad.com" && mv "$dir/zephpad.com.blocked" "$dir/zephpad.com"
walk refused wine "$setup"
rmdir "$dir/zephpad.com"
# The uninstaller hands over to a copy of itself, which the walk follows by its window.
walk uninstall wine "C:\\Program Files\\Velmaris\\Zephra Button\\uninstall.exe"

# Sourced by the scripts that run our programs under Wine.
# ZEPH_WINE_ARCH=win64 picks 64-bit Wine and a 64-bit prefix; win32 (the
# default) 32-bit Wine, which needs a kernel that runs 32-bit code.
export WINEARCH=${ZEPH_WINE_ARCH:-win32} WINEDEBUG=${WINEDEBUG:--all} LANG=C.UTF-8 LC_ALL=C.UTF-8
# No Gecko or Mono prompts, and no menu entries on this machine for the
# shortcuts an installer makes inside the prefix.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# The loader of the prefix's width, called directly: Debian's wine script picks
# the 32-bit one whenever it is installed, even where it cannot run.
if [ "$WINEARCH" = win64 ]; then
  export WINELOADER=/usr/lib/wine/wine64
else
  export WINELOADER=/usr/lib/wine/wine
fi
wine() { "$WINELOADER" "$@"; }
export -f wine

zeph_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# The emulated machine keeps its ready prefixes on its own disk.
zeph_template_dir=${ZEPH_WINE_TEMPLATE_DIR:-$zeph_root/build}
if [ "$WINEARCH" = win64 ]; then
  zeph_template="$zeph_template_dir/wine-template64"
else
  zeph_template="$zeph_template_dir/wine-template"
fi

# A ready prefix, made once and copied for each run (a copy takes a second,
# a new prefix ten). A prefix that cannot be made stops the caller with Wine's
# own words.
zeph_make_template() {
  [ -f "$zeph_template/.ready" ] && return 0
  [ -x "$WINELOADER" ] || { echo "wine-env: $WINELOADER is missing ($WINEARCH Wine not installed)" >&2; return 1; }
  rm -rf "$zeph_template" && mkdir -p "$zeph_template"
  local log="$zeph_template.log"
  echo "wine-env: making the $WINEARCH prefix template $zeph_template"
  if ! (
    set -e
    export WINEPREFIX="$zeph_template"
    DISPLAY= wine wineboot -i
    # A crash must end the process, not wait for someone to close winedbg.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
    # No window manager runs under Xvfb: Wine draws captions and frames itself.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
    wineserver -w
  ) >"$log" 2>&1 || [ ! -f "$zeph_template/system.reg" ]; then
    echo "wine-env: could not make the $WINEARCH prefix with $WINELOADER:" >&2
    tail -20 "$log" >&2
    rm -rf "$zeph_template"
    return 1
  fi
  touch "$zeph_template/.ready"
}

# Wine draws the caption buttons with Marlett, which Debian keeps outside the
# prefix's font folder; without it they show as the letters "0 1 r".
zeph_add_marlett() {
  local fonts="$zeph_template/drive_c/windows/Fonts"
  [ -f "$fonts/marlett.ttf" ] || cp /usr/share/wine/fonts/marlett.ttf "$fonts/" 2>/dev/null || true
}

# Makes a throwaway prefix and exports WINEPREFIX: a copy of the template, or
# with ZEPH_PREFIX_OVERLAY=1 (root only; the emulated machine, where a copy is
# slow) the template under an overlay that takes the writes.
zeph_new_prefix() {
  zeph_make_template || exit 1
  zeph_add_marlett
  zeph_prefix_base=$(mktemp -d /tmp/zeph-wine.XXXXXX)
  if [ "${ZEPH_PREFIX_OVERLAY:-}" = 1 ]; then
    mkdir -p "$zeph_prefix_base/upper" "$zeph_prefix_base/work" "$zeph_prefix_base/prefix"
    mount -t overlay overlay -o "lowerdir=$zeph_template,upperdir=$zeph_prefix_base/upper,workdir=$zeph_prefix_base/work" \
      "$zeph_prefix_base/prefix" || { echo "wine-env: could not mount an overlay prefix" >&2; exit 1; }
    WINEPREFIX=$zeph_prefix_base/prefix
  else
    WINEPREFIX=$zeph_prefix_base
    cp -a "$zeph_template/." "$WINEPREFIX/"
  fi
  export WINEPREFIX
}

zeph_end_prefix() {
  [ -n "${WINEPREFIX:-}" ] || return 0
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  [ "${ZEPH_KEEP_PREFIX:-}" = 1 ] && return 0
  [ "${ZEPH_PREFIX_OVERLAY:-}" = 1 ] && umount "$zeph_prefix_base/prefix" 2>/dev/null
  rm -rf "${zeph_prefix_base:-$WINEPREFIX}"
}

# Sourced by the scripts that run our programs under Wine.
# ZEPH_WINE_ARCH=win64 picks a 64-bit prefix (the 64-bit installer's); 32-bit otherwise.
export WINEARCH=${ZEPH_WINE_ARCH:-win32} WINEDEBUG=${WINEDEBUG:--all} LANG=C.UTF-8 LC_ALL=C.UTF-8
# No Gecko or Mono prompts, and no menu entries on this machine for the
# shortcuts an installer makes inside the prefix.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

zeph_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ "$WINEARCH" = win64 ]; then
  zeph_template="$zeph_root/build/wine-template64"
else
  zeph_template="$zeph_root/build/wine-template"
fi

# A ready prefix, made once and copied for each run (a copy takes a second,
# a new prefix ten).
zeph_make_template() {
  [ -f "$zeph_template/.ready" ] && return 0
  rm -rf "$zeph_template" && mkdir -p "$zeph_template"
  (
    export WINEPREFIX="$zeph_template"
    DISPLAY= wineboot -i >/dev/null 2>&1
    # A crash must end the process, not wait for someone to close winedbg.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    # No window manager runs under Xvfb: Wine draws captions and frames itself.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wineserver -w
  )
  touch "$zeph_template/.ready"
}

# Wine draws the caption buttons with Marlett, which Debian keeps outside the
# prefix's font folder; without it they show as the letters "0 1 r".
zeph_add_marlett() {
  local fonts="$zeph_template/drive_c/windows/Fonts"
  [ -f "$fonts/marlett.ttf" ] || cp /usr/share/wine/fonts/marlett.ttf "$fonts/" 2>/dev/null || true
}

# Makes a throwaway prefix and exports WINEPREFIX.
zeph_new_prefix() {
  zeph_make_template
  zeph_add_marlett
  WINEPREFIX=$(mktemp -d /tmp/zeph-wine.XXXXXX)
  cp -a "$zeph_template/." "$WINEPREFIX/"
  export WINEPREFIX
}

zeph_end_prefix() {
  [ -n "${WINEPREFIX:-}" ] || return 0
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  [ "${ZEPH_KEEP_PREFIX:-}" = 1 ] || rm -rf "$WINEPREFIX"
}

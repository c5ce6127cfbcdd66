#!/bin/sh
# Signs Windows images in place: Authenticode, SHA-256, with osslsigncode.
#   tools/sign.sh FILE...
# ZEPH_SIGN_PKCS12 names the certificate and its key (a PKCS#12 file),
# ZEPH_SIGN_PASSWORD_FILE the file holding its password (none for a key without
# one). The signing time is SOURCE_DATE_EPOCH (the commit's in the build), so
# that signing the same bytes with the same key gives the same bytes; a
# time-stamp server (ZEPH_SIGN_TIMESTAMP_URL) adds its own time and breaks that.
# Any failure leaves the file as it was and exits non-zero.
set -eu
: "${ZEPH_SIGN_PKCS12:?tools/sign.sh: ZEPH_SIGN_PKCS12 names no certificate}"
: "${SOURCE_DATE_EPOCH:=$(git -C "$(dirname "$0")" log -1 --format=%ct)}"
for file in "$@"; do
  # The options, rebuilt for each file in the positional parameters (the loop
  # has its list already).
  set -- -pkcs12 "$ZEPH_SIGN_PKCS12" -h sha256 -n "Zephra Button" -time "$SOURCE_DATE_EPOCH"
  [ -n "${ZEPH_SIGN_PASSWORD_FILE:-}" ] && set -- "$@" -readpass "$ZEPH_SIGN_PASSWORD_FILE"
  [ -n "${ZEPH_SIGN_TIMESTAMP_URL:-}" ] && set -- "$@" -ts "$ZEPH_SIGN_TIMESTAMP_URL"
  rm -f "$file.signed"
  if ! osslsigncode sign "$@" -in "$file" -out "$file.signed" >"$file.signlog" 2>&1; then
    cat "$file.signlog" >&2
    rm -f "$file.signed" "$file.signlog"
    echo "tools/sign.sh: could not sign $file" >&2
    exit 1
  fi
  rm -f "$file.signlog"
  mv "$file.signed" "$file"
done

#!/bin/sh
# Signing as the build does it, with a throwaway authority: installer/make-setup.sh
# on a built tree's files, given a certificate, signs every file the setup carries
# and the setup; osslsigncode verifies each against that authority alone, and
# rejects each with one byte changed; the same files signed again are the same
# bytes, whatever the times of the sources; a certificate that cannot be used
# fails the setup. tools/test-sign.sh's
# driver for test machines is checked the same way.
#   tests/release/signing_test.sh BUILD_DIR VERSION      (exit 77: tree not built)
set -eu
tree=$(cd "$1" && pwd) version=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
built=$tree/installer/payload
[ -f "$built/zephkeys.exe" ] || { echo "$tree: no setup built, nothing checked"; exit 77; }
arch=x86
od -An -tx2 -j"$(($(od -An -tu4 -j60 -N4 "$built/zephkeys.exe")+4))" -N2 "$built/zephkeys.exe" | grep -q 8664 && arch=x64
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

"$root/tools/test-sign.sh" "$work/cert" >/dev/null
export ZEPH_SIGN_PKCS12="$work/cert/signing.p12" ZEPH_SIGN_PASSWORD_FILE="$work/cert/password"
export SOURCE_DATE_EPOCH="$(cat "$tree/source_date_epoch.txt")"
make_setup() {  # into $work/$1, from the sources in ${2:-$root} and the files in ${3:-$built}
  local from=${3:-$built}
  sh "${2:-$root}/installer/make-setup.sh" "$work/$1/ZephraButton-$version-$arch-setup.exe" "$work/$1/payload" \
    "$version" $arch "$from/zephkeys.exe" "$from/PortIO.dll" "$from/zephio.sys" "$from/Simulator/PortIO.dll" \
    "$from/zephpad.exe" "$from/zephpad.com" "${4:-$tree/installer/carried}/zephfolder.exe" "$work/$1/carried"
}
verify() { osslsigncode verify -CAfile "$work/cert/ca.pem" -in "$1" >"$work/verify.log" 2>&1; }

signed_at=$(LC_ALL=C date -u -d "@$SOURCE_DATE_EPOCH" '+%b %e %H:%M:%S %Y')
make_setup first
# Again from copies of the sources and files with other times: the setup stores
# none of them.
mkdir -p "$work/src"
cp -R "$root/installer" "$root/res" "$root/tools" "$work/src/"
cp -R "$built" "$work/built"
cp -R "$tree/installer/carried" "$work/carried"
find "$work/src" "$work/built" "$work/carried" -exec touch -d 2001-02-03 {} +
make_setup again "$work/src" "$work/built" "$work/carried"
cd "$work/first"
files=$(find . -type f | sort)
[ "$(echo "$files" | wc -l)" -eq 11 ] || fail "the setup, its 9 files and its folder judge expected, found: $files"
for f in $files; do
  verify "$f" || { cat "$work/verify.log" >&2; fail "$f: not verified"; }
  grep -q "Signing time: $signed_at GMT" "$work/verify.log" || fail "$f: not signed at the commit's time, $signed_at"
  cmp -s "$f" "$work/again/$f" || fail "$f: signed twice, two different results"
  case $f in ./payload/* | ./carried/*)  # the time the setup stores for it
    [ "$(stat -c %Y "$f")" = "$SOURCE_DATE_EPOCH" ] || fail "$f: packed with its own time, not the commit's" ;;
  esac
  # One byte inside the image (past the headers, before the signature) changed.
  cp "$f" "$work/changed"
  printf '\125' | dd of="$work/changed" bs=1 seek=5000 conv=notrunc 2>/dev/null
  cmp -s "$f" "$work/changed" || printf '\252' | dd of="$work/changed" bs=1 seek=5000 conv=notrunc 2>/dev/null
  ! verify "$work/changed" || fail "$f: verified with a byte changed"
done
echo "$(echo "$files" | wc -l) files checked: signed and verified, the same signed again, refused changed"

# A certificate that does not open: no setup.
echo wrong >"$work/wrong"
if ZEPH_SIGN_PASSWORD_FILE="$work/wrong" make_setup refused >/dev/null 2>&1 || [ -n "$(ls "$work"/refused/*setup.exe 2>/dev/null)" ]; then
  fail "a wrong password still made a setup"
fi

# The driver for test machines, and the certificates Windows imports.
"$root/tools/test-sign.sh" "$work/cert" "$built/zephio.sys" >/dev/null
verify "$work/cert/zephio.sys" || fail "tools/test-sign.sh: zephio.sys not verified"
for cer in zephra-test-ca.cer zephra-test-signing.cer; do
  openssl x509 -inform DER -in "$work/cert/$cer" -noout || fail "$cer: not a DER certificate"
done
[ $failures -eq 0 ] || { echo "$failures failures" >&2; exit 1; }
echo "signing: all passed"

#!/usr/bin/env bash
# Makes a release of the commit checked out, into dist/: both setups and, beside
# them, the files each carries (laid out as it installs them) under a folder
# named with the version and Windows, and SHA256SUMS over all of it (what
# `sha256sum -c SHA256SUMS` reads). Built from scratch in build/release/, with
# every time stamp the commit's: the same commit gives the same bytes
# (tools/reproduce.sh shows it).
#   tools/release.sh [--allow-dirty] [--pkcs12 FILE] [--password-file FILE] [--timestamp-url URL]
# With a code-signing certificate (--pkcs12, or ZEPH_SIGN_PKCS12; its password
# in --password-file, or ZEPH_SIGN_PASSWORD_FILE) every file, both setups and
# their uninstallers are signed (Authenticode, SHA-256, signing time the
# commit's); a signing failure fails the release. Without one nothing is signed.
# A time-stamp server (--timestamp-url, or ZEPH_SIGN_TIMESTAMP_URL) makes each
# signing differ. A tree with uncommitted changes is refused unless
# --allow-dirty: its release would not be the commit's.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
allow_dirty=
absolute() { [ -f "$1" ] || { echo "release: $1: no such file" >&2; exit 2; }; echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; }
while [ $# -gt 0 ]; do
  case $1 in
    --allow-dirty) allow_dirty=1 ;;
    --pkcs12) ZEPH_SIGN_PKCS12=$(absolute "$2"); shift ;;
    --password-file) ZEPH_SIGN_PASSWORD_FILE=$(absolute "$2"); shift ;;
    --timestamp-url) ZEPH_SIGN_TIMESTAMP_URL=$2; shift ;;
    *) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2; exit 2 ;;
  esac
  shift
done
export ZEPH_SIGN_PKCS12=${ZEPH_SIGN_PKCS12:+$(absolute "$ZEPH_SIGN_PKCS12")}
export ZEPH_SIGN_PASSWORD_FILE=${ZEPH_SIGN_PASSWORD_FILE:+$(absolute "$ZEPH_SIGN_PASSWORD_FILE")}
export ZEPH_SIGN_TIMESTAMP_URL=${ZEPH_SIGN_TIMESTAMP_URL:-}
if [ -n "$ZEPH_SIGN_PASSWORD_FILE" ] && [ -z "$ZEPH_SIGN_PKCS12" ]; then
  echo "release: a password file but no certificate (--pkcs12)" >&2
  exit 2
fi

changes=$(git status --porcelain --untracked-files=normal)
if [ -n "$changes" ]; then
  if [ -z "$allow_dirty" ]; then
    echo "$changes" >&2
    echo "release: refused: the tree has uncommitted changes (above); commit them, or --allow-dirty" >&2
    exit 1
  fi
  echo "release: WARNING: building uncommitted changes; this release is not the commit's"
fi
commit=$(git rev-parse HEAD)
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
version=$(sed -n 's/^project(ZephraButton VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
bash tools/setup.sh
if [ -n "$ZEPH_SIGN_PKCS12" ]; then
  echo "release: signing with $ZEPH_SIGN_PKCS12"
else
  echo "release: no certificate given (--pkcs12 or ZEPH_SIGN_PKCS12): nothing is signed"
fi

python=python3
[ -x /usr/bin/python3 ] && python=/usr/bin/python3  # Debian's, with python3-pefile
rm -rf dist build/release
mkdir -p dist build/release
for preset in win32 win64; do
  tree=build/release/$preset
  echo "release: building $preset ($version, commit $commit, SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH)"
  if ! { cmake --preset "$preset" -B "$tree" -DZEPH_TESTS=OFF -DZEPH_DIST_DIR="$root/$tree/dist" \
           -DZEPH_SIGN_PKCS12="$ZEPH_SIGN_PKCS12" -DZEPH_SIGN_PASSWORD_FILE="$ZEPH_SIGN_PASSWORD_FILE" &&
         cmake --build "$tree" -j"$(nproc)"; } >"$tree.log" 2>&1; then
    tail -40 "$tree.log"
    echo "release: the $preset build failed (all of it in $tree.log)" >&2
    exit 1
  fi
  "$python" tools/check_shipped.py "$tree" "$version" >/dev/null
  arch=$([ $preset = win64 ] && echo x64 || echo x86)
  cp "$tree/dist/ZephraButton-$version-$arch-setup.exe" dist/
  cp -R "$tree/installer/payload" "dist/ZephraButton-$version-$arch"
done
# Listed before the list is written, so that it never names itself.
(cd dist && find . -type f | sed 's|^\./||' | LC_ALL=C sort >../build/release/files &&
  xargs sha256sum <../build/release/files >SHA256SUMS && sha256sum --quiet -c SHA256SUMS)
echo "release: dist/, $(($(wc -l <dist/SHA256SUMS))) files and SHA256SUMS:"
cat dist/SHA256SUMS

#!/usr/bin/env bash
# Shows that a commit's release is bit-for-bit reproducible: clones it twice,
# into two differently named folders, and runs tools/release.sh in each, one
# after the other (so at different times), with a different time zone, umask
# and locale; then prints every released file's two SHA-256 hashes side by side.
# Exit 0 only when both releases hold the same files with the same bytes.
#   tools/reproduce.sh [COMMIT]          (HEAD by default)
# A certificate given to tools/release.sh by its environment (ZEPH_SIGN_PKCS12,
# ZEPH_SIGN_PASSWORD_FILE) signs both. Takes two release builds' time (a few
# minutes); the clones are removed at the end, ZEPH_KEEP=1 keeps them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
commit=$(git -C "$root" rev-parse --verify "${1:-HEAD}^{commit}")
work=$(mktemp -d "${TMPDIR:-/tmp}/zeph-reproduce.XXXXXX")
[ "${ZEPH_KEEP:-}" = 1 ] || trap 'rm -rf "$work"' EXIT
unset SOURCE_DATE_EPOCH  # each takes the commit's own

release() {  # folder, time zone, umask, locale
  local dir=$1
  echo "== release in $dir (TZ=$2, umask $3, LC_ALL=$4, $(date -u '+%H:%M:%S UTC'))"
  (
    umask "$3"
    git clone -q --no-checkout "$root" "$dir"
    git -C "$dir" checkout -q --detach "$commit"
    cd "$dir"
    TZ=$2 LC_ALL=$4 bash tools/release.sh >"$work/$(basename "$dir").log" 2>&1 ||
      { tail -30 "$work/$(basename "$dir").log"; echo "reproduce: the release in $dir failed" >&2; exit 1; }
  )
}
release "$work/first/ZephraButton" UTC 022 C.UTF-8
release "$work/second/elsewhere/zb-$RANDOM" Pacific/Kiritimati 077 POSIX
first=$work/first/ZephraButton/dist
second=$(echo "$work"/second/elsewhere/zb-*/dist)

status=0
printf '%-48s %-64s  %s\n' file first second
files=$( (cd "$first" && find . -type f; cd "$second" && find . -type f) | sed 's|^\./||' | LC_ALL=C sort -u)
for f in $files; do
  a=$( [ -f "$first/$f" ] && sha256sum <"$first/$f" | cut -c1-64 || echo missing)
  b=$( [ -f "$second/$f" ] && sha256sum <"$second/$f" | cut -c1-64 || echo missing)
  if [ "$a" = "$b" ]; then verdict=same; else verdict=DIFFERENT; status=1; fi
  printf '%-48s %s  %s  %s\n' "$f" "$a" "$b" "$verdict"
done
echo "reproduce: commit $commit: $([ $status = 0 ] && echo "every file the same" || echo "files DIFFER")"
exit $status

#!/usr/bin/env bash
# An emulated machine for the i686 programs on hosts whose kernel runs no 32-bit
# code: a Debian 12 amd64 guest under QEMU's system emulator (software
# emulation, no KVM needed), with Debian's 32-bit Wine inside.
#
#   tools/guest.sh make            make build/guest once per machine (about 6 minutes)
#   tools/guest.sh run CMD [ARG..] boot it, run CMD from this checkout, power off;
#                                  exits with CMD's exit code
#
# The checkout is shared into the guest at the same path, so the build trees
# and their test files work unchanged. The guest disk holds ready 32- and
# 64-bit Wine prefixes; every run starts from a clean copy of the disk.
set -euo pipefail

zeph_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# One guest a machine will do: ZEPH_GUEST_DIR names another checkout's.
guest=${ZEPH_GUEST_DIR:-$zeph_root/build/guest}
mirror=${ZEPH_GUEST_MIRROR:-http://deb.debian.org/debian}
# What the guest needs: a kernel to boot, Wine in both widths, an X server,
# ctest to run the test files of build/win32.
guest_packages=(
  linux-image-amd64 kmod util-linux procps
  wine wine32:i386 wine64 libwine:i386 fonts-wine fonts-liberation
  xvfb xauth xdotool cmake
)
# Changing what goes into the guest makes it again.
stamp=$( { printf '%s\n' "${guest_packages[@]}"; sed -n '/^guest_init()/,/^}/p' "$0"; } | sha256sum | cut -c1-16)

die() { echo "guest: $*" >&2; exit 1; }

# A tiny i386 program, exit(0) through int 0x80: whether this kernel runs
# 32-bit code at all.
host_runs_i386() {
  local probe
  probe=$(mktemp /tmp/zeph-i386-probe.XXXXXX)
  printf '\177\105\114\106\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010\135\000\000\000\135\000\000\000\005\000\000\000\000\020\000\000\270\001\000\000\000\061\333\315\200' >"$probe"
  chmod +x "$probe"
  local rc=0
  "$probe" 2>/dev/null || rc=1
  rm -f "$probe"
  return $rc
}

# The guest's first process, kept on its disk: mounts the checkout over 9p and
# hands over to tools/guest-init.sh there, so that what a run does can change
# without making the guest again.
guest_init() {
  cat <<'EOF'
#!/bin/bash
export PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root
exec </dev/null >/dev/console 2>&1
mountpoint -q /proc || mount -t proc proc /proc
for a in $(cat /proc/cmdline); do
  case $a in zeph.root=*) root=${a#zeph.root=} ;; esac
done
modprobe 9pnet_virtio && mkdir -p "$root" &&
  mount -t 9p -o trans=virtio,version=9p2000.L,msize=524288 zephroot "$root" &&
  exec bash "$root/tools/guest-init.sh"
echo "guest: the checkout could not be mounted"
echo o > /proc/sysrq-trigger
sleep 30
EOF
}

make_guest() {
  if [ -f "$guest/.ready" ] && [ "$(cat "$guest/.ready")" = "$stamp" ]; then return 0; fi
  [ "$(id -u)" -eq 0 ] || die "making the guest needs root (debootstrap, chroot)"
  echo "guest: making the emulated machine in build/guest (once per machine, about 6 minutes)"
  local t0=$SECONDS root="$guest/root"
  unmount_root() {
    for m in dev/pts dev proc sys; do umount "$root/$m" 2>/dev/null || true; done
  }
  trap unmount_root EXIT
  unmount_root
  rm -rf "$guest" && mkdir -p "$guest"
  debootstrap --variant=minbase --arch=amd64 bookworm "$root" "$mirror" >"$guest/debootstrap.log" 2>&1 ||
    { tail -20 "$guest/debootstrap.log"; die "debootstrap failed (log: build/guest/debootstrap.log)"; }
  mount -t proc proc "$root/proc"
  mount -t sysfs sys "$root/sys"
  mount --bind /dev "$root/dev"
  mount --bind /dev/pts "$root/dev/pts"
  cat >"$root/etc/apt/sources.list" <<EOF
deb $mirror bookworm main
deb $mirror bookworm-updates main
EOF
  # Nothing here must survive a power cut, and the boot disk's drivers are known:
  # both make the packages' installation much quicker.
  echo force-unsafe-io >"$root/etc/dpkg/dpkg.cfg.d/zeph-unsafe-io"
  mkdir -p "$root/etc/initramfs-tools/conf.d"
  echo MODULES=list >"$root/etc/initramfs-tools/conf.d/zeph"
  printf '%s\n' virtio_pci virtio_blk ext4 >"$root/etc/initramfs-tools/modules"
  # No daemons may start inside the chroot.
  printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d" && chmod +x "$root/usr/sbin/policy-rc.d"
  chroot "$root" /bin/bash -c "
    set -e
    export DEBIAN_FRONTEND=noninteractive LC_ALL=C
    dpkg --add-architecture i386
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends ${guest_packages[*]}
    apt-get clean
    rm -rf /var/lib/apt/lists/*
  " >"$guest/packages.log" 2>&1 ||
    { tail -20 "$guest/packages.log"; die "installing the guest's packages failed (log: build/guest/packages.log)"; }
  unmount_root
  trap - EXIT
  guest_init >"$root/sbin/zeph-init" && chmod +x "$root/sbin/zeph-init"
  rm -f "$root/usr/sbin/policy-rc.d"
  cp "$root"/boot/vmlinuz-* "$guest/vmlinuz"
  cp "$root"/boot/initrd.img-* "$guest/initrd"
  # The disk: the root and room for the two ready prefixes.
  local size_mb=$(( $(du -sm "$root" | cut -f1) + 3072 ))
  truncate -s "${size_mb}M" "$guest/disk.img"
  mkfs.ext4 -q -L zephroot -d "$root" "$guest/disk.img" ||
    die "mkfs.ext4 could not make the guest disk"
  rm -rf "$root"
  echo "guest: system ready after $((SECONDS - t0)) s; making the Wine prefixes inside it"
  # Made once in the guest and kept on its disk: a copy per test is then local.
  ZEPH_GUEST_PERSIST=1 run_guest bash -c '
    set -e
    export ZEPH_WINE_TEMPLATE_DIR=/opt/zeph
    pids=()
    for arch in win32 win64; do
      ZEPH_WINE_ARCH=$arch bash -c "source tools/wine-env.sh && zeph_make_template" &
      pids+=($!)
    done
    for p in "${pids[@]}"; do wait "$p"; done
    du -sh /opt/zeph/wine-template*/' || die "making the Wine prefixes in the guest failed"
  echo "$stamp" >"$guest/.ready"
  echo "guest: ready after $((SECONDS - t0)) s, $(du -sh "$guest" | cut -f1) on disk"
}

run_guest() {
  [ -f "$guest/disk.img" ] || die "no guest; run tools/guest.sh make"
  command -v qemu-system-x86_64 >/dev/null || die "qemu-system-x86_64 is missing (package qemu-system-x86)"
  local job
  # Inside the checkout, which is what the guest sees of this machine.
  mkdir -p "$zeph_root/build/guest-jobs"
  job=$(mktemp -d "$zeph_root/build/guest-jobs/job.XXXXXX")
  printf '%q ' "$@" >"$job/cmd"
  echo >>"$job/cmd"
  local snapshot=-snapshot
  [ "${ZEPH_GUEST_PERSIST:-}" = 1 ] && snapshot=
  # -cpu max without SMAP: with it QEMU 7.2's guest kernel dies at Wine's first
  # system call.
  qemu-system-x86_64 -machine q35 -accel tcg,thread=multi -cpu max,-smap \
    -smp "${ZEPH_GUEST_CPUS:-2}" -m "${ZEPH_GUEST_MEMORY:-6144}" \
    -kernel "$guest/vmlinuz" -initrd "$guest/initrd" \
    -append "root=/dev/vda rw console=ttyS0 quiet loglevel=1 panic=-1 init=/sbin/zeph-init zeph.root=$zeph_root zeph.job=$job" \
    -drive "file=$guest/disk.img,format=raw,if=virtio,cache=unsafe" $snapshot \
    -virtfs "local,path=$zeph_root,mount_tag=zephroot,security_model=none,id=zephroot" \
    -nic none -display none -serial stdio -monitor none -no-reboot </dev/null |
    sed -u '/sysrq: Power Off/d; /reboot: Power down/d'
  [ "${PIPESTATUS[0]}" = 0 ] || { rm -rf "$job"; die "qemu-system-x86_64 failed"; }
  local rc=1
  if [ -f "$job/rc" ]; then rc=$(cat "$job/rc"); else echo "guest: the guest ended before its job did" >&2; fi
  rm -rf "$job"
  return "$rc"
}

case "${1:-}" in
  make) make_guest ;;
  run) shift; make_guest; run_guest "$@" ;;
  host-runs-i386) host_runs_i386 ;;
  *) echo "usage: tools/guest.sh make | run CMD [ARG...] | host-runs-i386" >&2; exit 2 ;;
esac

#!/bin/bash
# Runs inside the emulated machine of tools/guest.sh, as its first process once
# the checkout is mounted: mounts what Wine and Xvfb need, runs the job the
# host left in the checkout, leaves its exit code beside it and powers off.
mountpoint -q /sys || mount -t sysfs sys /sys
mountpoint -q /dev || mount -t devtmpfs dev /dev
mkdir -p /dev/pts /dev/shm
mountpoint -q /dev/pts || mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
mount -o remount,rw /
for a in $(cat /proc/cmdline); do
  case $a in zeph.root=*) root=${a#zeph.root=} ;; zeph.job=*) job=${a#zeph.job=} ;; esac
done
# The guest's own /tmp and /run would hide a checkout the host has there: it
# waits aside while they are mounted, then goes back where the host has it.
mkdir -p /mnt/checkout
mount --move "$root" /mnt/checkout
mount -t tmpfs -o size=75% tmpfs /tmp
mount -t tmpfs tmpfs /run
mkdir -p "$root"
mount --move /mnt/checkout "$root"
stty -F /dev/console -onlcr 2>/dev/null
hostname zephguest
rc=1
if [ -f "$job/cmd" ]; then
  cd "$root" && bash "$job/cmd"
  rc=$?
else
  echo "guest: no job in $job"
fi
echo "$rc" >"$job/rc"
sync
echo o >/proc/sysrq-trigger
sleep 30

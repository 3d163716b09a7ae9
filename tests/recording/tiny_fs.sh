#!/bin/sh
# A 64 KiB file system for the disk-full test: mounted before the Windows
# recording tests, unmounted after them. Mounting needs root; without it the
# test that needs it skips (the marker file DIR.mounted tells it).
#   tiny_fs.sh mount|unmount DIR
set -u
action=$1
dir=$2
if mountpoint -q "$dir" 2>/dev/null; then umount "$dir" || exit 1; fi
rm -f "$dir.mounted"
[ "$action" = unmount ] && exit 0
mkdir -p "$dir"
if mount -t tmpfs -o size=64k tmpfs "$dir" 2>/dev/null; then
  touch "$dir.mounted"
  echo "tiny file system mounted on $dir"
else
  echo "no tiny file system (mounting needs root): the disk-full test will skip"
fi
exit 0

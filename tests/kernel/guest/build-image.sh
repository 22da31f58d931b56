#!/usr/bin/env bash
# Build (once) the Debian 12 guest in which the kernel tests run: its stock kernel has uhid, hidraw,
# dummy_hcd and the configfs HID gadget. Cached under $VELMAR_GUEST_CACHE (default
# /tmp/velmar-kernel-guest, shared by every checkout on the machine): root/ (debootstrap tree),
# disk.img (ext4), vmlinux, initrd.img. Idempotent: each step is skipped when its output is current.
# Needs root (apt-get, debootstrap, chroot).
# Usage: build-image.sh [--force] [-q]   (--force: redo the initrd and image, keep the debootstrap tree;
#                                          -q: say nothing when all is current; run-guest.sh uses it)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bench=${VELMAR_GUEST_CACHE:-/tmp/velmar-kernel-guest}
root=$bench/root
img=$bench/disk.img
force="" quiet="" built=""
for a in "$@"; do case $a in --force) force=1 ;; -q) quiet=1 ;; *) echo "build-image: unknown option $a" >&2; exit 2 ;; esac; done
[ "$(id -u)" = 0 ] || exec sudo --preserve-env=VELMAR_GUEST_CACHE,GUEST_PACKAGES "$0" "$@"
mkdir -p "$bench"
exec 9>"$bench/.build.lock"; flock 9   # run-guest.sh calls this script; concurrent callers wait here
SECONDS=0

# 1. host packages
missing=()
for p in qemu-system-x86 qemu-utils debootstrap e2fsprogs; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "build-image: installing ${missing[*]}"
  apt-get update -q >/dev/null
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
fi

# 2. guest tree: kernel, udev, kmod, busybox for the initramfs, and the run-time libraries of the
# host-built test programs (Qt, libxml2, libudev, Google Benchmark, curl for the window's downloads).
# GUEST_PACKAGES (comma-separated Debian package names) adds more; a change of the list rebuilds the
# tree (about 3 minutes).
pkgs=linux-image-amd64,udev,kmod,iproute2,busybox-static,libstdc++6,libudev1,libxml2
pkgs+=,libqt6core6,libqt6gui6,libqt6widgets6,libqt6test6,qt6-qpa-plugins,fonts-dejavu-core
pkgs+=,libbenchmark1debian,curl${GUEST_PACKAGES:+,$GUEST_PACKAGES}
if [ "$(cat "$root/.velmar-guest-debootstrap-done" 2>/dev/null)" != "$pkgs" ]; then
  mirror=$(sed -n 's/^URIs: *//p' /etc/apt/sources.list.d/debian.sources | head -1)
  [ -n "$mirror" ] || { echo "build-image: no URIs: line in /etc/apt/sources.list.d/debian.sources" >&2; exit 1; }
  rm -rf "$root"
  echo "build-image: debootstrap bookworm (a few minutes; log $bench/debootstrap.log)"
  set +e   # (the mirror's name is kept out of the log and the image)
  debootstrap --variant=minbase --include="$pkgs" \
    bookworm "$root" "$mirror" 2>&1 | sed -u "s|$mirror|<mirror>|g" >"$bench/debootstrap.log"
  [ "${PIPESTATUS[0]}" = 0 ] || { tail -20 "$bench/debootstrap.log" >&2; exit 1; }
  set -e
  chroot "$root" apt-get clean
  rm -rf "$root"/var/lib/apt/lists/* "$root"/usr/share/doc/* "$root"/usr/share/man/* "$root"/usr/share/locale/* \
         "$root"/boot/initrd.img-* \
         "$root"/etc/apt/sources.list "$root"/var/log/bootstrap.log   # stock initrd (35 MB) unused; no network
  echo velmar-guest > "$root/etc/hostname"
  echo "$pkgs" > "$root/.velmar-guest-debootstrap-done"; built=1
fi
kver=$(basename "$(ls -d "$root"/lib/modules/* | sort -V | tail -1)")
cfg=$root/boot/config-$kver   # $kver: the newest /lib/modules entry
grep -Eq '^CONFIG_UHID=[my]' "$cfg" && grep -q '^CONFIG_HIDRAW=y' "$cfg" ||
  { echo "build-image: kernel $kver lacks CONFIG_UHID or CONFIG_HIDRAW" >&2; exit 1; }

# 3a. boot files: the kernel as an uncompressed vmlinux (QEMU boots it through its PVH entry, which
# skips SeaBIOS real mode and the in-guest xz decompression: about 3 s less under TCG), and a tiny
# initramfs (static busybox + the virtio-blk/ext4 modules; mounts /dev/vda, switch_root to init=).
if [ ! -f "$bench/vmlinux" ] || [ "$root/boot/vmlinuz-$kver" -nt "$bench/vmlinux" ]; then
  python3 - "$root/boot/vmlinuz-$kver" "$bench/vmlinux" <<'PY' || cp "$root/boot/vmlinuz-$kver" "$bench/vmlinux"
import lzma, sys
d = open(sys.argv[1], "rb").read()
out = lzma.LZMADecompressor(format=lzma.FORMAT_XZ).decompress(d[d.index(b"\xfd7zXZ\x00"):])
assert out[:4] == b"\x7fELF"
open(sys.argv[2], "wb").write(out)
PY
fi
# (Stamped with this script's content, not its time: every fresh clone would otherwise redo it.)
initrd_stamp=$( (cat "$here/build-image.sh"; echo "$kver") | sha256sum | cut -c1-16)
if [ ! -f "$bench/initrd.img" ] || [ "$(cat "$bench/initrd.img.stamp" 2>/dev/null)" != "$initrd_stamp" ] || [ -n "$force" ]; then
  d=$root/tmp/initrd.d
  rm -rf "$d" && mkdir -p "$d"/{bin,dev,proc,sys,newroot,mods}
  cp "$root/usr/bin/busybox" "$d/bin/busybox"
  chroot "$root" /sbin/modprobe -S "$kver" --show-depends -a virtio_pci virtio_blk crc32c_generic ext4 |
    awk '$1 == "insmod" && !seen[$2]++ {print $2}' | while read -r m; do
      cp "$root$m" "$d/mods/" && basename "$m" >> "$d/mods/order"; done
  cat > "$d/init" <<'INIT'
#!/bin/busybox sh
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc; mount -t sysfs sysfs /sys; mount -t devtmpfs devtmpfs /dev
for m in $(cat /mods/order); do insmod /mods/$m 2>/dev/null; done
root=/dev/vda init=/sbin/init
for a in $(cat /proc/cmdline); do case $a in root=*) root=${a#root=} ;; init=*) init=${a#init=} ;; esac; done
i=0; while [ ! -b "$root" ] && [ $i -lt 1000 ]; do usleep 10000; i=$((i + 1)); done
mount -t ext4 -o rw "$root" /newroot || { echo "initrd: cannot mount $root"; exec sh; }
umount /proc /sys; mount --move /dev /newroot/dev
exec switch_root /newroot "$init"
INIT
  chmod 755 "$d/init"
  chroot "$root" sh -c 'cd /tmp/initrd.d && find . | cpio -o -H newc --quiet' > "$bench/initrd.img.tmp"
  mv "$bench/initrd.img.tmp" "$bench/initrd.img"; built=1
  echo "$initrd_stamp" > "$bench/initrd.img.stamp"
  rm -rf "$d"
fi

# 3b. the guest's own files, then the ext4 image (rebuilt when any input changed)
install -m 0755 "$here/guest-init" "$root/guest-init"
stamp=$( (cat "$here/build-image.sh" "$here/guest-init"; echo "$kver $pkgs") | sha256sum | cut -c1-16)
if [ ! -f "$img" ] || [ "$(cat "$img.stamp" 2>/dev/null)" != "$stamp" ] || [ -n "$force" ]; then
  mb=$(( $(du -sm "$root" | cut -f1) * 5 / 4 + 256 ))
  echo "build-image: mkfs.ext4 -d ($mb MiB, sparse)"
  rm -f "$img" "$img.stamp"
  mkfs.ext4 -q -F -L velmar-guest -d "$root" "$img.tmp" "${mb}M" >/dev/null
  mv "$img.tmp" "$img"
  echo "$stamp" > "$img.stamp"; built=1
fi
[ -n "$quiet" ] && [ -z "$built" ] && exit 0
echo "build-image: ready in ${SECONDS}s: $img ($(du -h --apparent-size "$img" | cut -f1) apparent, $(du -h "$img" | cut -f1) used), kernel $kver"

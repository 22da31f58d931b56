#!/usr/bin/env bash
# Boot the test guest (software emulation, no KVM needed), run a command in it as root, print the
# command's output and exit with its status. The disk is opened with snapshot=on: nothing persists.
# The guest has /dev/uhid, and dummy_hcd with two USB device controllers plus configfs for HID gadgets.
# Usage: run-guest.sh [options] [--] [COMMAND...]
#   COMMAND   one argument: a bash snippet ('cd build && ./tests'); several: one command, quoted as given.
#             Default: a look at the kernel's HID and gadget support
#   --share DIR    host folder shared read-write (virtio-9p) at /host and at DIR's own absolute path in the
#                  guest; the command starts there. Default: the current directory. --no-share: none.
#   --timeout SEC  wall-clock limit (default 600)   --mem MiB (default 1024)   --smp N (default: host cores, max 4)
#   --log FILE     full console log (default: a temp file, kept on failure)   -v  print the whole console
# Exit status: the command's; 124 on timeout; 125 when the guest never reported one (see the log).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bench=${VELMAR_GUEST_CACHE:-/tmp/velmar-kernel-guest}
share=$PWD timeout=600 mem=1024 smp=$(nproc) log="" verbose=0
[ "$smp" -gt 4 ] && smp=4
while [ $# -gt 0 ]; do
  case $1 in
    --share) share=$(cd "$2" && pwd); shift 2 ;;
    --no-share) share=""; shift ;;
    --timeout) timeout=$2; shift 2 ;;
    --mem) mem=$2; shift 2 ;;
    --smp) smp=$2; shift 2 ;;
    --log) log=$2; shift 2 ;;
    -v) verbose=1; shift ;;
    --) shift; break ;;
    -h|--help) sed -n '2,14p' "$0"; exit 0 ;;
    *) break ;;
  esac
done
# (Re)build the image when missing or stale (a few minutes the first time, well under a second after).
if [ "${VELMAR_GUEST_NO_BUILD:-0}" != 1 ]; then
  "$here/build-image.sh" -q >&2 || { echo "run-guest: build-image.sh failed" >&2; exit 125; }
fi
for f in vmlinux initrd.img disk.img; do
  [ -f "$bench/$f" ] || { echo "run-guest: $bench/$f missing; run $here/build-image.sh" >&2; exit 125; }
done
tmp=$(mktemp -d /tmp/velmar-guest-run.XXXXXX)
keep_log=0
cleanup() { [ $keep_log = 1 ] || rm -f "$tmp/console.log"; rm -f "$tmp/cmd.sh" "$tmp/hostpath"; rmdir "$tmp" 2>/dev/null || true; }
trap cleanup EXIT
[ -n "$log" ] || log=$tmp/console.log
if [ $# -eq 0 ]; then
  echo 'uname -r; ls -l /dev/uhid; ls /sys/class/udc /sys/kernel/config/usb_gadget' > "$tmp/cmd.sh"
elif [ $# -eq 1 ]; then
  printf '%s\n' "$1" > "$tmp/cmd.sh"
else
  printf '%q ' "$@" > "$tmp/cmd.sh"; echo >> "$tmp/cmd.sh"
fi
esc() { printf '%s' "${1//,/,,}"; }   # qemu option values: a comma is written twice
args=(-accel tcg,thread=multi -cpu max -m "$mem" -smp "$smp" -nodefaults -no-user-config -display none
      -serial stdio -no-reboot
      -kernel "$bench/vmlinux" -initrd "$bench/initrd.img"
      -append "root=/dev/vda rw console=ttyS0 init=/guest-init panic=-1 quiet ${VELMAR_GUEST_APPEND:-}"
      -drive "file=$(esc "$bench/disk.img"),format=raw,if=virtio,snapshot=on"
      -fw_cfg "name=opt/velmar-guest/cmd,file=$(esc "$tmp/cmd.sh")")
if [ -n "$share" ]; then
  printf '%s' "$share" > "$tmp/hostpath"
  args+=(-virtfs "local,path=$(esc "$share"),mount_tag=host,security_model=none"
         -fw_cfg "name=opt/velmar-guest/hostpath,file=$(esc "$tmp/hostpath")")
fi
start=$(date +%s%N)
: > "$log"
set +e
timeout -k 5 "$timeout" qemu-system-x86_64 "${args[@]}" </dev/null 2>&1 | {
  on=0
  while IFS= read -r line || [ -n "$line" ]; do
    line=${line%$'\r'}
    printf '%s\n' "$line" >> "$log"
    case $line in
      ===VELMAR-GUEST-CMD-BEGIN===) on=1; [ $verbose = 1 ] && printf '%s\n' "$line"; continue ;;
      ===VELMAR-GUEST-CMD-END\ rc=*) on=0; [ $verbose = 1 ] && printf '%s\n' "$line"; continue ;;
    esac
    if [ $on = 1 ] || [ $verbose = 1 ]; then printf '%s\n' "$line"; fi
  done
}
qrc=${PIPESTATUS[0]}
set -e
ms=$(( ($(date +%s%N) - start) / 1000000 )); wall=$((ms / 1000)).$(printf '%03d' $((ms % 1000)))
rc=$(sed -n 's/^===VELMAR-GUEST-CMD-END rc=\([0-9]*\)===$/\1/p' "$log" | tail -1)
t_init=$(sed -n 's/^guest-init: started at uptime \([0-9.]*\)s$/\1/p' "$log" | head -1)
t_cmd=$(sed -n 's/^guest-init: running command at uptime \([0-9.]*\)s$/\1/p' "$log" | head -1)
t_done=$(sed -n 's/^guest-init: command done at uptime \([0-9.]*\)s$/\1/p' "$log" | head -1)
echo "run-guest: wall ${wall}s; guest uptime at init ${t_init:-?}s, at command ${t_cmd:-?}s, after command ${t_done:-?}s" >&2
if [ "$qrc" = 124 ] || [ "$qrc" = 137 ]; then
  keep_log=1; echo "run-guest: timed out after ${timeout}s; console log: $log" >&2; exit 124
fi
if [ -z "$rc" ]; then
  keep_log=1; echo "run-guest: the guest reported no exit status (qemu exit $qrc); console log: $log" >&2
  tail -20 "$log" >&2; exit 125
fi
[ "$rc" = 0 ] || { keep_log=1; echo "run-guest: command exited $rc; console log: $log" >&2; }
exit "$rc"

#!/usr/bin/env bash
# Starts a private pcscd with vpcd virtual readers, for trying things by hand.
# Needs root (mount namespace). Never touches a system pcscd or real readers.
#
#   tools/testbed/pcscd-private.sh [PORT [NAME...]]
#
#   PORT   first vpcd port (default 35963); reader i listens on PORT+2i (and
#          PORT+2i+1 for its second, empty slot)
#   NAME   friendly names of the readers (default "Virtual PCD")
#
# Then, in another shell:
#   export PCSCLITE_CSOCK_NAME=<folder>/run/pcscd.comm    (printed below)
#   build/tools/cardsim/qorv-cardsim --port 35963 --protocol t0
#   pcsc_scan, opensc-tool -l, or the product
# Ctrl-C stops pcscd and removes the folder.
set -euo pipefail

port=${1:-35963}
shift || true
names=("$@")
((${#names[@]})) || names=("Virtual PCD")

driver=""
for candidate in /usr/lib/pcsc/drivers/serial/libifdvpcd.so /usr/lib64/pcsc/drivers/serial/libifdvpcd.so \
    /usr/local/lib/pcsc/drivers/serial/libifdvpcd.so; do
    [[ -e $candidate ]] && driver=$candidate && break
done
[[ -n $driver ]] || { echo "vpcd driver not found (Debian: vsmartcard-vpcd)" >&2; exit 1; }
[[ $(id -u) -eq 0 ]] || { echo "needs root: unshare -m and mount --bind" >&2; exit 1; }
usbdrivers=$(pkg-config --variable=usbdropdir libpcsclite 2>/dev/null || echo /usr/lib/pcsc/drivers)

folder=$(mktemp -d /tmp/qorv-pcscd.XXXXXX)
mkdir -p "$folder/run" "$folder/no-usb-drivers"

# One copy of the driver per reader: vpcd keeps its connections in
# driver-wide variables, and pcscd shares a driver among readers naming the same file.
: >"$folder/reader.conf"
for i in "${!names[@]}"; do
    cp "$driver" "$folder/vpcd-$i.so"
    cat >>"$folder/reader.conf" <<CONF
FRIENDLYNAME "${names[$i]}"
DEVICENAME   /dev/null:$((port + 2 * i))
LIBPATH      $folder/vpcd-$i.so

CONF
    echo "reader \"${names[$i]} 00 00\": qorv-cardsim --port $((port + 2 * i))"
done
echo "export PCSCLITE_CSOCK_NAME=$folder/run/pcscd.comm"

# pcscd 1.9.9 ignores PCSCLITE_CSOCK_NAME and always uses /run/pcscd: give it
# a private /run/pcscd (and an empty USB driver folder) in its own namespace.
mkdir -p /run/pcscd
unshare -m sh -c '
    mount --make-rprivate /
    mount --bind "$1/run" /run/pcscd
    if [ -d "$2" ]; then mount --bind "$1/no-usb-drivers" "$2"; fi
    exec pcscd -f -c "$1/reader.conf"' sh "$folder" "$usbdrivers" &
pcscd_pid=$!
stop() {
    kill -TERM "$pcscd_pid" 2>/dev/null || true
    wait "$pcscd_pid" 2>/dev/null || true
    rm -rf "$folder"
}
trap stop EXIT
trap 'exit 130' INT TERM
wait "$pcscd_pid"

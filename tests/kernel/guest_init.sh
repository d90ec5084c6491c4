#!/bin/busybox sh
# /init of the test VM's initramfs. Loads the USB gadget and HID modules, makes the emulated
# device a USB HID gadget on dummy_hcd through configfs and FunctionFS, runs the tool's command
# script against its hidraw node, and prints the results on the console between markers:
#   BRIMLO-RESULTS-BEGIN / BRIMLO-RESULTS-END   base64 of a gzip'ed tar of /results
#   BRIMLO-GUEST-PASS or BRIMLO-GUEST-FAIL <why>
# then powers the VM off. The host (run_kernel_test.sh) reads the console.

/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
# The initramfs has no /dev/console node, so the kernel could not give init a console.
exec < /dev/console > /dev/console 2>&1
mkdir -p /tmp /results
mount -t tmpfs tmpfs /tmp

say() { echo "BRIMLO: [$(cut -d' ' -f1 /proc/uptime) s] $*"; }

# Prints the results and ends the VM; never returns.
finish() {
    verdict="$1"
    dmesg > /results/dmesg.txt 2>&1
    cp /tmp/gadget.log /results/ 2>/dev/null
    # Keep late kernel messages out of the base64 block.
    echo 1 > /proc/sys/kernel/printk
    echo "BRIMLO-RESULTS-BEGIN"
    tar -C /results -cf - . | gzip -1 | base64
    echo "BRIMLO-RESULTS-END"
    echo "$verdict"
    say "powering off"
    sync
    poweroff -f
    sleep 10
}

fail() {
    say "$*"
    finish "BRIMLO-GUEST-FAIL $*"
}

# Waits up to $2 tenths of a second for the file $1.
wait_for() {
    tries=0
    while [ ! -e "$1" ]; do
        tries=$((tries + 1))
        [ "$tries" -gt "$2" ] && return 1
        sleep 0.1
    done
    return 0
}

say "guest up, kernel $(uname -r)"

# The modules in load order; the host left out those built into this kernel.
for module in $(cat /etc/brimlo/modules); do
    if [ -f "/lib/modules/$module.ko" ]; then
        insmod "/lib/modules/$module.ko" || fail "insmod $module failed"
    else
        say "module $module is built in"
    fi
done

mount -t configfs none /sys/kernel/config || fail "cannot mount configfs"

ids=$(/bin/brimlo-hid-gadget --ids --state /state) || fail "cannot read the device's identifiers"
set -- $ids
vid="$1"
pid="$2"
bcd="$3"
say "device ${vid}:${pid} bcdDevice ${bcd}"

gadget=/sys/kernel/config/usb_gadget/brimlo
mkdir "$gadget" || fail "cannot create the configfs gadget"
echo "$vid" > "$gadget/idVendor"
echo "$pid" > "$gadget/idProduct"
echo "$bcd" > "$gadget/bcdDevice"
echo 0x0200 > "$gadget/bcdUSB"
mkdir "$gadget/strings/0x409"
echo "Brimlo test" > "$gadget/strings/0x409/manufacturer"
echo "Emulated capture device" > "$gadget/strings/0x409/product"
echo "0001" > "$gadget/strings/0x409/serialnumber"
mkdir "$gadget/configs/c.1"
echo 100 > "$gadget/configs/c.1/MaxPower"
mkdir "$gadget/functions/ffs.hid" || fail "cannot create the FunctionFS function"
ln -s "$gadget/functions/ffs.hid" "$gadget/configs/c.1/" || fail "cannot link the function"

mkdir -p /dev/ffs-hid
mount -t functionfs hid /dev/ffs-hid || fail "cannot mount functionfs"
/bin/brimlo-hid-gadget --ffs /dev/ffs-hid --state /state --wire-log /tmp/wire.jsonl \
    --echo-report-id-0 > /tmp/gadget.log 2>&1 &
wait_for /dev/ffs-hid/ep1 300 || fail "the gadget did not write its descriptors"

udc=$(ls /sys/class/udc | head -n 1)
[ -n "$udc" ] || fail "no UDC (dummy_hcd) present"
say "binding to $udc"
echo "$udc" > "$gadget/UDC" || fail "cannot bind the gadget to $udc"

wait_for /dev/hidraw0 600 || fail "no hidraw node appeared"
say "hidraw node: $(ls /dev/hidraw*)"
# Requests the kernel made while binding are not the tool's.
wc -l < /tmp/wire.jsonl > /results/wire_skip

number=0
while IFS= read -r line; do
    number=$((number + 1))
    id=$(printf '%02d' "$number")
    set -- $line
    /bin/brimlo-hid --trace "/results/trace-$id.jsonl" "$@" \
        > "/results/out-$id.txt" 2> "/results/err-$id.txt"
    echo $? > "/results/rc-$id"
    say "command $id exit $(cat /results/rc-$id): $line"
done < /etc/brimlo/commands

# The gadget logs a request once it has answered it; let the last line land.
sleep 1
cp /tmp/wire.jsonl /tmp/wire-script.jsonl
# Every exchange of the script against the control requests that reached the device.
/bin/kernel_harness_tool check-wire --wire /tmp/wire-script.jsonl --skip "$(cat /results/wire_skip)" \
    /results/trace-*.jsonl > /results/check-wire.txt 2>&1
echo $? > /results/check-wire-rc
say "wire check exit $(cat /results/check-wire-rc)"

# The cases the script does not make, after it, so that the script's requests stay in order.
/bin/brimlo-hidraw-probe /dev/hidraw0 /tmp/wire.jsonl > /results/probe.txt 2>&1
echo $? > /results/probe-rc
say "hidraw probe exit $(cat /results/probe-rc)"

# The serial console carries some 80 KB/s under TCG, so the traces are compared here with the
# host's (in /expected) and only those that differ travel back, with the whole wire log when
# the wire check failed. The binding requests and the first exchanges always do.
for trace in /results/trace-*.jsonl; do
    name=$(basename "$trace" .jsonl)
    if cmp -s "$trace" "/expected/$name.jsonl"; then
        echo same > "/results/$name.verdict"
        rm "$trace"
    else
        echo different > "/results/$name.verdict"
    fi
done
head -n 40 /tmp/wire.jsonl > /results/wire-head.jsonl
grep -v '"request":9,"request_type":33\|"request":1,"request_type":161' /tmp/wire.jsonl \
    > /results/wire-other.jsonl
if [ "$(cat /results/check-wire-rc)" != 0 ]; then
    cp /tmp/wire-script.jsonl /results/wire.jsonl
fi

if [ -f /results/dump.bin ]; then
    sha256sum /results/dump.bin | cut -d' ' -f1 > /results/dump.sha256
    if cmp -s /results/dump.bin /image.bin; then
        echo same > /results/dump-vs-image
    else
        echo different > /results/dump-vs-image
    fi
    # The host gets the checksum and the verdict, not the bytes.
    rm /results/dump.bin
fi
finish "BRIMLO-GUEST-PASS"

#!/bin/busybox sh
# /init of the test VM's initramfs. Loads the USB gadget and HID modules, makes the emulated
# device a USB HID gadget on dummy_hcd through configfs and FunctionFS, runs the tool's command
# script against its hidraw node, then plugs a second gadget into dummy_hcd's second controller
# and runs the two-board part of the script on both boards at once. It prints the results on
# the console between markers:
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
    cp /tmp/gadget*.log /results/ 2>/dev/null
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

# The modules in load order, each with its parameters; the host left out those built into
# this kernel.
while read -r module parameters; do
    if [ -f "/lib/modules/$module.ko" ]; then
        insmod "/lib/modules/$module.ko" $parameters || fail "insmod $module $parameters failed"
    else
        say "module $module is built in"
    fi
done < /etc/brimlo/modules

# One configfs gadget with its own FunctionFS instance, served by its own gadget process:
#   make_gadget NUMBER SERIAL
# board NUMBER keeps its emulated state in /state/board-NUMBER and logs what reached it in
# /tmp/wire-NUMBER.jsonl.
make_gadget() {
    ids=$(/bin/brimlo-hid-gadget --ids --state "/state/board-$1") ||
        fail "cannot read board $1's identifiers"
    set -- "$1" "$2" $ids
    say "board $1: device $3:$4 bcdDevice $5, serial $2"
    gadget="/sys/kernel/config/usb_gadget/brimlo$1"
    mkdir "$gadget" || fail "cannot create the configfs gadget of board $1"
    echo "$3" > "$gadget/idVendor"
    echo "$4" > "$gadget/idProduct"
    echo "$5" > "$gadget/bcdDevice"
    echo 0x0200 > "$gadget/bcdUSB"
    mkdir "$gadget/strings/0x409"
    echo "Brimlo test" > "$gadget/strings/0x409/manufacturer"
    echo "Emulated capture device" > "$gadget/strings/0x409/product"
    echo "$2" > "$gadget/strings/0x409/serialnumber"
    mkdir "$gadget/configs/c.1"
    echo 100 > "$gadget/configs/c.1/MaxPower"
    mkdir "$gadget/functions/ffs.hid$1" || fail "cannot create board $1's FunctionFS function"
    ln -s "$gadget/functions/ffs.hid$1" "$gadget/configs/c.1/" ||
        fail "cannot link board $1's function"
    mkdir -p "/dev/ffs-hid$1"
    mount -t functionfs "hid$1" "/dev/ffs-hid$1" || fail "cannot mount board $1's functionfs"
    /bin/brimlo-hid-gadget --ffs "/dev/ffs-hid$1" --state "/state/board-$1" \
        --wire-log "/tmp/wire-$1.jsonl" --echo-report-id-0 > "/tmp/gadget-$1.log" 2>&1 &
    wait_for "/dev/ffs-hid$1/ep1" 300 || fail "board $1's gadget did not write its descriptors"
}

# bind_gadget NUMBER UDC HIDRAW: plugs board NUMBER into the controller UDC and waits for its
# hidraw node.
bind_gadget() {
    say "binding board $1 to $2"
    echo "$2" > "/sys/kernel/config/usb_gadget/brimlo$1/UDC" ||
        fail "cannot bind board $1 to $2"
    wait_for "$3" 600 || fail "no hidraw node appeared for board $1"
    say "board $1 is $3"
}

# dummy_hcd num=2: two controllers, each a bus of its own, board 1 on the first.
set -- $(ls /sys/class/udc)
[ $# -ge 2 ] || fail "dummy_hcd made $# UDCs, two are needed (num=2): $*"
udc1="$1"
udc2="$2"

mount -t configfs none /sys/kernel/config || fail "cannot mount configfs"
make_gadget 1 0001
bind_gadget 1 "$udc1" /dev/hidraw0
# Requests the kernel made while binding are not the tool's.
wc -l < /tmp/wire-1.jsonl > /results/wire_skip

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
cp /tmp/wire-1.jsonl /tmp/wire-script.jsonl
# Every exchange of the script against the control requests that reached the device.
/bin/kernel_harness_tool check-wire --wire /tmp/wire-script.jsonl --skip "$(cat /results/wire_skip)" \
    /results/trace-*.jsonl > /results/check-wire.txt 2>&1
echo $? > /results/check-wire-rc
say "wire check exit $(cat /results/check-wire-rc)"

# The two-board part: board 2 is plugged in now, and the script's "all:" lines run against
# both boards at once. Each board's share of the traces (split by its own wire log) must equal
# the host's run against that board alone.
if [ -s /etc/brimlo/commands-all ]; then
    wc -l < /tmp/wire-1.jsonl > /results/all-wire-skip-1
    make_gadget 2 0002
    bind_gadget 2 "$udc2" /dev/hidraw1
    wc -l < /tmp/wire-2.jsonl > /results/all-wire-skip-2
    number=0
    while IFS= read -r line; do
        number=$((number + 1))
        id=$(printf '%02d' "$number")
        set -- $line
        /bin/brimlo-hid --trace "/tmp/all-trace-$id.jsonl" "$@" \
            > "/results/out-all-$id.txt" 2> "/results/err-all-$id.txt"
        echo $? > "/results/rc-all-$id"
        say "two boards: command $id exit $(cat /results/rc-all-$id): $line"
    done < /etc/brimlo/commands-all
    sleep 1
    /bin/kernel_harness_tool check-wire \
        --wire /tmp/wire-1.jsonl --skip "$(cat /results/all-wire-skip-1)" \
        --wire /tmp/wire-2.jsonl --skip "$(cat /results/all-wire-skip-2)" \
        --split /tmp/all-board- /tmp/all-trace-*.jsonl > /results/check-wire-all.txt 2>&1
    echo $? > /results/check-wire-all-rc
    say "two boards: wire check exit $(cat /results/check-wire-all-rc)"
    for board in 1 2; do
        if cmp -s "/tmp/all-board-$board.jsonl" "/expected/all-board-$board.jsonl"; then
            echo same > "/results/all-board-$board.verdict"
        else
            echo different > "/results/all-board-$board.verdict"
            # The whole traces are megabytes; the first difference says enough.
            diff "/expected/all-board-$board.jsonl" "/tmp/all-board-$board.jsonl" 2>&1 |
                head -n 6 | cut -c1-300 > "/results/all-board-$board.diff"
        fi
        dump="/results/dump-000$board.bin"
        if [ -f "$dump" ]; then
            sha256sum "$dump" | cut -d' ' -f1 > "$dump.sha256"
            if cmp -s "$dump" /image-all.bin; then
                echo same > "$dump.vs-image"
            else
                echo different > "$dump.vs-image"
            fi
            rm "$dump"
        fi
    done
fi

# The cases the script does not make, after it, so that the script's requests stay in order.
/bin/brimlo-hidraw-probe /dev/hidraw0 /tmp/wire-1.jsonl > /results/probe.txt 2>&1
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
head -n 40 /tmp/wire-1.jsonl > /results/wire-head.jsonl
grep -v '"request":9,"request_type":33\|"request":1,"request_type":161' /tmp/wire-1.jsonl \
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

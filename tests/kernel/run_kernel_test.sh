#!/usr/bin/env bash
# The tool end to end through a real Linux USB and HID stack.
#
# A QEMU VM (TCG) boots Debian's own kernel with a busybox initramfs built here. Inside it the
# emulated device becomes a USB HID gadget (configfs + FunctionFS on dummy_hcd, answered by
# brimlo-hid-gadget), usbhid and hidraw bind to it, and brimlo-hid runs commands.txt against
# /dev/hidrawN. The same script runs on the host against the in-process emulated device
# (--simulate). Then a second gadget is plugged into dummy_hcd's second controller and the
# script's "all:" lines run against both boards at once (--all); on the host each board runs
# them alone (--sim-boards 2 --serial). The test passes when
#   - every command has the same exit code and the same output on both sides (device paths
#     aside; for --all, the worst board's exit code and an OK row per board),
#   - both sides' wire traces are identical, exchange for exchange; with two boards, each
#     board's share of the VM's traces equals the host's run against that board alone,
#   - every exchange of the VM's traces reached the device as the expected control request
#     with the expected bytes (kernel_harness_tool check-wire against the gadget's log; with
#     two boards, against both gadgets' logs, each exchange on its own board),
#   - the flash dump equals the burned image on both sides, and each board's dump of the
#     two-board part equals that part's image,
#   - the hidraw probe's cases (report ID 0, lengths past the gadget's limits, refusals) hold.
# A VM run that breaks down outside our code (no hidraw node, a transfer timing out in the
# gadget stack, no results on the console) is run once more; both outcomes are reported, and a
# second failure fails the test.
#
# usage: run_kernel_test.sh --cli BRIMLO_HID --gadget BRIMLO_HID_GADGET --probe BRIMLO_HIDRAW_PROBE
#                           --tool KERNEL_HARNESS_TOOL --work DIR --cache DIR
set -euo pipefail

SRC="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
CLI="" GADGET="" PROBE="" TOOL="" WORK="" CACHE=""
while [ $# -gt 0 ]; do
    case "$1" in
        --cli) CLI="$2"; shift 2 ;;
        --gadget) GADGET="$2"; shift 2 ;;
        --probe) PROBE="$2"; shift 2 ;;
        --tool) TOOL="$2"; shift 2 ;;
        --work) WORK="$2"; shift 2 ;;
        --cache) CACHE="$2"; shift 2 ;;
        *) echo "run_kernel_test: unknown argument $1" >&2; exit 2 ;;
    esac
done
for v in CLI GADGET PROBE TOOL WORK CACHE; do
    [ -n "${!v}" ] || { echo "run_kernel_test: --${v,,} is required" >&2; exit 2; }
done

# The modules the gadget side and the HID side need, in load order, and their parameters:
# dummy_hcd makes two controllers (a UDC and a bus each), one per board.
MODULES=(usb-common usbcore udc-core configfs libcomposite usb_f_fs dummy_hcd hid hid-generic usbhid)
declare -A MODULE_PARAMETERS=([dummy_hcd]="num=2")
# Seconds one VM run may take before it counts as broken down.
VM_TIMEOUT=${BRIMLO_KERNEL_VM_TIMEOUT:-300}

say() { echo "run_kernel_test: $*"; }
die() {
    echo "run_kernel_test: FAIL: $*" >&2
    exit 1
}
now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f s", b - a }'; }

T0=$(now)

# --- Tools ------------------------------------------------------------------------------------
for tool in qemu-system-x86_64 cpio gzip base64 dpkg-deb apt-get apt-cache ldd sha256sum cmp; do
    command -v "$tool" > /dev/null ||
        die "$tool is missing; scripts/deps.sh installs it (packages qemu-system-x86, cpio, busybox-static)"
done
BUSYBOX=/bin/busybox
[ -x "$BUSYBOX" ] || die "$BUSYBOX is missing; install busybox-static (scripts/deps.sh)"
if ldd "$BUSYBOX" > /dev/null 2>&1; then
    die "$BUSYBOX is linked dynamically; the initramfs needs busybox-static (scripts/deps.sh)"
fi
for binary in "$CLI" "$GADGET" "$PROBE" "$TOOL"; do
    [ -x "$binary" ] || die "$binary was not built"
done
# BRIMLO_KERNEL_COMMANDS names another command script, for trying a few commands by hand.
SCRIPT="${BRIMLO_KERNEL_COMMANDS:-$SRC/commands.txt}"
[ -f "$SCRIPT" ] || die "no command script $SCRIPT"
if grep -qE '^(flash|all):' "$SCRIPT" && ! "$CLI" flash --help > /dev/null 2>&1; then
    die "'brimlo-hid flash --help' fails: the flash commands the script needs are not built into $CLI"
fi
mkdir -p "$WORK" "$CACHE"

# --- Debian's kernel, fetched once into the cache ---------------------------------------------
# Module files may be .ko, .ko.xz, .ko.zst or .ko.gz; they are decompressed here, so the guest
# needs no decompressor. A module listed in modules.builtin is left out (it is in the kernel).
module_regex() { # usb-common -> /usb[-_]common\.ko(\.xz|\.zst|\.gz)?$
    printf '/%s\\.ko(\\.xz|\\.zst|\\.gz)?$' "$(printf '%s' "$1" | sed 's/[-_]/[-_]/g')"
}

fetch_kernel() {
    local package
    lookup() {
        apt-cache depends linux-image-amd64 2> /dev/null |
            awk '/Depends: linux-image-[0-9]/ { print $2; exit }' || true
    }
    package=$(lookup)
    if [ -z "$package" ] && [ ! -f "$CACHE/package" ] && [ "$(id -u)" -eq 0 ]; then
        say "apt-cache knows no linux-image-amd64; running apt-get update"
        apt-get update -qq || true
        package=$(lookup)
    fi
    if [ -z "$package" ]; then
        package=$(cat "$CACHE/package" 2> /dev/null) ||
            die "apt-cache depends linux-image-amd64 names no kernel package (apt-get update first?) and nothing is cached"
        say "apt-cache names no kernel package; using the cached $package"
    fi
    KDIR="$CACHE/$package"
    if [ -f "$KDIR/complete" ]; then
        say "kernel $package from the cache $KDIR"
        return
    fi
    rm -rf "$KDIR"
    mkdir -p "$KDIR/deb" "$KDIR/root" "$KDIR/modules"
    say "downloading $package"
    (cd "$KDIR/deb" && apt-get download -q "$package" 2>&1 | grep -v "^W: Download is performed unsandboxed") ||
        die "apt-get download $package failed"
    local deb list vmlinuz builtin module path
    deb=$(ls "$KDIR"/deb/*.deb) || die "apt-get download left no .deb"
    list=$(dpkg-deb --fsys-tarfile "$deb" | tar -t)
    vmlinuz=$(grep -E '^\./boot/vmlinuz-' <<< "$list" | head -n 1) || die "$package holds no vmlinuz"
    builtin=$(grep -E '/modules\.builtin$' <<< "$list" | head -n 1) || true
    local wanted=("$vmlinuz")
    [ -n "$builtin" ] && wanted+=("$builtin")
    for module in "${MODULES[@]}"; do
        path=$(grep -E "$(module_regex "$module")" <<< "$list" | head -n 1) || true
        [ -n "$path" ] && wanted+=("$path")
    done
    dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$KDIR/root" "${wanted[@]}"
    cp "$KDIR/root/$vmlinuz" "$KDIR/vmlinuz"
    : > "$KDIR/builtin.txt"
    for module in "${MODULES[@]}"; do
        path=$(grep -E "$(module_regex "$module")" <<< "$list" | head -n 1) || true
        if [ -z "$path" ]; then
            if [ -n "$builtin" ] && grep -qE "$(module_regex "$module")" "$KDIR/root/$builtin"; then
                echo "$module" >> "$KDIR/builtin.txt"
                continue
            fi
            die "$package has no module $module and does not build it in"
        fi
        case "$path" in
            *.ko) cp "$KDIR/root/$path" "$KDIR/modules/$module.ko" ;;
            *.ko.xz) xz -dc "$KDIR/root/$path" > "$KDIR/modules/$module.ko" ;;
            *.ko.zst) zstd -dcq "$KDIR/root/$path" > "$KDIR/modules/$module.ko" ;;
            *.ko.gz) gzip -dc "$KDIR/root/$path" > "$KDIR/modules/$module.ko" ;;
        esac
    done
    rm -rf "$KDIR/deb" "$KDIR/root"
    echo "$package" > "$CACHE/package"
    touch "$KDIR/complete"
}

T=$(now)
fetch_kernel
say "kernel ready ($(since "$T"))"

# --- The emulated device's configuration, the same on both sides ------------------------------
# FunctionFS sits on the composite gadget framework, whose ep0 buffer is 4096 bytes: it cuts
# a GET_REPORT's wLength above 4096 down to 4096 and refuses a longer SET_REPORT. The device's
# default flash data report of 4100 bytes cannot pass that, so the flash data channel here has
# reports of 1024 bytes (any length up to 4096 would do). A small flash chip (row 34, 256 KB)
# keeps the burn, its read-back and the dump to a few hundred exchanges each under TCG. In the
# VM board K is the only device on bus K (dummy_hcd's K-th controller), with the serial number
# 000K that guest_init.sh gives it, so the host's emulated boards name the same port and serial
# in `list`.
write_device_json() { # file, board number
    mkdir -p "$(dirname "$1")"
    cat > "$1" << EOF
{
  "chip_row": 34,
  "port": "$2-1",
  "serial": "000$2",
  "output_report_lengths": [1024, 64, 64],
  "input_report_lengths": [1024, 64, 64]
}
EOF
}

# --- The command script -----------------------------------------------------------------------
# One line per command with the placeholders still in place; "flash:" marks dropped. The
# "all:" lines, for both boards at once, go to a list of their own.
COMMANDS="$WORK/commands.list"
ALL_COMMANDS="$WORK/commands-all.list"
sed -e 's/#.*//' -e 's/^flash: *//' -e 's/[[:space:]]*$//' "$SCRIPT" | grep -v '^$' > "$WORK/script.list"
grep -v '^all:' "$WORK/script.list" > "$COMMANDS" || true
sed -n 's/^all: *//p' "$WORK/script.list" > "$ALL_COMMANDS"
COUNT=$(wc -l < "$COMMANDS")
ALL_COUNT=$(wc -l < "$ALL_COMMANDS")

# --- The host side ----------------------------------------------------------------------------
T=$(now)
HOST="$WORK/host"
rm -rf "$HOST"
write_device_json "$HOST/state/device.json" 1
read -r VID PID BCD FLASH_SIZE < <("$GADGET" --ids --state "$HOST/state") ||
    die "brimlo-hid-gadget --ids failed"
[ "$FLASH_SIZE" -gt 0 ] || die "the emulated device's chip row names no chip"
IMAGE="$WORK/image.bin"
"$TOOL" make-image "$IMAGE" "$FLASH_SIZE" || die "cannot make the burn image"
# The two-board part burns another image, so that board 1's second burn shows in its dump.
IMAGE_ALL="$WORK/image-all.bin"
"$TOOL" make-image "$IMAGE_ALL" "$FLASH_SIZE" 2 || die "cannot make the two-board burn image"

number=0
while IFS= read -r line; do
    number=$((number + 1))
    id=$(printf '%02d' "$number")
    line=${line//@IMAGE@/$IMAGE}
    line=${line//@DUMP@/$HOST/dump.bin}
    read -r -a words <<< "$line"
    set +e
    "$CLI" --simulate --sim-state "$HOST/state" --trace "$HOST/trace-$id.jsonl" "${words[@]}" \
        > "$HOST/out-$id.txt" 2> "$HOST/err-$id.txt"
    echo $? > "$HOST/rc-$id"
    set -e
done < "$COMMANDS"
say "host side: $COUNT commands against the in-process emulated device ($(since "$T"))"

# The two-board part: board 1 as the script left it, board 2 new. A command with --all runs
# against each board alone, which gives each board's expected share of the VM's traces; list
# runs against both.
T=$(now)
ALL="$HOST/all"
mkdir -p "$ALL/boards"
cp -a "$HOST/state" "$ALL/boards/board-1"
write_device_json "$ALL/boards/board-2/device.json" 2
number=0
while IFS= read -r line; do
    number=$((number + 1))
    id=$(printf '%02d' "$number")
    line=${line//@IMAGE@/$IMAGE_ALL}
    line=${line//@DIR@/$ALL}
    read -r -a words <<< "$line"
    set +e
    if [[ " $line " == *" --all "* ]]; then
        worst=0
        for board in 1 2; do
            "$CLI" --simulate --sim-boards 2 --sim-state "$ALL/boards" --serial "000$board" \
                --trace "$ALL/trace-$board-$id.jsonl" "${words[@]}" \
                > "$ALL/out-$board-$id.txt" 2> "$ALL/err-$board-$id.txt"
            rc=$?
            [ "$rc" -gt "$worst" ] && worst=$rc
        done
        echo "$worst" > "$ALL/rc-$id"
    else
        "$CLI" --simulate --sim-boards 2 --sim-state "$ALL/boards" "${words[@]}" \
            > "$ALL/out-$id.txt" 2> "$ALL/err-$id.txt"
        echo $? > "$ALL/rc-$id"
    fi
    set -e
done < "$ALL_COMMANDS"
for board in 1 2; do
    cat /dev/null "$ALL"/trace-$board-*.jsonl > "$ALL/board-$board.jsonl" 2> /dev/null || true
done
say "host side: $ALL_COUNT two-board commands, each board alone ($(since "$T"))"

# --- The initramfs ----------------------------------------------------------------------------
T=$(now)
ROOT="$WORK/initramfs"
rm -rf "$ROOT"
mkdir -p "$ROOT"/{bin,lib/modules,etc/brimlo,state,proc,sys,dev,tmp,results}
cp "$BUSYBOX" "$ROOT/bin/busybox"
cp "$SRC/guest_init.sh" "$ROOT/init"
chmod 755 "$ROOT/init"
for module in "${MODULES[@]}"; do
    echo "$module ${MODULE_PARAMETERS[$module]:-}"
done > "$ROOT/etc/brimlo/modules"
for module in "${MODULES[@]}"; do
    if [ -f "$KDIR/modules/$module.ko" ]; then
        cp "$KDIR/modules/$module.ko" "$ROOT/lib/modules/"
    fi
done
copy_program() { # binary, name in /bin; then every shared library it loads, at the same path
    if command -v strip > /dev/null; then
        strip -o "$ROOT/bin/$2" "$1"
    else
        cp "$1" "$ROOT/bin/$2"
    fi
    local library
    for library in $(ldd "$1" | awk '/=> \// { print $3 } /^[[:space:]]*\/[^ ]*ld-linux/ { print $1 }'); do
        mkdir -p "$ROOT$(dirname "$library")"
        cp -L "$library" "$ROOT$library"
    done
}
copy_program "$CLI" brimlo-hid
copy_program "$GADGET" brimlo-hid-gadget
copy_program "$PROBE" brimlo-hidraw-probe
copy_program "$TOOL" kernel_harness_tool
mkdir -p "$ROOT/expected"
cp "$HOST"/trace-*.jsonl "$ROOT/expected/"
cp "$ALL/board-1.jsonl" "$ROOT/expected/all-board-1.jsonl"
cp "$ALL/board-2.jsonl" "$ROOT/expected/all-board-2.jsonl"
write_device_json "$ROOT/state/board-1/device.json" 1
write_device_json "$ROOT/state/board-2/device.json" 2
cp "$IMAGE" "$ROOT/image.bin"
cp "$IMAGE_ALL" "$ROOT/image-all.bin"
sed -e 's|@IMAGE@|/image.bin|g' -e 's|@DUMP@|/results/dump.bin|g' "$COMMANDS" > "$ROOT/etc/brimlo/commands"
sed -e 's|@IMAGE@|/image-all.bin|g' -e 's|@DIR@|/results|g' "$ALL_COMMANDS" > "$ROOT/etc/brimlo/commands-all"
INITRAMFS="$WORK/initramfs.cpio.gz"
(cd "$ROOT" && find . | cpio -o -H newc --quiet | gzip -1) > "$INITRAMFS"
say "initramfs $(du -h "$INITRAMFS" | cut -f1) ($(since "$T"))"

# --- Comparison -------------------------------------------------------------------------------
# Device paths differ by nature: /dev/hidrawN in the VM, sim:<dir> on the host; so do the
# seconds a board took in the --all summary.
normalise() {
    sed -E -e 's#/dev/hidraw[0-9]+#<path>#g' -e 's#sim:[^ ",]*#<path>#g' \
        -e 's#  +[0-9]+\.[0-9]s( |$)# <seconds>\1#' "$1"
}

# What the VM's --all command should print: the host's summary header and each board's row
# from its run alone, in board order; the closing count line is left out here.
expected_all_summary() { # command number
    {
        head -n 1 "$ALL/out-1-$1.txt"
        sed -n 2p "$ALL/out-1-$1.txt"
        sed -n 2p "$ALL/out-2-$1.txt"
    } > "$ALL/expected-out-$1.txt"
    normalise "$ALL/expected-out-$1.txt"
}

# The two-board part's results; prints what differs, returns 0 when everything matches.
compare_all() {
    local guest="$1" problems=0 id number=0 board
    while IFS= read -r line; do
        number=$((number + 1))
        id=$(printf '%02d' "$number")
        local rc_host rc_guest
        rc_host=$(cat "$ALL/rc-$id")
        rc_guest=$(cat "$guest/rc-all-$id" 2> /dev/null || echo missing)
        if [ "$rc_host" != "$rc_guest" ]; then
            echo "two boards, command $id ($line): exit $rc_guest in the VM, $rc_host on the host"
            sed 's/^/    VM stderr: /' "$guest/err-all-$id.txt" 2> /dev/null | head -n 5
            problems=$((problems + 1))
        fi
        local expected
        if [[ " $line " == *" --all "* ]]; then
            expected=$(expected_all_summary "$id")
            if ! diff -q <(echo "$expected") <(normalise "$guest/out-all-$id.txt" | sed '$d') > /dev/null 2>&1 ||
                ! tail -n 1 "$guest/out-all-$id.txt" 2> /dev/null | grep -q '^2 boards: '; then
                echo "two boards, command $id ($line): the summary is not one row per board as each board alone gave:"
                diff <(echo "$expected") <(normalise "$guest/out-all-$id.txt" 2> /dev/null) | head -n 10 | sed 's/^/    /'
                problems=$((problems + 1))
            fi
        elif ! diff -q <(normalise "$ALL/out-$id.txt") <(normalise "$guest/out-all-$id.txt") > /dev/null 2>&1; then
            echo "two boards, command $id ($line): output differs"
            diff <(normalise "$ALL/out-$id.txt") <(normalise "$guest/out-all-$id.txt") | head -n 10 | sed 's/^/    /'
            problems=$((problems + 1))
        fi
    done < "$ALL_COMMANDS"
    sed 's/^/    /' "$guest/check-wire-all.txt" 2> /dev/null || true
    if [ "$(cat "$guest/check-wire-all-rc" 2> /dev/null)" != 0 ]; then
        echo "two boards: the VM's traces do not split into the two gadgets' wire logs"
        problems=$((problems + 1))
    fi
    # One board after the other would switch boards at most twice per command.
    local turns
    turns=$(sed -n 's/.* another.s \([0-9]*\) times$/\1/p' "$guest/check-wire-all.txt" 2> /dev/null)
    if [ "${turns:-0}" -le $((2 * ALL_COUNT)) ]; then
        echo "two boards: the exchanges switched boards ${turns:-no} times: the boards were not worked on at once"
        problems=$((problems + 1))
    fi
    for board in 1 2; do
        if [ ! -s "$ALL/board-$board.jsonl" ]; then
            echo "two boards: the host traced no exchange with board $board"
            problems=$((problems + 1))
        fi
        local verdict
        verdict=$(cat "$guest/all-board-$board.verdict" 2> /dev/null || echo missing)
        if [ "$verdict" != same ]; then
            echo "two boards: board $board's share of the VM's traces differs from the host's run against it alone ($verdict); first difference (host < > VM):"
            sed 's/^/    /' "$guest/all-board-$board.diff" 2> /dev/null
            problems=$((problems + 1))
        fi
    done
    if grep -q 'dump .*--all' "$ALL_COMMANDS"; then
        local image_sum dump
        image_sum=$(sha256sum "$IMAGE_ALL" | cut -d' ' -f1)
        for board in 1 2; do
            dump="dump-000$board.bin"
            if ! cmp -s "$ALL/$dump" "$IMAGE_ALL"; then
                echo "host side: board $board's dump differs from the two-board image"
                problems=$((problems + 1))
            fi
            if [ "$(cat "$guest/$dump.vs-image" 2> /dev/null)" != same ] ||
                [ "$(cat "$guest/$dump.sha256" 2> /dev/null)" != "$image_sum" ]; then
                echo "VM: board $board's dump differs from the two-board image ($(cat "$guest/$dump.vs-image" 2> /dev/null || echo no dump))"
                problems=$((problems + 1))
            fi
        done
    fi
    [ "$problems" -eq 0 ]
}

# Prints what differs; returns 0 when everything matches.
compare_sides() {
    local guest="$1" problems=0 id number=0
    while IFS= read -r line; do
        number=$((number + 1))
        id=$(printf '%02d' "$number")
        local rc_host rc_guest
        rc_host=$(cat "$HOST/rc-$id")
        rc_guest=$(cat "$guest/rc-$id" 2> /dev/null || echo missing)
        if [ "$rc_host" != "$rc_guest" ]; then
            echo "command $id ($line): exit $rc_guest in the VM, $rc_host on the host"
            sed 's/^/    VM stderr: /' "$guest/err-$id.txt" 2> /dev/null | head -n 5
            sed 's/^/    host stderr: /' "$HOST/err-$id.txt" | head -n 5
            problems=$((problems + 1))
        fi
        if ! diff -q <(normalise "$HOST/out-$id.txt") <(normalise "$guest/out-$id.txt") > /dev/null 2>&1; then
            echo "command $id ($line): output differs"
            diff <(normalise "$HOST/out-$id.txt") <(normalise "$guest/out-$id.txt") | head -n 10 | sed 's/^/    /'
            problems=$((problems + 1))
        fi
        # Identical empty traces would prove nothing: every command but list talks to the device.
        if [ "${line%% *}" != list ] && [ ! -s "$HOST/trace-$id.jsonl" ]; then
            echo "command $id ($line): the host side traced no exchange"
            problems=$((problems + 1))
        fi
        # The guest compared the traces with the host's and sent back those that differ.
        local verdict
        verdict=$(cat "$guest/trace-$id.verdict" 2> /dev/null || echo missing)
        if [ "$verdict" != same ]; then
            echo "command $id ($line): wire traces differ ($verdict); first difference (host < > VM):"
            diff "$HOST/trace-$id.jsonl" "$guest/trace-$id.jsonl" 2> /dev/null | head -n 4 | cut -c1-300 | sed 's/^/    /'
            problems=$((problems + 1))
        fi
    done < "$COMMANDS"
    sed 's/^/    /' "$guest/check-wire.txt" 2> /dev/null || true
    if [ "$(cat "$guest/check-wire-rc" 2> /dev/null)" != 0 ]; then
        echo "the VM's traces do not match what reached the device (wire log in $guest/wire.jsonl)"
        problems=$((problems + 1))
    fi
    if grep -q 'dump @DUMP@' "$COMMANDS"; then
        local image_sum
        image_sum=$(sha256sum "$IMAGE" | cut -d' ' -f1)
        if ! cmp -s "$HOST/dump.bin" "$IMAGE"; then
            echo "host side: the dump differs from the burned image"
            problems=$((problems + 1))
        fi
        if [ "$(cat "$guest/dump-vs-image" 2> /dev/null)" != same ] ||
            [ "$(cat "$guest/dump.sha256" 2> /dev/null)" != "$image_sum" ]; then
            echo "VM: the dump differs from the burned image ($(cat "$guest/dump-vs-image" 2> /dev/null || echo no dump))"
            problems=$((problems + 1))
        fi
    fi
    if [ "$ALL_COUNT" -gt 0 ]; then
        compare_all "$guest" || problems=$((problems + 1))
    fi
    sed 's/^/    /' "$guest/probe.txt" 2> /dev/null || true
    if [ "$(cat "$guest/probe-rc" 2> /dev/null)" != 0 ]; then
        echo "the hidraw probe failed (exit $(cat "$guest/probe-rc" 2> /dev/null || echo missing))"
        problems=$((problems + 1))
    fi
    [ "$problems" -eq 0 ]
}

# Signs that the USB stack, not our code, broke the run: the kernel giving up on a transfer,
# or the device dropping off the bus.
infrastructure_trouble() {
    local guest="$1"
    grep -qsE 'timed out|Protocol error|No such device|Input/output error|Cannot send after transport endpoint shutdown' \
        "$guest"/err-*.txt && return 0
    grep -qsE 'USB disconnect|timeout initializing reports|device descriptor read.*error|can.t set config' \
        "$guest/dmesg.txt" && return 0
    return 1
}

# One VM run. Returns 0 when it passed, 1 when our code failed, 2 when the run broke down.
run_vm() {
    local attempt="$1" dir="$WORK/vm-$1"
    rm -rf "$dir"
    mkdir -p "$dir/guest"
    local console="$dir/console.log" started
    started=$(now)
    set +e
    timeout "$VM_TIMEOUT" qemu-system-x86_64 -accel tcg -nodefaults -display none -no-reboot \
        -m 768 -smp 1 -serial "file:$console" \
        -kernel "$KDIR/vmlinuz" -initrd "$INITRAMFS" \
        -append "console=ttyS0 panic=-1 loglevel=4 rdinit=/init" < /dev/null > "$dir/qemu.log" 2>&1
    local qemu_rc=$?
    set -e
    say "VM attempt $attempt: qemu exited $qemu_rc after $(since "$started")"
    [ "$qemu_rc" -eq 124 ] && say "VM attempt $attempt: the VM did not finish within ${VM_TIMEOUT} s"
    grep -a '^BRIMLO: ' "$console" | tr -d '\r' | sed 's/^/    /' || true
    if ! grep -aq '^BRIMLO-RESULTS-END' "$console"; then
        say "VM attempt $attempt: no results on the console; its tail:"
        tail -n 30 "$console" | tr -d '\r' | sed 's/^/    /'
        cat "$dir/qemu.log" | sed 's/^/    qemu: /'
        return 2
    fi
    sed -n '/^BRIMLO-RESULTS-BEGIN/,/^BRIMLO-RESULTS-END/p' "$console" | tr -d '\r' | sed '1d;$d' |
        base64 -d | tar -xz -C "$dir/guest" || {
        say "VM attempt $attempt: the results block does not decode"
        return 2
    }
    local verdict
    verdict=$(grep -a '^BRIMLO-GUEST-' "$console" | tr -d '\r' | tail -n 1)
    say "VM attempt $attempt: $verdict"
    if [ "$verdict" != "BRIMLO-GUEST-PASS" ]; then
        tail -n 10 "$dir"/guest/gadget-*.log 2> /dev/null | sed 's/^/    gadget: /'
        tail -n 20 "$dir/guest/dmesg.txt" 2> /dev/null | sed 's/^/    dmesg: /'
        return 2
    fi
    if compare_sides "$dir/guest"; then
        say "VM attempt $attempt: both sides agree on all $COUNT commands and the $ALL_COUNT two-board ones"
        return 0
    fi
    if infrastructure_trouble "$dir/guest"; then
        say "VM attempt $attempt: the USB stack reported transfer trouble (see $dir/guest)"
        return 2
    fi
    return 1
}

outcome=0
run_vm 1 || outcome=$?
if [ "$outcome" -eq 2 ]; then
    say "VM attempt 1 broke down outside the compared results; running the VM once more"
    outcome=0
    run_vm 2 || outcome=$?
    [ "$outcome" -eq 0 ] && say "VM attempt 2 passed (attempt 1 had broken down: see $WORK/vm-1)"
fi
say "total $(since "$T0"); results under $WORK"
case "$outcome" in
    0) say "PASS" ;;
    1) die "the VM and the host disagree (see $WORK)" ;;
    *) die "the VM run broke down (see $WORK)" ;;
esac

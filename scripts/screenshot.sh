#!/usr/bin/env bash
# Takes a picture of the dialog at work: starts brimlo-hid-tool --simulate in a virtual X server
# (Xvfb), opens the device, reads the firmware-version register 0x54, the firmware version and
# the HDMI information, and saves the window as a PNG.
#   scripts/screenshot.sh [--mid-burn] OUT.png
# --mid-burn then identifies the flash, chooses a 4 MB burn file and takes the picture in the
# middle of its burn, with the emulated device answering slowly enough to catch it there.
# The tool comes from $BRIMLO_BUILD_DIR (default build/, built with scripts/build.sh --tools
# when missing). The emulated device lives in a temporary state directory.
set -euo pipefail

mid_burn=
if [ "${1:-}" = --mid-burn ]; then
    mid_burn=1
    shift
fi
if [ $# -ne 1 ]; then
    echo "usage: screenshot.sh [--mid-burn] OUT.png" >&2
    exit 2
fi
out=$(realpath -m "$1")
cd "$(dirname "$0")/.."
say() { echo "screenshot.sh: $*" >&2; }

. scripts/xvfb-screen.sh
install_screen_tools

build=${BRIMLO_BUILD_DIR:-build}
tool=$build/app/brimlo-hid-tool
if [ ! -x "$tool" ]; then
    [ "$build" = build ] || { say "no $tool: build it first"; exit 1; }
    ./scripts/build.sh --tools >&2
fi

work=$(mktemp -d)
xvfb_pid=
tool_pid=
cleanup() {
    [ -z "$tool_pid" ] || kill "$tool_pid" 2> /dev/null || true
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2> /dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

start_screen

if [ -n "$mid_burn" ]; then
    # 2 ms per report: the burn writes for about two seconds, then compares as long.
    mkdir -p "$work/sim"
    echo '{"faults": {"latency_us": 2000}}' > "$work/sim/device.json"
    # Its version bytes (28 to 31) read 01.02.03.04.
    head -c 4194304 /dev/urandom > "$work/firmware.bin"
    printf '\x04\x03\x02\x01' | dd of="$work/firmware.bin" bs=1 seek=28 conv=notrunc status=none
fi

# A fresh user configuration, so the Burn Area choice is the first run's.
XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work" \
    "$tool" --simulate --sim-state "$work/sim" > "$work/tool.log" 2>&1 &
tool_pid=$!
window=
for _ in $(seq 100); do
    window=$(xdotool search --name '^BRIMLO HID tool$' 2> /dev/null | head -n 1) || true
    [ -n "$window" ] && break
    kill -0 "$tool_pid" 2> /dev/null || { cat "$work/tool.log" >&2; say "the tool ended"; exit 1; }
    sleep 0.1
done
[ -n "$window" ] || { say "the window did not appear"; exit 1; }
xdotool windowmove "$window" 0 0
sleep 0.5

# The window has the template's proportions, so a control's place follows from its position in
# dialog units (332 x 358 for the whole window).
eval "$(xdotool getwindowgeometry --shell "$window")"
click() { # x y in dialog units: the control's centre
    xdotool mousemove --window "$window" $(($1 * WIDTH / 332)) $(($2 * HEIGHT / 358)) click 1
    sleep 0.3
}
click 221 16            # Open Device
click 109 62            # register "Addr : 0x"
xdotool key ctrl+a type 54
click 293 61            # Read
click 227 272           # Get FW Ver.
click 302 322           # Get HDMI Info.
if [ -n "$mid_burn" ]; then
    click 105 300       # Get ID
    click 309 173       # "..." of "Burn File:": the file dialog takes the typed path
    sleep 0.5
    xdotool type --delay 5 "$work/firmware.bin"
    xdotool key Return
    sleep 0.5
    click 166 300       # Burn
    sleep 0.7
fi
xdotool mousemove 0 0
sleep 0.5

mkdir -p "$(dirname "$out")"
import -window "$window" "$out"
say "wrote $out"

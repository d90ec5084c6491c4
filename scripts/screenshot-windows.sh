#!/usr/bin/env bash
# Takes a picture of the Windows dialog at work: starts brimlo-hid-tool.exe --simulate under
# Wine in a virtual X server (Xvfb), opens the device, reads the firmware-version register 0x54,
# the firmware version and the HDMI information, and saves the window as a PNG.
#   scripts/screenshot-windows.sh OUT.png
# The programs come from $BRIMLO_WINDOWS_BUILD_DIR (default build-windows/, built with
# scripts/build-windows.sh). The buttons are pressed by dialog_remote.exe, a small helper of the
# test tree, through the dialog's own control identifiers. Wine runs in a prefix of its own that
# draws the window frame itself, as there is no window manager.
set -euo pipefail

if [ $# -ne 1 ]; then
    echo "usage: screenshot-windows.sh OUT.png" >&2
    exit 2
fi
out=$(realpath -m "$1")
cd "$(dirname "$0")/.."
say() { echo "screenshot-windows.sh: $*" >&2; }

. scripts/xvfb-screen.sh
install_screen_tools

build=$(realpath -m "${BRIMLO_WINDOWS_BUILD_DIR:-build-windows}")
tool=$build/tree/win32/brimlo-hid-tool.exe
remote=$build/tree/tests/win32/dialog_remote.exe
for program in "$tool" "$remote"; do
    [ -f "$program" ] || { say "no $program: run scripts/build-windows.sh first"; exit 1; }
done

work=$(mktemp -d)
xvfb_pid=
tool_pid=
cleanup() {
    [ -z "$tool_pid" ] || kill "$tool_pid" 2> /dev/null || true
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2> /dev/null || true
    [ -z "${WINEPREFIX:-}" ] || wineserver --kill > /dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT

start_screen

export WINEPREFIX="$build/wineprefix-screen"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    say "creating the Wine prefix $WINEPREFIX"
    wineboot --init > /dev/null 2>&1 || true
    wineserver --wait
    # Without a window manager, Wine draws the caption and the frame itself.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f > /dev/null 2>&1
    wineserver --wait
fi

wine "$tool" --simulate --sim-state "Z:$work/sim" > "$work/tool.log" 2>&1 &
tool_pid=$!
window=
for _ in $(seq 200); do
    window=$(xdotool search --name '^BRIMLO HID tool$' 2> /dev/null | head -n 1) || true
    [ -n "$window" ] && break
    kill -0 "$tool_pid" 2> /dev/null || { cat "$work/tool.log" >&2; say "the tool ended"; exit 1; }
    sleep 0.1
done
[ -n "$window" ] || { say "the window did not appear"; exit 1; }
sleep 0.5

# Open Device, register address 54, Read, Get FW Ver., Get HDMI Info.
wine "$remote" click:1027 wait:200 text:1004:54 click:1006 click:1042 click:1043 wait:300
xdotool mousemove 0 0
sleep 0.5

mkdir -p "$(dirname "$out")"
import -window "$window" "$out"
say "wrote $out"

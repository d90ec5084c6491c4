#!/usr/bin/env bash
# Builds the tools, then starts the dialog (or the command-line tool when there is no display).
#   ./scripts/run.sh --simulate        the dialog on the built-in emulated device
#   ./scripts/run.sh --cli list        any brimlo-hid command line
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/build.sh >/dev/null

if [ "${1:-}" = "--cli" ]; then
    shift
    exec ./build/cli/brimlo-hid "$@"
fi
if [ -x ./build/app/brimlo-hid-gui ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
    exec ./build/app/brimlo-hid-gui "$@"
fi
if [ -x ./build/cli/brimlo-hid ]; then
    if [ "$#" -eq 1 ] && [ "$1" = "--simulate" ]; then set -- --simulate info; fi
    exec ./build/cli/brimlo-hid "$@"
fi
echo "Built. No front end yet; libraries and tests are in build/."

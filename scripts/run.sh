#!/usr/bin/env bash
# Builds the tools, then runs the command-line tool.
#   ./scripts/run.sh --simulate              device information from the built-in emulated device
#   ./scripts/run.sh --cli --simulate hdmi   any brimlo-hid command line
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/build.sh >/dev/null

if [ "${1:-}" = "--cli" ]; then shift; fi
if [ "$#" -eq 0 ]; then set -- --help; fi
if [ "$#" -eq 1 ] && [ "$1" = "--simulate" ]; then set -- --simulate info; fi
exec ./build/cli/brimlo-hid "$@"

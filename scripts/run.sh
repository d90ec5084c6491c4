#!/usr/bin/env bash
# Builds the tools (not the tests), then starts one of them with the arguments given.
#   ./scripts/run.sh --simulate                  the dialog on the built-in emulated device
#   ./scripts/run.sh --cli --simulate info       brimlo-hid, the command-line tool, with any
#   ./scripts/run.sh --cli list                  command line
set -euo pipefail
cd "$(dirname "$0")/.."

cli=false
if [ "${1:-}" = "--cli" ]; then
    cli=true
    shift
fi

# Step lines and build output go to stderr: stdout is the tool's own (--json).
./scripts/build.sh --tools >&2

if $cli; then
    echo "run.sh: build/cli/brimlo-hid $*" >&2
    exec ./build/cli/brimlo-hid "$@"
fi
if [ ! -x build/app/brimlo-hid-tool ]; then
    echo "run.sh: this checkout has no dialog yet; the command-line tool runs with: ./scripts/run.sh --cli $*" >&2
    exit 1
fi
echo "run.sh: build/app/brimlo-hid-tool $*" >&2
exec ./build/app/brimlo-hid-tool "$@"

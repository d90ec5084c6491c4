#!/usr/bin/env bash
# Builds everything and runs every test suite; exits non-zero on any failure. Arguments go to
# ctest (e.g. -R flash, -L kernel).
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/build.sh

preset=default
if [ "${CI:-}" = "true" ]; then preset=ci; fi
echo "test.sh: running the tests (ctest --preset $preset)"
# Widget tests run without a display.
export QT_QPA_PLATFORM=offscreen
ctest --preset "$preset" -j "$(nproc)" "$@"

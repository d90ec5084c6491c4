#!/usr/bin/env bash
# Installs what is missing, then configures and builds into build/.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/deps.sh

preset=default
if [ "${CI:-}" = "true" ]; then preset=ci; fi

cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"

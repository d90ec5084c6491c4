#!/usr/bin/env bash
# Installs the Debian packages that are missing, then configures build/ and builds it.
#   build.sh           everything: the tools, the tests, the fuzzer
#   build.sh --tools   the command-line tool and the dialog only; needs no test package
# Both use the same build/ (preset default, or ci when CI=true, where warnings are errors), so
# one after the other compiles nothing twice.
set -euo pipefail
cd "$(dirname "$0")/.."

case "${1:-}" in
    "") tools_only=false ;;
    --tools) tools_only=true ;;
    *)
        echo "usage: build.sh [--tools]" >&2
        exit 2
        ;;
esac
preset=default
if [ "${CI:-}" = "true" ]; then preset=ci; fi
say() { echo "build.sh: $*"; }
# ccache, when there is one, keeps the second build of a clean checkout short; paths below this
# folder are hashed relative to it, so another clone of the same commit hits too.
launcher=()
if command -v ccache > /dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
    export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
fi
# cmake's progress lines go to build/configure.log; its warnings and errors to the terminal.
configure() {
    mkdir -p build
    cmake --preset "$preset" "${launcher[@]}" "$@" > build/configure.log ||
        { say "configuring failed (cmake's progress lines: build/configure.log)"; exit 1; }
}

if $tools_only; then
    say "checking the Debian packages the tools need"
    ./scripts/deps.sh
    # A build/ that exists is kept as it is, tests and all; cmake --build configures it again
    # when a CMakeLists.txt changed.
    if [ ! -f build/build.ninja ]; then
        say "configuring build/ (preset $preset, without the tests)"
        configure -DBRIMLO_BUILD_TESTS=OFF
    fi
    targets=(brimlo-hid)
    if grep -q '^build brimlo-hid-tool:' build/build.ninja; then targets+=(brimlo-hid-tool); fi
    say "building ${targets[*]}"
    cmake --build --preset "$preset" --target "${targets[@]}"
else
    say "checking the Debian packages the tools and the tests need"
    ./scripts/deps.sh --tests
    say "configuring build/ (preset $preset, with the tests)"
    configure -DBRIMLO_BUILD_TESTS=ON
    say "building everything"
    cmake --build --preset "$preset"
fi

#!/bin/bash
# Cross-builds the Windows x86-64 library and its unit tests with mingw-w64 and runs the tests
# under Wine. Usage: scripts/build-windows.sh [build folder, default build-windows]
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-$root/build-windows}")"
jobs="${BRIMLO_JOBS:-2}"

need=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64-posix)
command -v wine >/dev/null || need+=(wine wine64)
[[ -d /usr/src/googletest ]] || need+=(googletest)
if ((${#need[@]})); then
    echo "Installing ${need[*]}"
    sudo=""
    [[ $(id -u) -eq 0 ]] || sudo=sudo
    $sudo apt-get install -y --no-install-recommends "${need[@]}"
fi

toolchain="$root/cmake/mingw-w64-x86_64.cmake"
mkdir -p "$build"

# GoogleTest from Debian's sources, built once with the same toolchain.
gtest="$build/googletest"
if [[ ! -f "$gtest/install/lib/cmake/GTest/GTestConfig.cmake" ]]; then
    echo "Building GoogleTest for Windows"
    cmake -S /usr/src/googletest -B "$gtest/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$gtest/install" \
        -Dgtest_disable_pthreads=OFF >/dev/null
    cmake --build "$gtest/build" -j"$jobs" >/dev/null
    cmake --install "$gtest/build" >/dev/null
fi

# One wineserver for the whole run, in a prefix of our own, started before the tests.
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
    echo "Creating the Wine prefix"
    # wineboot's exit status says little (it warns of the missing 32-bit Wine); the registry,
    # written when its server exits, says whether the prefix is there.
    wineboot --init >/dev/null 2>&1 || true
    wineserver --wait
    [[ -f "$WINEPREFIX/system.reg" ]] || { echo "wineboot could not create $WINEPREFIX" >&2; exit 1; }
fi
wineserver --persistent=600
trap 'wineserver --kill >/dev/null 2>&1 || true' EXIT
# Wine's device services start with the first program and live as long as the server; started
# here, they do not hold the output pipe of the first test, which ctest would wait on forever.
wine cmd.exe /c exit >/dev/null 2>&1 </dev/null

cmake -S "$root" -B "$build/tree" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_CROSSCOMPILING_EMULATOR=wine \
    -DGTest_DIR="$gtest/install/lib/cmake/GTest" -DBRIMLO_BUILD_GUI=OFF -DBRIMLO_WERROR=ON \
    >/dev/null
cmake --build "$build/tree" -j"$jobs"

# Each test program is one CTest entry; GoogleTest's own summary lines count the cases.
log="$build/tree/ctest-wine.log"
if ! ctest --test-dir "$build/tree" -j"$jobs" -V >"$log" 2>&1; then
    cat "$log"
    exit 1
fi
grep -E '^[0-9]+/[0-9]+ Test|tests passed' "$log"
passed=$(grep -oE '\[  PASSED  \] [0-9]+ test' "$log" | awk '{sum += $4} END {print sum + 0}')
echo "Windows unit tests passed under Wine: $passed"

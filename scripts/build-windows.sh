#!/bin/bash
# Cross-builds the Windows x86-64 library, brimlo-hid.exe, the dialog brimlo-hid-tool.exe and
# the unit tests with mingw-w64, runs the tests (the dialog's in-process, on Wine's null display
# driver) and the tool against the emulated device under Wine, checks the DLLs both programs
# import and packs brimlo-hid-<version>-windows-x86_64.zip.
# Usage: scripts/build-windows.sh [build folder, default build-windows]
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-$root/build-windows}")"
jobs="${BRIMLO_JOBS:-2}"

need=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64-posix)
command -v wine >/dev/null || need+=(wine wine64)
[[ -d /usr/src/googletest ]] || need+=(googletest)
command -v zip >/dev/null || need+=(zip)
if ((${#need[@]})); then
    echo "Installing ${need[*]}"
    sudo=""
    [[ $(id -u) -eq 0 ]] || sudo=sudo
    $sudo apt-get install -y --no-install-recommends "${need[@]}"
fi

toolchain="$root/cmake/mingw-w64-x86_64.cmake"
mkdir -p "$build"
# ccache, when there is one, keeps the second build of a clean checkout short.
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
    export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=true
fi

# GoogleTest from Debian's sources, built once with the same toolchain.
gtest="$build/googletest"
if [[ ! -f "$gtest/install/lib/cmake/GTest/GTestConfig.cmake" ]]; then
    echo "Building GoogleTest for Windows"
    cmake -S /usr/src/googletest -B "$gtest/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$gtest/install" \
        -Dgtest_disable_pthreads=OFF "${launcher[@]}" >/dev/null
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
# The dialog's tests create windows: Wine's null display driver gives them a desktop without a
# screen.
if ! grep -q '"Graphics"="null"' "$WINEPREFIX/user.reg"; then
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
    wineserver --wait
fi
wineserver --persistent=600
trap 'wineserver --kill >/dev/null 2>&1 || true' EXIT
# Wine's device services start with the first program and live as long as the server; started
# here, they do not hold the output pipe of the first test, which ctest would wait on forever.
wine cmd.exe /c exit >/dev/null 2>&1 </dev/null

# Optimised as the Linux build, without its debug information: Windows' debuggers cannot read
# DWARF, and it makes the build much slower.
cmake -S "$root" -B "$build/tree" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_CROSSCOMPILING_EMULATOR=wine \
    -DGTest_DIR="$gtest/install/lib/cmake/GTest" -DBRIMLO_BUILD_GUI=OFF -DBRIMLO_WERROR=ON \
    "${launcher[@]}" >/dev/null
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

exe="$build/tree/cli/brimlo-hid.exe"
[[ -f "$exe" ]] || { echo "The build made no $exe" >&2; exit 1; }

dialog="$build/tree/win32/brimlo-hid-tool.exe"
[[ -f "$dialog" ]] || { echo "The build made no $dialog" >&2; exit 1; }

# Both programs run on a bare Windows: they may import only Windows' own DLLs. The tool needs
# the HID, SetupAPI, configuration manager and CNG (SHA-256) DLLs, kernel32 and the C runtime;
# the dialog the window system's too.
check_imports() {
    local program="$1" allowed="$2"
    local imports unexpected
    imports=$(x86_64-w64-mingw32-objdump -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p')
    unexpected=$(grep -viE "^($allowed|kernel32|msvcrt|api-ms-win-crt-[a-z0-9-]+)\.dll\$" \
        <<<"$imports" || true)
    if [[ -n "$unexpected" ]]; then
        echo "$(basename "$program") imports DLLs a bare Windows may lack:" $unexpected >&2
        exit 1
    fi
    echo "$(basename "$program") imports:" $imports
}
check_imports "$exe" 'hid|setupapi|cfgmgr32|bcrypt'
check_imports "$dialog" 'hid|setupapi|cfgmgr32|bcrypt|user32|gdi32|comctl32|comdlg32|advapi32|shell32'

# End to end under Wine, against the emulated device: an image of every byte value (0x0A and
# 0x1A among them, which text-mode files would change or stop at) burned over the Entire
# Flash, verified, and dumped back byte for byte.
e2e="$build/e2e"
rm -rf "$e2e"
mkdir -p "$e2e"
tool() { wine "$exe" --simulate --sim-state "Z:$e2e/state" "$@" </dev/null; }
tool flash id
flash_size=$(tool --json flash id | sed -n 's/.*"flash_size":\([0-9]*\).*/\1/p')
[[ -n "$flash_size" ]] || { echo "flash id --json named no flash_size" >&2; exit 1; }
python3 - "$e2e/image.bin" "$flash_size" <<'PYTHON'
import sys
size = int(sys.argv[2])
with open(sys.argv[1], "wb") as image:
    image.write((bytes(range(256)) * (size // 256 + 1))[:size])
PYTHON
tool flash burn "Z:$e2e/image.bin" 2>"$e2e/burn.log" || { cat "$e2e/burn.log" >&2; exit 1; }
tool flash verify "Z:$e2e/image.bin"
tool flash dump "Z:$e2e/dump.bin" 2>"$e2e/dump.log" || { cat "$e2e/dump.log" >&2; exit 1; }
cmp "$e2e/image.bin" "$e2e/dump.bin"
echo "Under Wine: flash id, an Entire Flash burn of $flash_size bytes, verify, and a dump equal to the image"

# Four emulated boards, one picked by its port.
picked=$(wine "$exe" --simulate --sim-state "Z:$e2e/boards" --sim-boards 4 --port 1-3 --json \
    flash id --all </dev/null 2>/dev/null | tr -d '\r')
if ! grep -q '"port":"1-3","result":"ok"' <<<"$picked" || ! grep -q '"boards":1,' <<<"$picked"; then
    echo "--port 1-3 did not pick the one board in port 1-3 of 4: $picked" >&2
    exit 1
fi
echo "Under Wine: --port 1-3 picked one of 4 emulated boards"

# The station: four emulated boards plugged in one after another, each burned as it comes, the
# log (its name not in ASCII) a line for each with the image's SHA-256 (Windows' own, checked
# against sha256sum's).
station_log="$e2e/station-журнал.log"
python3 - "$e2e/station.bin" <<'PYTHON'
import sys
with open(sys.argv[1], "wb") as image:
    image.write(bytes((i * 11 + i // 1000) & 0xFF for i in range(128 * 1024)))
PYTHON
wine "$exe" --simulate --sim-state "Z:$e2e/station" --sim-boards 4 \
    --sim-hotplug 0:+1,0.2:+2,0.4:+3,0.6:+4 station burn "Z:$e2e/station.bin" --count 4 \
    --log "Z:$station_log" </dev/null >"$e2e/station.out" 2>&1 ||
    { cat "$e2e/station.out" >&2; exit 1; }
sha=$(sha256sum "$e2e/station.bin" | cut -d' ' -f1)
for port in 1-1 1-2 1-3 1-4; do
    if ! grep -q "\"image_sha256\":\"$sha\",\"job\":\"burn\".*\"port\":\"$port\",\"result\":\"ok\"" \
        "$station_log"; then
        echo "The station log has no ok burn of $sha in port $port:" >&2
        cat "$station_log" >&2
        exit 1
    fi
done
if (($(wc -l <"$station_log") != 4)); then
    echo "The station log should have 4 lines:" >&2
    cat "$station_log" >&2
    exit 1
fi
echo "Under Wine: station burn of 4 boards plugged one after another, a log line each"

# Wine's own virtual HID devices, through SetupAPI and hid.dll: the Windows stack lists them
# (none of them is the device, so "none found" is no failure).
list_code=0
wine "$exe" list </dev/null || list_code=$?
if ((list_code != 0 && list_code != 3)); then
    echo "brimlo-hid.exe list failed under Wine (exit code $list_code)" >&2
    exit 1
fi

version=$(sed -n 's/^project(brimlo-hid VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
tool_version=$(wine "$exe" --version </dev/null | tr -d '\r')
if [[ "$tool_version" != "brimlo-hid $version" ]]; then
    echo "brimlo-hid.exe --version says '$tool_version', the project is $version" >&2
    exit 1
fi
dialog_version=$(wine "$dialog" --version </dev/null | tr -d '\r')
if [[ "$dialog_version" != "brimlo-hid-tool $version" ]]; then
    echo "brimlo-hid-tool.exe --version says '$dialog_version', the project is $version" >&2
    exit 1
fi
package="$build/brimlo-hid-$version-windows-x86_64.zip"
staging="$build/package"
rm -rf "$staging" "$package"
mkdir -p "$staging"
x86_64-w64-mingw32-strip -o "$staging/brimlo-hid.exe" "$exe"
x86_64-w64-mingw32-strip -o "$staging/brimlo-hid-tool.exe" "$dialog"
cp "$root/README.md" "$root/LICENSE" "$staging/"
(cd "$staging" && zip -q -X "$package" brimlo-hid.exe brimlo-hid-tool.exe README.md LICENSE)
echo "Packed $package"

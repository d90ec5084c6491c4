#!/usr/bin/env bash
# Installs the Debian 12 packages that are missing, and only those.
#   deps.sh           what building and running the tools needs
#   deps.sh --tests   that, and what building and running the tests needs
# As root it runs apt-get, otherwise sudo apt-get; without sudo it names the packages and the
# command that installs them, and fails.
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev
    libcli11-dev nlohmann-json3-dev libudev-dev libssl-dev
)
case "${1:-}" in
    "") ;;
    --tests)
        packages+=(
            libgtest-dev libgmock-dev
            # The report-descriptor fuzzer: clang and its libFuzzer and sanitizer runtimes.
            clang libclang-rt-14-dev
            # The VM test (tests/kernel): QEMU, the initramfs, the kernel's compressed modules.
            qemu-system-x86 busybox-static cpio xz-utils
            # The Python module and its tests.
            pybind11-dev python3-dev python3-pytest
        )
        ;;
    *)
        echo "usage: deps.sh [--tests]" >&2
        exit 2
        ;;
esac

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2> /dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ "${#missing[@]}" -eq 0 ] && exit 0

install=(apt-get install -y -q --no-install-recommends "${missing[@]}")
as_root=()
if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo > /dev/null; then
        echo "deps.sh: missing Debian packages: ${missing[*]}; as root, run: apt-get update && ${install[*]}" >&2
        exit 1
    fi
    as_root=(sudo)
fi
# apt's many lines go to a log, shown when something fails.
log=$(mktemp "${TMPDIR:-/tmp}/brimlo-deps.XXXXXX.log")
echo "deps.sh: installing ${missing[*]} (apt-get log: $log)"
if ! { "${as_root[@]}" apt-get update -q && "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive "${install[@]}"; } > "$log" 2>&1; then
    tail -n 25 "$log" >&2
    echo "deps.sh: apt-get failed; the whole log is $log" >&2
    exit 1
fi
rm -f "$log"

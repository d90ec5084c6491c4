#!/usr/bin/env bash
# Builds the .deb, installs it on this machine with apt-get, runs both tools from the installed
# paths, checks where the files went, runs lintian on the package, then purges it and checks
# that nothing of it is left. Needs root (apt-get); CI runs it after the tests.
#
#   BRIMLO_BUILD_DIR   configured build tree to package (default build; built here if needed)
set -euo pipefail
cd "$(dirname "$0")/.."

say() { echo "package-check: $*"; }
die() {
    echo "package-check: FAILED: $*" >&2
    exit 1
}

[ "$(id -u)" -eq 0 ] || die "needs root (apt-get install and purge); run it with sudo"

build=$(realpath -m "${BRIMLO_BUILD_DIR:-build}")
package=brimlo-hid-tool
started=$(date +%s)
step_started=$started
step() {
    local now
    now=$(date +%s)
    say "($((now - step_started)) s) done"
    step_started=$now
    say "$*"
}

say "building the package in $build"
if [ ! -f "$build/CMakeCache.txt" ]; then
    preset=default
    if [ "${CI:-}" = "true" ]; then preset=ci; fi
    cmake --preset "$preset" -B "$build" > /dev/null
fi
# What the package holds; cpack then builds the rest of the tree unless it was configured with
# CMAKE_SKIP_INSTALL_ALL_DEPENDENCY (after test.sh nothing is left to build).
targets=(brimlo-hid brimlo-hid-tool brimlo_cli_docs brimlo_dialog_docs brimlo_changelog)
# The Python module, where pybind11 was found; it is then checked like the tools.
python_module=false
if grep -q "brimlo_hid_python" "$build/build.ninja"; then
    targets+=(brimlo_hid_python)
    python_module=true
fi
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || die "no project version in $build/CMakeCache.txt"
arch=$(dpkg --print-architecture)
deb=$build/${package}_${version}_${arch}.deb
rm -f "$build"/${package}_*.deb
(cd "$build" && cpack -G DEB > cpack.log) || {
    cat "$build/cpack.log" >&2
    die "cpack failed"
}
[ -f "$deb" ] || die "cpack did not write $deb"
say "$deb: $(dpkg-deb --field "$deb" Depends)"

step "lintian"
if ! command -v lintian > /dev/null; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends lintian \
        > /dev/null
fi
# Errors fail the check; the warnings left are listed in the README.
lintian --fail-on error --info "$deb" || die "lintian found errors in $deb"

step "installing with apt-get"
if dpkg -s "$package" > /dev/null 2>&1; then
    apt-get purge -y -q "$package" > /dev/null
fi
sim=$(mktemp -d)
installed=false
# A failed check leaves this machine as it found it.
cleanup() {
    rm -rf "$sim"
    if $installed; then apt-get purge -y -q "$package" > /dev/null || true; fi
}
trap cleanup EXIT
DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$deb" > /dev/null
installed=true
files=$(dpkg -L "$package")

step "running the installed tools"
expect_output() {  # expect_output TEXT COMMAND...: the command succeeds and prints TEXT
    local text=$1 out
    shift
    out=$("$@") || die "'$*' failed: $out"
    [[ $out == *"$text"* ]] || die "'$*' printed '$out', not '$text'"
    say "$* -> ${out%%$'\n'*}"
}
expect_output "brimlo-hid $version" /usr/bin/brimlo-hid --version
expect_output "Device Name" /usr/bin/brimlo-hid --simulate --sim-state "$sim" flash id
QT_QPA_PLATFORM=offscreen expect_output "brimlo-hid-tool $version" /usr/bin/brimlo-hid-tool --version
# This machine may lack the board or a seat: doctor may find problems (exit 1), but it must
# find the installed rule and say OK or PROBLEM on every line.
set +e
doctor=$(/usr/bin/brimlo-hid doctor)
doctor_exit=$?
set -e
echo "$doctor" | sed 's/^/    /'
[ "$doctor_exit" -le 1 ] || die "brimlo-hid doctor exited $doctor_exit"
grep -q "^OK  *.*/usr/lib/udev/rules.d/70-brimlo-hid.rules grants access" <<< "$doctor" ||
    die "doctor does not see the installed udev rule"
! grep -v -q -E "^(OK|PROBLEM) " <<< "$doctor" || die "doctor printed a line without OK/PROBLEM"

if $python_module; then
    # A fresh interpreter that sees neither the build tree nor a user's site-packages.
    out=$(env -i PATH=/usr/bin:/bin /usr/bin/python3 -I - "$sim" << 'EOF'
import sys
import brimlo_hid
assert brimlo_hid.__file__.startswith("/usr/lib/python3/dist-packages/"), brimlo_hid.__file__
with brimlo_hid.open(simulate=True, sim_state=sys.argv[1]) as dev:
    dev.reg_write(0x03FF0000, 0xF6000000)
    assert dev.reg_read(0x03FF0000) == 0xF6000000
    print(dev.fw_version(), dev.flash.id().name, brimlo_hid.__file__)
EOF
    ) || die "the installed Python module failed: $out"
    say "python3 -I: brimlo_hid -> $out"
fi

step "checking where dpkg put the files"
for expected in \
    /usr/bin/brimlo-hid \
    /usr/bin/brimlo-hid-tool \
    /usr/lib/udev/rules.d/70-brimlo-hid.rules \
    /usr/share/applications/brimlo-hid-tool.desktop \
    /usr/share/icons/hicolor/scalable/apps/brimlo-hid-tool.svg \
    /usr/share/icons/hicolor/{16x16,24x24,32x32,48x48,64x64,128x128,256x256}/apps/brimlo-hid-tool.png \
    /usr/share/man/man1/brimlo-hid.1.gz \
    /usr/share/man/man1/brimlo-hid-tool.1.gz \
    /usr/share/bash-completion/completions/brimlo-hid \
    /usr/share/doc/$package/copyright \
    /usr/share/doc/$package/changelog.gz \
    /usr/share/doc/$package/README.md; do
    grep -qx "$expected" <<< "$files" || die "dpkg -L $package does not list $expected"
    [ -f "$expected" ] || die "$expected is listed but not installed"
done
if $python_module; then
    suffix=$(/usr/bin/python3 -c 'import sysconfig; print(sysconfig.get_config_var("EXT_SUFFIX"))')
    for expected in /usr/lib/python3/dist-packages/brimlo_hid{$suffix,.pyi}; do
        grep -qx "$expected" <<< "$files" || die "dpkg -L $package does not list $expected"
    done
fi
for page in brimlo-hid brimlo-hid-tool; do
    warnings=$(MANWIDTH=80 man --warnings -l "/usr/share/man/man1/$page.1.gz" 2>&1 > /dev/null)
    [ -z "$warnings" ] || die "man page $page: $warnings"
done
if command -v desktop-file-validate > /dev/null; then
    desktop-file-validate /usr/share/applications/brimlo-hid-tool.desktop
fi

step "purging"
apt-get purge -y -q "$package" > /dev/null
installed=false
left=""
while IFS= read -r path; do
    # Folders shared with other packages (/usr/bin, the icon theme) stay; the package's own go.
    if [ -e "$path" ] && { [ ! -d "$path" ] || [[ $path == *"/$package" ]]; }; then
        left+=" $path"
    fi
done <<< "$files"
[ -z "$left" ] || die "left behind after purge:$left"
! dpkg -s "$package" > /dev/null 2>&1 || die "dpkg still knows $package"

step "all checks passed in $(($(date +%s) - started)) s"

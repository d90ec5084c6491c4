#!/usr/bin/env bash
# Tries the README's quick start as a new user would: in a fresh Debian 12 minbase root (plus
# git and ca-certificates), on the committed checkout, as root, exactly
#   ./scripts/run.sh --cli --simulate info
#   ./scripts/test.sh
# The root is made with debootstrap once and kept as /var/cache/brimlo-hid/fresh-root.tar.gz,
# outside the checkout so that every clone on this machine reuses it; each run unpacks it anew
# under build/fresh-check/. Needs root (debootstrap, chroot, mounts) and the network.
#
#   BRIMLO_FRESH_DIR     folder for the work tree (default build)
#   BRIMLO_FRESH_CACHE   folder for the cached root (default /var/cache/brimlo-hid)
#   BRIMLO_DEBIAN_MIRROR Debian mirror (default: the one this machine's apt uses)
set -euo pipefail
cd "$(dirname "$0")/.."
checkout=$PWD

say() { echo "fresh-check: $*"; }
die() {
    echo "fresh-check: $*" >&2
    exit 1
}

[ "$(id -u)" -eq 0 ] || die "needs root (debootstrap, chroot and mounts); run it with sudo"
git -C "$checkout" rev-parse --verify -q HEAD > /dev/null || die "$checkout has no commit to copy"

dir=$(realpath -m "${BRIMLO_FRESH_DIR:-build}")
cache_dir=$(realpath -m "${BRIMLO_FRESH_CACHE:-/var/cache/brimlo-hid}")
cache=$cache_dir/fresh-root.tar.gz
work=$dir/fresh-check
root=$work/root

started=$(date +%s)
step_started=$started
report=()
# Ends a step: prints its time and keeps it for the summary.
done_step() {
    local now
    now=$(date +%s)
    report+=("$(printf '%-40s %4d s' "$1" $((now - step_started)))")
    say "$1: $((now - step_started)) s"
    step_started=$now
}
summary() {
    local line
    for line in "${report[@]}"; do say "  $line"; done
    say "  $(printf '%-40s %4d s' total $(($(date +%s) - started)))"
}

mounted=()
cleanup() {
    local status=$? i unmounted=true
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        umount -R "${mounted[i]}" 2> /dev/null || umount -R -l "${mounted[i]}" || {
            echo "fresh-check: cannot unmount ${mounted[i]}" >&2
            unmounted=false
        }
    done
    if [ "$status" -ne 0 ]; then
        summary
        say "FAILED (exit $status); the root stays in $root"
    elif $unmounted; then
        rm -rf --one-file-system "$root"
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

debian_mirror() {
    if [ -n "${BRIMLO_DEBIAN_MIRROR:-}" ]; then
        echo "$BRIMLO_DEBIAN_MIRROR"
        return
    fi
    local found
    found=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources \
        2> /dev/null | grep -v '^[[:space:]]*#' | grep -oE 'https?://[^[:space:]]+/debian/?([[:space:]]|$)' |
        head -n 1 | tr -d '[:space:]') || true
    echo "${found:-http://deb.debian.org/debian}"
}

make_root() {
    if ! command -v debootstrap > /dev/null; then
        say "installing debootstrap"
        apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
            debootstrap debian-archive-keyring > /dev/null
    fi
    local mirror fresh=$work/new-root
    mirror=$(debian_mirror)
    say "debootstrap bookworm (minbase, git, ca-certificates) from $mirror"
    rm -rf "$fresh"
    mkdir -p "$fresh"
    debootstrap --variant=minbase --include=git,ca-certificates bookworm "$fresh" "$mirror" \
        > "$work/debootstrap.log" 2>&1 || {
        tail -n 20 "$work/debootstrap.log" >&2
        die "debootstrap failed (log: $work/debootstrap.log)"
    }
    # Services that packages would start belong to no running system here.
    printf '#!/bin/sh\nexit 101\n' > "$fresh/usr/sbin/policy-rc.d"
    chmod 755 "$fresh/usr/sbin/policy-rc.d"
    rm -rf "$fresh/var/cache/apt/archives"/*.deb "$fresh/var/lib/apt/lists"/*_Packages
    tar -C "$fresh" -czf "$cache.part" .
    mv "$cache.part" "$cache"
    rm -rf "$fresh"
}

# A run that was killed may have left its mounts behind.
mkdir -p "$work" "$cache_dir"
if [ -d "$root" ]; then
    { findmnt -rn -o TARGET | grep -F "$root/" || true; } | sort -r | xargs -r -n 1 umount -l
    rm -rf --one-file-system "$root"
fi
if [ ! -f "$cache" ]; then
    make_root
    done_step "debootstrap (cached for later runs)"
fi
mkdir -p "$root"
tar -C "$root" -xzf "$cache"
done_step "unpack the root"

# What a fresh clone holds: the committed files of HEAD.
mkdir -p "$root/root/brimlo-hid"
git -C "$checkout" archive --format=tar HEAD | tar -x -C "$root/root/brimlo-hid"
say "checkout $(git -C "$checkout" rev-parse --short HEAD) copied to /root/brimlo-hid"

cp /etc/resolv.conf "$root/etc/resolv.conf"
# The host's /dev and /sys with what is mounted below them (/dev/pts, /dev/shm); as slaves, so
# that nothing done inside reaches the host's mounts.
mount_in() { # type-or---rbind source target
    mkdir -p "$root$3"
    if [ "$1" = --rbind ]; then
        mount --rbind "$2" "$root$3"
        mount --make-rslave "$root$3"
    else
        mount -t "$1" "$2" "$root$3"
    fi
    mounted+=("$root$3")
}
mount_in proc proc /proc
mount_in --rbind /sys /sys
mount_in --rbind /dev /dev
mount_in tmpfs run /run
mkdir -p "$root/run/shm" "$root/run/lock"

# A login shell's environment, nothing of the caller's (no CI, no compiler cache).
inside() {
    chroot "$root" /usr/bin/env -i HOME=/root TERM="${TERM:-dumb}" \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        /bin/bash -c "cd /root/brimlo-hid && $1"
}

say "running: ./scripts/run.sh --cli --simulate info"
inside "./scripts/run.sh --cli --simulate info"
done_step "./scripts/run.sh --cli --simulate info"

say "running: ./scripts/test.sh"
inside "./scripts/test.sh"
done_step "./scripts/test.sh"

summary
say "PASSED"

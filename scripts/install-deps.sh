#!/usr/bin/env bash
# Installs with apt-get whatever the build and the tests need and is missing.
# Usage: scripts/install-deps.sh [build|run|test]   (default: test, which is everything)
set -euo pipefail

want=${1:-test}

build_packages=(cmake ninja-build g++ make python3
    g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64)
run_packages=(wine wine64 xvfb xauth xdotool imagemagick fonts-ipafont-gothic locales)
test_packages=(googletest libgtest-dev qemu-user-static gcc-multilib fio)

packages=("${build_packages[@]}")
case "$want" in
build) ;;
run) packages+=("${run_packages[@]}") ;;
test) packages+=("${run_packages[@]}" "${test_packages[@]}") ;;
*) echo "usage: $0 [build|run|test]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    # No recommends: they would bring wine32, which takes over the wine command
    # and cannot run on this machine.
    apt-get install -y -q --no-install-recommends "${missing[@]}" </dev/null
fi

if [ "$want" != build ]; then
    # The Japanese runs need the glibc locale that gives Wine code page 932.
    if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf8$'; then
        grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
        locale-gen >/dev/null
    fi
fi

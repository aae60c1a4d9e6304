#!/usr/bin/env bash
# Builds the given configurations (default: all four) under build/.
#   native      the logic and its unit tests (Linux)
#   native-san  the same under AddressSanitizer and UndefinedBehaviorSanitizer
#   i686        the deliverables users get (32-bit PE)
#   x86_64      the same program as a 64-bit test build for Wine, with the test tools
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
configs=("$@")
[ ${#configs[@]} -gt 0 ] || configs=(native native-san i686 x86_64)

for c in "${configs[@]}"; do
    dir="$root/build/$c"
    case "$c" in
    native) args=() ;;
    native-san) args=(-DZPH_SANITIZE=ON) ;;
    i686 | x86_64) args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$c-w64-mingw32.cmake") ;;
    *) echo "unknown configuration: $c" >&2; exit 2 ;;
    esac
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${args[@]}" >/dev/null
    ninja -C "$dir"
done

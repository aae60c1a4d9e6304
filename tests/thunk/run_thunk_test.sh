#!/bin/sh
# Builds the thunk entry of zphtst32 as 32-bit Linux code beside stand-ins
# for the flat-thunk calls and runs it under qemu-i386-static.
# Needs gcc-multilib (gcc -m32) and qemu-user-static.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out=${1:-${TMPDIR:-/tmp}/zph-thunk-test}
mkdir -p "$out"
gcc -m32 -O1 -Wall -Wextra -Werror -no-pie -o "$out/thunk_entry_test" \
    "$here/thunk_entry_test.c" "$here/stand_ins_i386.S" "$root/thunk32/thunk_entry_i686.S"
exec qemu-i386-static "$out/thunk_entry_test"

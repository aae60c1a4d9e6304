#!/usr/bin/env bash
# Checks of the 32-bit deliverable files: headers, imports, resources, code.
root=$1
set -u
status=0
python3 "$root/tests/pe/check_pe.py" zphtest "$root/build/i686/zphtest.exe" || status=1
exit $status

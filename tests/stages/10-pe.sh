#!/usr/bin/env bash
# Checks of the 32-bit deliverable files: headers, imports, exports,
# resources, code.
root=$1
set -u
status=0
python3 "$root/tests/pe/check_pe.py" zphtest "$root/build/i686/zphtest.exe" || status=1
python3 "$root/tests/pe/check_deliverables.py" zphtst32 "$root/build/i686/thunk32/zphtst32.dll" || status=1
python3 "$root/tests/pe/check_deliverables.py" zphtstnt "$root/build/i686/driver/zphtstnt.sys" || status=1
exit $status

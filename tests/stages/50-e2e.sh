#!/usr/bin/env bash
# The real program's 64-bit build under Wine on Xvfb, driven through its
# windows, files and exit code.
root=$1
exec python3 "$root/tests/e2e/run_e2e.py" "$root/build/x86_64" --work "$root/build/e2e" --no-screenshots

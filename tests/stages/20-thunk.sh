#!/usr/bin/env bash
# The thunk DLL's entry, executed as 32-bit code against stand-ins for the
# 16:16 mapping calls and the 16-bit target.
root=$1
exec bash "$root/tests/thunk/run_thunk_test.sh" "$root/build/thunk"

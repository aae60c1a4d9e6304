#!/usr/bin/env bash
# Runs every test: the native unit tests (plain and under ASan/UBSan), the
# checks of the 32-bit deliverables, and the end-to-end tests of the real
# program under Wine. Installs what it needs first. Ends with one line
# "tests: N passed, N failed" and a non-zero exit code when anything failed.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

"$root/scripts/install-deps.sh" test || exit 1
"$root/scripts/build.sh" native native-san i686 x86_64 || { echo "tests: 0 passed, 1 failed (build)"; exit 1; }

logs="$root/build/logs"
mkdir -p "$logs"
passed=0
failed=0
failed_stages=()

# Adds the counts of a stage's own closing line; a stage that ends without one
# counts as one test, passed or failed by its exit code.
count_stage() {
    local name=$1 status=$2 log=$3 line p f
    line=$(grep -E '(^|: )[0-9]+ passed, [0-9]+ failed' "$log" | tail -n 1)
    if [ -n "$line" ]; then
        p=$(sed -E 's/.*(^|: )([0-9]+) passed, ([0-9]+) failed.*/\2/' <<<"$line")
        f=$(sed -E 's/.*(^|: )([0-9]+) passed, ([0-9]+) failed.*/\3/' <<<"$line")
    elif line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1) && [ -n "$line" ]; then
        local total
        f=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
        total=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/' <<<"$line")
        p=$((total - f))
    elif [ "$status" -eq 0 ]; then
        p=1 f=0
    else
        p=0 f=1
    fi
    if [ "$status" -ne 0 ] && [ "$f" -eq 0 ]; then f=1; fi
    passed=$((passed + p))
    failed=$((failed + f))
    [ "$f" -eq 0 ] || failed_stages+=("$name")
    echo "== $name: $p passed, $f failed"
}

stage() {
    local name=$1
    shift
    local log="$logs/$name.log"
    echo "== $name"
    "$@" >"$log" 2>&1 </dev/null
    local status=$?
    tail -n 25 "$log"
    count_stage "$name" "$status" "$log"
}

stage unit ctest --test-dir build/native --output-on-failure -j 2
stage unit-sanitizers ctest --test-dir build/native-san --output-on-failure -j 2
# Further stages, in the order of their file names (NN-name.sh).
for f in tests/stages/*.sh; do
    [ -e "$f" ] || continue
    n=$(basename "$f" .sh)
    n=${n#[0-9][0-9]-}
    stage "$n" bash "$f" "$root"
done

if [ ${#failed_stages[@]} -gt 0 ]; then echo "failed stages: ${failed_stages[*]}"; fi
echo "tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

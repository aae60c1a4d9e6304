#!/usr/bin/env bash
# Builds the program and runs its 64-bit test build under Wine: on $DISPLAY
# when there is one (the program stays up until you close it), otherwise on a
# virtual Xvfb screen, which is closed again after the screenshot.
# The screenshot of the main dialog is saved to build/screenshot.png.
# Extra arguments go to the program (for example /ALLOVL).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/install-deps.sh" run
"$root/scripts/build.sh" i686 x86_64

export WINEPREFIX="$root/build/wine-run"
export WINEDEBUG=-all
run_dir="$root/build/run"
mkdir -p "$run_dir"
cp "$root/build/x86_64/zphtest.exe" "$root/resources/readme.txt" "$run_dir/"

xvfb_pid=
if [ -z "${DISPLAY:-}" ]; then
    display=:$((90 + RANDOM % 50))
    Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=$display
    sleep 1
fi
cleanup() {
    if [ -n "$xvfb_pid" ]; then
        wineserver -k 2>/dev/null || true
        kill "$xvfb_pid" 2>/dev/null || true
    fi
}
trap cleanup EXIT

if [ ! -d "$WINEPREFIX" ]; then
    echo "creating the Wine prefix (once)"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
fi

cd "$run_dir"
wine ./zphtest.exe "$@" &
program=$!
auto="$root/build/x86_64/zphauto.exe"
dialog=(--title "Zephon Test" --has 415)
if wine "$auto" wait "${dialog[@]}" --timeout 90 >/dev/null 2>&1; then
    sleep 1
    import -window root "$root/build/screenshot.png"
    echo "screenshot: build/screenshot.png"
else
    echo "the main dialog did not appear" >&2
fi
if [ -n "$xvfb_pid" ]; then
    wine "$auto" click 1 "${dialog[@]}" >/dev/null 2>&1 || true
fi
wait "$program" || true

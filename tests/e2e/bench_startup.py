#!/usr/bin/env python3
"""Start-up benchmark (not a test): how long zphtest takes from process start
to its visible main dialog under Wine, against a trivial dialog program
started the same way in the same prefix. The difference, less the one second
the clock measurement must take, is what the program's own start-up costs.

    python3 tests/e2e/bench_startup.py BUILD_DIR [--runs N] [--i686 PATH/zphtest.exe]

BUILD_DIR holds zphtest.exe, zphauto.exe and trivial_dialog.exe (x86_64 build).
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
CLOCK_MEASUREMENT_MS = 1000

PROGRAMS = {
    "trivial_dialog.exe": ["--title", "Trivial Dialog", "--class", "#32770"],
    "zphtest.exe": ["--title", "Zephon Test", "--class", "#32770", "--has", "415"],
}


def time_to_dialog(sc, program, selector):
    """Milliseconds from starting the program to its dialog being visible.

    The watcher polls for the window before the program starts, so its own
    start-up is not counted; its poll interval (10 ms) is the resolution."""
    out_path = os.path.join(sc.dir, "watch.out")
    with open(out_path, "wb") as out:
        watcher = subprocess.Popen(
            ["wine", sc.c_path("e2e", "zphauto.exe"), "wait", "--announce", "--timeout", "60"] + selector,
            env=sc.env(), cwd=sc.c_path("e2e"), stdin=subprocess.DEVNULL, stdout=out,
            stderr=subprocess.DEVNULL)
    def read():
        with open(out_path, "rb") as f:
            return f.read()

    try:
        deadline = time.monotonic() + 30
        while b"ready" not in read():
            if watcher.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("the window watcher did not start")
            time.sleep(0.002)
        started = time.monotonic()
        sc.start(program=program)
        while b"window " not in read():
            if watcher.poll() is not None and b"window " not in read():
                raise RuntimeError("%s showed no dialog" % program)
            time.sleep(0.002)
        shown = time.monotonic()
    finally:
        if watcher.poll() is None:
            watcher.kill()
        watcher.wait()
    sc.auto("key", *selector, "esc")
    if sc.wait_exit(30) != 0:
        raise RuntimeError("%s ended with a non-zero exit code" % program)
    return (shown - started) * 1000.0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("build", help="directory with zphtest.exe, zphauto.exe and trivial_dialog.exe")
    parser.add_argument("--runs", type=int, default=7, help="timed starts of each program (default 7)")
    parser.add_argument("--i686", help="an i686 zphtest.exe whose size to print")
    args = parser.parse_args()

    build = os.path.abspath(args.build)
    if not os.path.isfile(os.path.join(build, "trivial_dialog.exe")):
        print("bench_startup: trivial_dialog.exe not found in %s" % build, file=sys.stderr)
        return 2
    os.environ["ZPH_E2E_BUILD"] = build
    sys.dont_write_bytecode = True
    sys.path.insert(0, HERE)
    import zph_e2e

    if args.i686:
        print("i686 zphtest.exe: %d bytes (%s)" % (os.path.getsize(args.i686), args.i686))

    times = {p: [] for p in PROGRAMS}
    try:
        with zph_e2e.Scenario("bench-startup", show_info_file=0) as sc:
            shutil.copy2(os.path.join(build, "trivial_dialog.exe"), sc.c_path("zph"))
            sc.ensure_server()
            # One start of each first, untimed: DLLs into the page cache, services up.
            for program, selector in PROGRAMS.items():
                time_to_dialog(sc, program, selector)
            # Alternating, so that a drift of the machine hits both alike.
            for _ in range(args.runs):
                for program, selector in PROGRAMS.items():
                    times[program].append(time_to_dialog(sc, program, selector))
    finally:
        zph_e2e.Session.close()

    medians = {p: statistics.median(t) for p, t in times.items()}
    for program, t in times.items():
        print("%-20s median %7.1f ms  (runs: %s)" % (program, medians[program], " ".join("%.0f" % x for x in t)))
    beyond = medians["zphtest.exe"] - medians["trivial_dialog.exe"] - CLOCK_MEASUREMENT_MS
    print("zphtest start-up beyond the trivial dialog and the %d ms clock measurement: %.1f ms"
          % (CLOCK_MEASUREMENT_MS, beyond))
    return 0


if __name__ == "__main__":
    sys.exit(main())

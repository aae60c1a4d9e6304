#!/usr/bin/env python3
"""How accurate the disk test's figures are, and what its per-block work costs.

Prints numbers; passes or fails nothing. On one directory of one file system,
with the program's sizes (96 KiB blocks, the 20 MiB cycle and, when a pass is
under a second, the 100 MiB cycle):

1. the pass logic itself (MeasureDisk over a native O_DIRECT adapter,
   tests/bench/disk_direct_bench.cpp) against fio with --direct=1, the same
   block size and the same byte count, in alternating rounds;
2. whether Wine hands FILE_FLAG_NO_BUFFERING on to the file system (O_DIRECT
   in the open that wineserver makes, seen with strace);
3. the real zphtest.exe under Wine on a drive letter mapped to the directory,
   against fio direct and fio buffered;
4. the cost of the program's own per-block work (stop flag, ShowProgress)
   under Wine, tests/bench/disk_overhead_bench.cpp.

usage: bench_disk.py --build X86_64_BUILD_DIR [--dir DIR] [--rounds N]
Needs fio (apt-get install fio), strace, wine, Xvfb, cmake, ninja, g++ and
x86_64-w64-mingw32-g++.
"""

import argparse
import json
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))

BLOCK = 98304
LOGIC_SOURCES = ["disktest/disk_run.cpp", "disktest/drives.cpp", "disktest/disk_test.cpp",
                 "app/text_format.cpp", "app/machine_record.cpp"]


def run(cmd, **kw):
    return subprocess.run(cmd, check=True, capture_output=True, text=True, **kw).stdout


def fields(text):
    out = {}
    for line in text.splitlines():
        parts = line.split(" ", 1)
        if len(parts) == 2:
            try:
                out[parts[0]] = float(parts[1])
            except ValueError:
                pass
    return out


def build_tools(work):
    native = os.path.join(work, "disk_direct_bench")
    run(["g++", "-std=c++17", "-O2", "-I" + ROOT, "-o", native,
         os.path.join(ROOT, "tests/bench/disk_direct_bench.cpp")] +
        [os.path.join(ROOT, s) for s in LOGIC_SOURCES + ["disktest/disk_results.cpp"]])
    windows = os.path.join(work, "disk_overhead_bench.exe")
    run(["x86_64-w64-mingw32-g++", "-std=c++17", "-O2", "-static", "-I" + ROOT, "-o", windows,
         os.path.join(ROOT, "tests/bench/disk_overhead_bench.cpp"),
         os.path.join(ROOT, "disktest/progress_hooks_win.cpp")] +
        [os.path.join(ROOT, s) for s in LOGIC_SOURCES] + ["-lcomctl32"])
    return native, windows


def fio(directory, rw, size, direct):
    path = os.path.join(directory, "fio-reference.dat")
    out = run(["fio", "--name=" + rw, "--filename=" + path, "--rw=" + rw, "--bs=%d" % BLOCK,
               "--size=%d" % size, "--direct=%d" % direct, "--ioengine=psync", "--output-format=json"])
    job = json.loads(out[out.index("{"):])["jobs"][0][rw]
    return job["bw_bytes"] / 1024.0  # KB/s, 1 KB = 1024 bytes


def fio_pair(directory, size, direct):
    w = fio(directory, "write", size, direct)
    r = fio(directory, "read", size, direct)
    os.remove(os.path.join(directory, "fio-reference.dat"))
    return w, r


def filesystem(directory):
    return run(["stat", "-f", "-c", "%T", directory]).strip()


def median(values):
    return statistics.median(values)


def logic_against_fio(native, directory, rounds):
    print("\n== 1. pass logic with O_DIRECT against fio --direct=1 (%s, %s)" % (directory, filesystem(directory)))
    logic_w, logic_r, ref_w, ref_r, cycle = [], [], [], [], None
    for i in range(rounds):
        f = fields(run([native, directory]))
        cycle = int(f["cycle_bytes"])
        blocks = cycle // BLOCK
        # The program's figure: ms per 20 MiB from the millisecond tick count.
        logic_w.append(f["write_kbps"])
        logic_r.append(f["read_kbps"])
        w, r = fio_pair(directory, blocks * BLOCK, 1)
        ref_w.append(w)
        ref_r.append(r)
        print("round %d: logic write %.0f read %.0f KB/s (ms per 20 MiB %d/%d) | fio write %.0f read %.0f KB/s"
              % (i + 1, f["write_kbps"], f["read_kbps"], f["write_ms_per_20MiB"], f["read_ms_per_20MiB"], w, r))
    print("cycle used: %d bytes in %d blocks of %d" % (cycle, cycle // BLOCK, BLOCK))
    print("median write: logic %.0f, fio %.0f KB/s, ratio %.3f" % (median(logic_w), median(ref_w),
                                                                   median(logic_w) / median(ref_w)))
    print("median read:  logic %.0f, fio %.0f KB/s, ratio %.3f" % (median(logic_r), median(ref_r),
                                                                   median(logic_r) / median(ref_r)))
    # Neighbouring runs share the disk's momentary load, so the ratio of each
    # round is steadier than the ratio of the medians on a busy machine.
    print("median of the rounds' ratios: write %.3f read %.3f"
          % (median([a / b for a, b in zip(logic_w, ref_w)]), median([a / b for a, b in zip(logic_r, ref_r)])))
    return median(ref_w), median(ref_r)


def wine_env(prefix, display):
    env = {k: v for k, v in os.environ.items() if not k.startswith(("LC_", "WINE"))}
    env.update({"WINEPREFIX": prefix, "DISPLAY": display, "WINEDEBUG": "-all",
                "WINEDLLOVERRIDES": "mscoree,mshtml=", "LANG": "C.UTF-8"})
    return env


def wine_direct_io(windows_exe, directory, prefix, display):
    print("\n== 2. does Wine pass FILE_FLAG_NO_BUFFERING on?")
    env = wine_env(prefix, display)
    subprocess.run(["wineserver", "-k"], env=env, capture_output=True)
    devices = os.path.join(prefix, "dosdevices")
    link = os.path.join(devices, "q:")
    if os.path.lexists(link):
        os.remove(link)
    os.symlink(directory, link)
    trace = os.path.join(os.path.dirname(prefix), "open-trace.txt")
    # A fresh wineserver is a child of this wine, so strace sees its opens too.
    subprocess.run(["strace", "-f", "-qq", "-e", "trace=open,openat", "-o", trace,
                    "wine", windows_exe, "Q:", "1"], env=env, capture_output=True, timeout=300)
    opens = [l for l in open(trace) if "QVRbench.dat" in l and "= -1" not in l]
    direct = [l for l in opens if "O_DIRECT" in l]
    for l in opens[:4]:
        print("  " + l.strip())
    print("opens of the test file: %d, with O_DIRECT: %d" % (len(opens), len(direct)))
    print("Wine %s FILE_FLAG_NO_BUFFERING on to the file system"
          % ("passes" if direct else "does NOT pass"))
    subprocess.run(["wineserver", "-k"], env=env, capture_output=True)
    return bool(direct)


def program_under_wine(build, directory, rounds):
    print("\n== 3. zphtest.exe under Wine on a drive letter mapped to %s" % directory)
    os.environ["ZPH_E2E_BUILD"] = build
    import zph_e2e as e2e
    import disk_support as ds
    texts = []
    try:
        e2e.Session.get()
        ds.use_own_display()
        for i in range(rounds):
            with ds.DiskScenario("bench-%d" % i, {"D": directory}) as s:
                s.start()
                s.wait_main()
                s.select_drive("D")
                s.click_main(ds.HDD_TEST)
                read_text, write_text = s.wait_result_texts(timeout=120)
                texts.append((read_text, write_text))
                print("round %d: read %r write %r" % (i + 1, read_text, write_text))
    finally:
        e2e.Session.close()

    def mid(text):
        lo, hi = ds.rate_interval(text)
        return (lo + hi) / 2.0
    blocks = 104857600 // BLOCK
    size = blocks * BLOCK
    direct_w, direct_r = fio_pair(directory, size, 1)
    buffered_w, buffered_r = fio_pair(directory, size, 0)
    prog_w = median([mid(w) for _, w in texts])
    prog_r = median([mid(r) for r, _ in texts])
    print("fio %d blocks: direct write %.0f read %.0f KB/s; buffered write %.0f read %.0f KB/s"
          % (blocks, direct_w, direct_r, buffered_w, buffered_r))
    print("program (median, middle of its text's range): write %.0f read %.0f KB/s" % (prog_w, prog_r))
    print("ratio program/fio direct:   write %.2f read %.2f" % (prog_w / direct_w, prog_r / direct_r))
    print("ratio program/fio buffered: write %.2f read %.2f" % (prog_w / buffered_w, prog_r / buffered_r))


def overhead(windows_exe, directory, prefix, display, direct_kbps):
    print("\n== 4. the program's per-block work under Wine (stop flag, ShowProgress)")
    env = wine_env(prefix, display)
    link = os.path.join(prefix, "dosdevices", "q:")
    if os.path.lexists(link):
        os.remove(link)
    os.symlink(directory, link)
    f = fields(run(["wine", windows_exe, "Q:", "31"], env=env, timeout=600))
    subprocess.run(["wineserver", "-k"], env=env, capture_output=True)
    for k in ("write_us_per_block_bare", "write_us_per_block_program", "read_us_per_block_bare",
              "read_us_per_block_program", "post_us", "write_mbps_bare", "read_mbps_bare"):
        print("%s %.2f" % (k, f[k]))
    for kind in ("write", "read"):
        bare, prog = f[kind + "_us_per_block_bare"], f[kind + "_us_per_block_program"]
        print("%s: measured difference %.1f%% (page cache under Wine, noisy)" % (kind, (prog - bare) / bare * 100))
    # Posts per pass: the pass start, then at most one per 50 ms.
    blocks = f["blocks_per_pass"]
    for label, us_per_block in (("file cache under Wine", f["write_us_per_block_bare"]),
                                ("this disk with O_DIRECT (fio)", BLOCK / 1024.0 / direct_kbps * 1e6)):
        pass_us = blocks * us_per_block
        posts = 1 + pass_us / 50000.0
        share = posts * f["post_us"] / pass_us * 100
        print("modelled overhead at %s (%.1f us a block): %.1f posts a pass, %.2f%% of the pass"
              % (label, us_per_block, posts, share))
    print("bound for long passes: one post per 50 ms, %.2f%%" % (f["post_us"] / 50000.0 * 100))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", required=True, help="the x86_64 build directory (zphtest.exe, zphauto.exe)")
    parser.add_argument("--dir", help="a directory on the file system to measure (default: a new one in /var/tmp)")
    parser.add_argument("--rounds", type=int, default=5)
    args = parser.parse_args()
    for tool in ("fio", "strace", "wine", "Xvfb", "g++", "x86_64-w64-mingw32-g++"):
        if shutil.which(tool) is None:
            sys.exit("missing %s" % tool)

    work = tempfile.mkdtemp(prefix="wp-disk-bench-", dir="/tmp")
    os.environ["ZPH_E2E_WORK"] = work
    os.environ.setdefault("ZPH_E2E_FIRST_DISPLAY", "71")
    import zph_e2e as e2e
    directory = args.dir or tempfile.mkdtemp(prefix="disk-bench-", dir="/var/tmp")
    native, windows = build_tools(work)
    display = e2e.Display(1024, 768, first_number=int(os.environ["ZPH_E2E_FIRST_DISPLAY"]))
    prefix = os.path.join(work, "bench-prefix")
    try:
        subprocess.run(["wineboot", "-i"], env=wine_env(prefix, display.name), capture_output=True, timeout=300)
        subprocess.run(["wineserver", "-w"], env=wine_env(prefix, display.name), timeout=300)
        ref_w, ref_r = logic_against_fio(native, directory, args.rounds)
        wine_direct_io(windows, directory, prefix, display.name)
        program_under_wine(args.build, directory, max(3, args.rounds // 2))
        overhead(windows, directory, prefix, display.name, ref_w)
        print("\n(fio direct reference of part 1: write %.0f read %.0f KB/s)" % (ref_w, ref_r))
    finally:
        subprocess.run(["wineserver", "-k"], env=wine_env(prefix, display.name), capture_output=True)
        display.stop()
        if not args.dir:
            shutil.rmtree(directory, ignore_errors=True)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()

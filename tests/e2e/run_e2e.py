#!/usr/bin/env python3
"""Runs the end-to-end tests of zphtest under Wine.

    python3 tests/e2e/run_e2e.py BUILD_DIR [-k PATTERN] [--work DIR] [--keep]
                                 [--screenshots DIR | --no-screenshots]

BUILD_DIR holds zphtest.exe and zphauto.exe (the x86_64 build). The last line
of the output is "e2e: <n> passed, <m> failed"; the exit code is 0 only when
nothing failed. Nothing is installed: Wine, Xvfb, ImageMagick and the
ja_JP.UTF-8 locale must be there already.
"""

import argparse
import os
import shutil
import signal
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))


class CountingResult(unittest.TextTestResult):
    """Prints each test as it ends, with its time."""

    def startTest(self, test):
        self._started = time.monotonic()
        super().startTest(test)

    def stopTest(self, test):
        super().stopTest(test)
        if self.showAll:
            self.stream.writeln("    (%.1f s)" % (time.monotonic() - self._started))
            self.stream.flush()


def parse_args():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("build", help="directory with zphtest.exe and zphauto.exe")
    parser.add_argument("-k", dest="patterns", action="append", default=[],
                        help="only tests whose name contains this (may be repeated)")
    parser.add_argument("--work", help="directory for prefixes and artefacts (default: a temp dir)")
    parser.add_argument("--keep", action="store_true", help="keep the prefixes and the work directory")
    parser.add_argument("--screenshots", default=os.path.join(REPO, "docs", "screenshots"),
                        help="where main-en.png and main-ja.png go (default: docs/screenshots)")
    parser.add_argument("--no-screenshots", action="store_true", help="do not write the screenshots")
    return parser.parse_args()


def main():
    args = parse_args()
    build = os.path.abspath(args.build)
    missing = [n for n in ("zphtest.exe", "zphauto.exe") if not os.path.isfile(os.path.join(build, n))]
    if missing:
        print("run_e2e: %s not found in %s (build the x86_64 configuration)" % (", ".join(missing), build),
              file=sys.stderr)
        print("e2e: 0 passed, 1 failed")
        return 2
    os.environ["ZPH_E2E_BUILD"] = build
    if args.work:
        os.environ["ZPH_E2E_WORK"] = os.path.abspath(args.work)
    if args.keep:
        os.environ["ZPH_E2E_KEEP"] = "1"
    if not args.no_screenshots:
        os.environ["ZPH_E2E_SCREENSHOTS"] = os.path.abspath(args.screenshots)
    # A TERM from CI unwinds like Ctrl-C, so every scenario's Wine processes
    # and the Xvfb servers are stopped on the way out.
    signal.signal(signal.SIGTERM, stop_on_term)

    sys.dont_write_bytecode = True  # no __pycache__ in the source tree
    sys.path.insert(0, HERE)
    import zph_e2e

    loader = unittest.TestLoader()
    if args.patterns:
        loader.testNamePatterns = ["*%s*" % p for p in args.patterns]
    suite = loader.discover(HERE, pattern="test_*.py", top_level_dir=HERE)
    runner = unittest.TextTestRunner(stream=sys.stdout, verbosity=2, resultclass=CountingResult)
    started = time.monotonic()
    try:
        result = runner.run(suite)
    except KeyboardInterrupt:
        zph_e2e.Session.close()
        print("e2e: interrupted after %.0f s" % (time.monotonic() - started))
        return 130

    failed = len(result.failures) + len(result.errors) + len(result.unexpectedSuccesses)
    passed = result.testsRun - failed - len(result.skipped)
    session = zph_e2e.Session._instance
    if session is not None:
        kept = None
        if failed and session.own_work and not session.keep:
            # Keep the failure screenshots and helper logs, not the prefixes.
            session.own_work = False
            kept = session.work
        zph_e2e.Session.close()
        if kept:
            shutil.rmtree(os.path.join(kept, "base-prefix"), ignore_errors=True)
            print("artefacts of the failed scenarios: %s" % os.path.join(kept, "artifacts"))
    print("total time %.0f s" % (time.monotonic() - started))
    print("e2e: %d passed, %d failed" % (passed, failed))
    return 0 if failed == 0 and result.testsRun > 0 else 1


def stop_on_term(signum, frame):
    raise KeyboardInterrupt()


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Times a search over category folders on a NAS that is switched off while mounted.

    python3 bench/dead_share.py [--helper PATH] [--categories N] [--local N]
                                [--deadline-ms MS] [--compare PATH]

Serves a generated tree through the slow share of the end-to-end tests
(tests/e2e/slowfs.py, needs /dev/fuse and root), switches it off, and runs the batch the
window would write: N category folders on the share (18 by default) interleaved with
--local category folders on the local disk (2 by default). Reports the seconds from the
start until the helper deletes its batch (when the window takes the search as finished),
with the helper's deadline (15 s unless --deadline-ms), and checks that the local
categories are complete and each folder of the share is named as not answering.
--compare runs a second helper the same way (an older build, for the figures before).
"""

import argparse
import os
import shutil
import sys
import tempfile

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from e2e_support import SlowShare, run_search_batch  # noqa: E402


def run(helper, categories, work, deadline_ms, expected_found, on_share):
    found, errors, took, process = run_search_batch(helper, categories, work, deadline_ms)
    prefix = "skipped, folder not answering: "
    skipped = [line[len(prefix):] for line in errors if line.startswith(prefix)]
    return process, took, found == expected_found and skipped == on_share


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    top = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    parser.add_argument("--helper", default=os.path.join(top, "build", "dev", "bin", "moviecat-cmd"))
    parser.add_argument("--compare")
    parser.add_argument("--categories", type=int, default=18)
    parser.add_argument("--local", type=int, default=2)
    parser.add_argument("--deadline-ms", type=int, default=15000)
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="moviecat-bench-off-")
    helpers = []
    try:
        source, local = os.path.join(work, "source"), os.path.join(work, "local")
        for i in range(args.categories):
            for movie in ("love %d" % i, "x/love story %d" % i, "other %d" % i):
                os.makedirs(os.path.join(source, "分类 %02d" % i, movie))
        expected = []
        for i in range(args.local):
            for movie in ("love local %d" % i, "y/love local %d" % i):
                os.makedirs(os.path.join(local, "本地 %d" % i, movie))
            expected += [os.path.join(local, "本地 %d" % i, "love local %d" % i),
                         os.path.join(local, "本地 %d" % i, "y", "love local %d" % i)]
        with SlowShare(source, os.path.join(work, "nas")) as share:
            on_share = [os.path.join(share.mountpoint, "分类 %02d" % i)
                        for i in range(args.categories)]
            # Local categories among them, as a catalogue mixes them: the first and on.
            categories = list(on_share)
            locals_ = [os.path.join(local, "本地 %d" % i) for i in range(args.local)]
            for n, folder in enumerate(locals_):
                categories.insert(min(len(categories), n * (len(categories) // max(1, len(locals_)))), folder)
            expected = [p for folder in categories if folder in locals_
                        for p in expected if p.startswith(folder + "/")]
            share.switch_off()
            print(f"{args.categories} category folders on a switched-off share, {args.local} local; "
                  f"deadline {args.deadline_ms / 1000:g} s")
            for name, helper in (("helper", args.helper), ("compare", args.compare)):
                if not helper:
                    continue
                process, took, ok = run(helper, categories, work, args.deadline_ms, expected,
                                        on_share)
                helpers.append(process)
                print(f"  {name:8} {took:7.2f} s  {'complete' if ok else 'WRONG RESULTS'}  ({helper})")
    finally:
        for process in helpers:
            process.wait(60)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Times the confirming search of an unchanged tree on a slow share against the full walk.

    python3 bench/confirm_walk.py [--helper PATH] [--folders N] [--categories N]
                                  [--delay SECONDS]

Serves a generated tree of about N folders (20,000 by default) in --categories category
folders (4) through the slow share of the end-to-end tests (tests/e2e/slowfs.py, every call
delayed by --delay, 0.02 s by default; needs /dev/fuse and root). Runs the batch the window
would write twice: first with no index (a full walk, which writes one), then again with
nothing changed (the confirming walk, which lists only what changed since). Reports the
seconds each took until the helper deleted its batch, their ratio, and whether the second
gave the same results and wrote the same index as the first.
"""

import argparse
import os
import shutil
import sys
import tempfile
import time

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from e2e_support import SlowShare, run_search_batch  # noqa: E402

WALK_TIME = slice(32, 40)  # the index header's walk time, which differs from run to run
HASH = slice(48, 56)


def make_tree(source, folders, categories):
    """Category / shelf / movie / one sub-folder: about `folders` folders in all."""
    shelves = 25
    movies = max(1, folders // (categories * shelves * 2))
    for c in range(categories):
        for s in range(shelves):
            for m in range(movies):
                name = "love %d" % m if m % 10 == 0 else "影片 %d" % m
                os.makedirs(os.path.join(source, "分类 %d" % c, "%c 架" % (65 + s), name, "Extras"))
    return categories * shelves * (1 + 2 * movies)


def index_files(cache):
    folder = os.path.join(cache, "moviecat")
    files = {}
    for name in sorted(os.listdir(folder)) if os.path.isdir(folder) else []:
        with open(os.path.join(folder, name), "rb") as f:
            data = bytearray(f.read())
        data[WALK_TIME] = bytes(8)
        data[HASH] = bytes(8)
        files[name] = bytes(data)
    return files


def timed_search(helper, categories, work):
    found, errors, took, process = run_search_batch(helper, categories, work)
    process.wait(60)
    return found, errors, took


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    top = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    parser.add_argument("--helper", default=os.path.join(top, "build", "dev", "bin", "moviecat-cmd"))
    parser.add_argument("--folders", type=int, default=20000)
    parser.add_argument("--categories", type=int, default=4)
    parser.add_argument("--delay", type=float, default=0.02)
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="moviecat-bench-confirm-")
    saved_cache = os.environ.get("XDG_CACHE_HOME")
    try:
        source = os.path.join(work, "source")
        made = make_tree(source, args.folders, args.categories)
        os.environ["XDG_CACHE_HOME"] = os.path.join(work, "cache")
        # Folders changed within the share's time granularity (2 s) of a walk are listed
        # again by the next one: let the new tree settle first.
        time.sleep(3.5)
        with SlowShare(source, os.path.join(work, "nas"), delay=args.delay) as share:
            categories = [os.path.join(share.mountpoint, "分类 %d" % c)
                          for c in range(args.categories)]
            print(f"{made} folders in {args.categories} category folders on a share answering "
                  f"in {args.delay * 1000:g} ms, nothing changed between the searches")
            full_found, full_errors, full_took = timed_search(args.helper, categories, work)
            full_index = index_files(os.environ["XDG_CACHE_HOME"])
            found, errors, took = timed_search(args.helper, categories, work)
            index = index_files(os.environ["XDG_CACHE_HOME"])
            same = (found == full_found and errors == full_errors and index == full_index and
                    len(index) == args.categories)
            print(f"  full walk        {full_took:7.2f} s  {len(full_found)} results")
            print(f"  confirming walk  {took:7.2f} s  {len(found)} results, "
                  f"{'same results and index' if same else 'DIFFERENT RESULTS OR INDEX'}")
            print(f"  ratio            {took / full_took:7.2f}")
    finally:
        if saved_cache is None:
            os.environ.pop("XDG_CACHE_HOME", None)
        else:
            os.environ["XDG_CACHE_HOME"] = saved_cache
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()

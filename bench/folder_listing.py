#!/usr/bin/env python3
"""Folder listing benchmarks: makes the trees under WORK (kept for later runs), mounts the
slow share of the end-to-end tests (20 ms a call) over two of them and runs bench_folderview
on each, the old QFileSystemModel view beside the new one. Needs root and /dev/fuse for
the share.

    /usr/bin/python3 bench/folder_listing.py --bench BUILD/bin/bench_folderview --work DIR
"""

import argparse
import os
import subprocess
import sys

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from e2e_support import SlowShare  # noqa: E402

SHARE_DELAY = 0.02


def fill(folder, folders, files):
    """folder with `folders` subfolders and `files` empty files, made once."""
    marker = os.path.join(folder, ".complete")
    if os.path.exists(marker):
        return folder
    os.makedirs(folder, exist_ok=True)
    for n in range(folders):
        os.makedirs(os.path.join(folder, f"Movie {n:05d} ({1950 + n % 70})"), exist_ok=True)
    for n in range(files):
        open(os.path.join(folder, f"Clip {n:05d}.mkv"), "wb").close()
    open(marker, "wb").close()
    return folder


def run(bench, *args):
    print("$ bench_folderview " + " ".join(args), flush=True)
    subprocess.run([bench, *args], check=False)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bench", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    work = os.path.abspath(args.work)

    run(args.bench, "first-screen", fill(os.path.join(work, "local-20000"), 2000, 18000))

    many = os.path.join(work, "many-2000")
    if not os.path.exists(os.path.join(many, ".complete")):
        for n in range(2000):
            fill(os.path.join(many, f"Folder {n:04d}"), 2, 8)
        open(os.path.join(many, ".complete"), "wb").close()
    run(args.bench, "memory", many)
    run(args.bench, "memory-old", many)

    source = os.path.join(work, "share-source")
    for count in (200, 2000):
        for copy in ("new", "old"):
            fill(os.path.join(source, f"{copy}-{count}"), count, 0)
    with SlowShare(source, os.path.join(work, "share"), delay=SHARE_DELAY):
        for count in (200, 2000):
            run(args.bench, "compare", os.path.join(work, "share", f"new-{count}"),
                os.path.join(work, "share", f"old-{count}"), str(count))


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Movie column benchmarks: makes 2,000 movie folders with a poster and a .nfo each (and
the same folders without .nfo files) under WORK, kept for later runs; runs
bench_moviedetails on the local copy, then on the slow share of the end-to-end tests
(20 ms a call). Needs root and /dev/fuse for the share.

    /usr/bin/python3 bench/movie_details.py --bench BUILD/bin/bench_moviedetails --work DIR
"""

import argparse
import os
import subprocess
import sys

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from e2e_support import SlowShare  # noqa: E402

SHARE_DELAY = 0.02
COUNT = 2000
# The smallest JPEG there is: the posters are listed and not decoded in this mode.
JPEG = bytes.fromhex("ffd8ffe000104a46494600010100000100010000ffdb004300080606070605080707"
                     "07090908") + bytes(50) + bytes.fromhex("ffd9")


def nfo(n):
    return f"""<?xml version="1.0" encoding="UTF-8" standalone="yes" ?>
<movie>
  <title>Movie {n}</title>
  <originaltitle>Movie {n}</originaltitle>
  <ratings><rating name="imdb" max="10" default="true"><value>{n % 90 / 10 + 1:.1f}</value>
  <votes>{n * 7}</votes></rating></ratings>
  <year>{1950 + n % 70}</year>
  <plot>What happens in movie {n}.</plot>
  <runtime>{80 + n % 90}</runtime>
  <fileinfo><streamdetails><video><codec>h264</codec><durationinseconds>{(80 + n % 90) * 60}</durationinseconds></video></streamdetails></fileinfo>
</movie>
"""


def fill(folder, with_nfo):
    marker = os.path.join(folder, ".complete")
    if os.path.exists(marker):
        return folder
    for n in range(COUNT):
        movie = os.path.join(folder, f"Movie {n:04d}")
        os.makedirs(movie, exist_ok=True)
        with open(os.path.join(movie, "poster.jpg"), "wb") as poster:
            poster.write(JPEG)
        open(os.path.join(movie, f"Movie {n:04d}.mkv"), "wb").close()
        if with_nfo:
            with open(os.path.join(movie, "movie.nfo"), "w", encoding="utf-8") as out:
                out.write(nfo(n))
    open(marker, "wb").close()
    return folder


def run(bench, *args):
    print("$ bench_moviedetails " + " ".join(args), flush=True)
    subprocess.run([bench, *args], check=False)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bench", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    work = os.path.abspath(args.work)
    source = os.path.join(work, "source")
    fill(os.path.join(source, "with-nfo"), True)
    fill(os.path.join(source, "without-nfo"), False)

    run(args.bench, "all", os.path.join(source, "with-nfo"))
    with SlowShare(source, os.path.join(work, "share"), delay=SHARE_DELAY):
        run(args.bench, "names", os.path.join(work, "share", "without-nfo"))
        run(args.bench, "visible", os.path.join(work, "share", "with-nfo"))


if __name__ == "__main__":
    main()

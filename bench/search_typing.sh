#!/usr/bin/env bash
# Search as you type beside the search of an earlier build, in one run:
#
#   bench/search_typing.sh --before BUILD [--build BUILD] [--runs N] [ROOT]
#
# ROOT (default /work/bench-data/library) holds one folder per category, as made by
# bench/make_library_tree.py. BUILD folders are Release builds with the benchmarks
# (-DMOVIECAT_BENCH=ON): --build (default build/rel) of this tree, --before of the commit
# to compare with. Each build's own helper writes its indexes into a cache folder of its
# own, made fresh for the run; the user's is never touched.
#  1. the query on the worker, for "dragon" and "e", from the indexes alone;
#  2. this build's window (offscreen): each key of "dragon", "the dark knight" and "e" to
#     the list painted with its answer, the longest event-loop stall typing at ten keys
#     a second, and the memory an answer of every folder holding an "e" costs;
#  3. --before's window, where an answer waits for the click on 搜索: the click to the
#     first painted lines, for "dragon" and "e".
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
runs=20
usage_lines=16
work=$(mktemp -d /tmp/moviecat-typing-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
source "$top/bench/builds.sh"
for program in moviecat-cmd bench_search_typing bench_index_query; do
  [ -x "$build/bin/$program" ] || { echo "no $build/bin/$program; build it in Release" >&2; exit 1; }
done
for program in moviecat-cmd bench_search_window; do
  [ -x "$before/bin/$program" ] || { echo "no $before/bin/$program" >&2; exit 1; }
done
export LC_ALL=C.UTF-8 QT_QPA_PLATFORM=offscreen

echo "tree $root: $(find "$root" -mindepth 2 -type d | wc -l) folders below" \
  "$(grep -c = "$work/movie.ini") categories"
echo "cores $(nproc); load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "this build: $build; before: $before"

# Each build's helper walks every category once, writing the indexes its window reads.
walk_into "$work/cache" "$build/bin/moviecat-cmd"
walk_into "$work/cache-before" "$before/bin/moviecat-cmd"

echo; echo "== 1. the query on the worker (targets: dragon <= 10 ms, e <= 30 ms)"
XDG_CACHE_HOME=$work/cache "$build/bin/bench_index_query" "$root" dragon e

echo; echo "== 2. this build: typing (targets: p99 <= 16 ms, stall <= 16 ms, memory <= 8 MB)"
XDG_CACHE_HOME=$work/cache "$build/bin/bench_search_typing" "$work/movie.ini" "$runs"

for text in dragon e; do
  echo; echo "== 3. before, \"$text\": the click on 搜索 to the first painted lines"
  XDG_CACHE_HOME=$work/cache-before "$before/bin/bench_search_window" "$work/movie.ini" "$text" |
    grep -E 'index answer|longest stall'
done

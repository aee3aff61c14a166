#!/usr/bin/env bash
# The index against today's walk on the generated library tree, in one run:
#
#   bench/index_search.sh --before BUILD [--build BUILD] [--runs N] [ROOT]
#
# ROOT (default /work/bench-data/library) holds one folder per category, as made by
# bench/make_library_tree.py. BUILD folders are Release builds with the benchmarks
# (-DMOVIECAT_BENCH=ON): --build (default build/rel) of this tree, --before of the commit
# to compare with, built the same way. Everything is written into a fresh cache folder;
# the user's is never touched.
#  1. the first search's walk, which writes the indexes: how long, their size per folder;
#  2. loading the indexes and the query on the worker for "dragon" and "e";
#  3. the window (offscreen): indexes loaded, resident memory, click to the first
#     painted answer, and the walk's end, beside the window of --before (no index);
#  4. the helper's walks writing the indexes (confirming an earlier one, and the first,
#     from nothing) beside --before's helper and fd (search_walker.sh).
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
runs=10
usage_lines=16
work=$(mktemp -d /tmp/moviecat-index-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
source "$top/bench/builds.sh"
for b in "$build" "$before"; do
  for program in moviecat-cmd bench_search_window; do
    [ -x "$b/bin/$program" ] || { echo "no $b/bin/$program; build it in Release" >&2; exit 1; }
  done
done
[ -x "$build/bin/bench_index_query" ] || { echo "no $build/bin/bench_index_query" >&2; exit 1; }
export LC_ALL=C.UTF-8 QT_QPA_PLATFORM=offscreen

folders=$(find "$root" -mindepth 2 -type d | wc -l)
echo "tree $root: $folders folders below $(grep -c = "$work/movie.ini") categories"
echo "cores $(nproc); load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "this build: $build; before: $before"

echo; echo "== 1. the first walk, writing the indexes"
export XDG_CACHE_HOME=$work/cache
start=$(date +%s.%N)
walk_into "$XDG_CACHE_HOME" "$build/bin/moviecat-cmd"
end=$(date +%s.%N)
bytes=$(cat "$XDG_CACHE_HOME"/moviecat/*.idx | wc -c)
files=$(ls "$XDG_CACHE_HOME"/moviecat/*.idx | wc -l)
awk -v s="$start" -v e="$end" -v b="$bytes" -v f="$folders" -v n="$files" 'BEGIN {
  printf "walked in %.2f s; %d index files, %d bytes, %.1f bytes per folder (target <= 40)\n",
         e - s, n, b, b / f }'

echo; echo "== 2. the indexes alone"
"$build/bin/bench_index_query" "$root" dragon e

for text in dragon e; do
  echo; echo "== 3. the window, \"$text\": with the indexes"
  "$build/bin/bench_search_window" "$work/movie.ini" "$text"
  echo "-- before (no index)"
  XDG_CACHE_HOME=$work/cache-before "$before/bin/bench_search_window" "$work/movie.ini" "$text"
done

echo; echo "== 4. the walks that write the indexes (later ones confirm, the first from nothing), beside before's and fd's"
"$top/bench/search_walker.sh" --runs "$runs" --text dragon --helper "$build/bin/moviecat-cmd" \
  --compare "$before/bin/moviecat-cmd" "$root"

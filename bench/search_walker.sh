#!/usr/bin/env bash
# Times moviecat-cmd's folder search against find and fd on the same library tree.
#
#   bench/search_walker.sh [--cold] [--runs N] [--text TEXT] [--helper PATH]
#                          [--compare PATH] [ROOT]
#
# ROOT (default /work/bench-data/library) holds one folder per category, as made by
# bench/make_library_tree.py. The helper runs the batch the window would write: one
# DIR line per category and the DEL line. First all three tools must find the same
# set of folders; then each is timed (median of N runs, hyperfine) and its peak
# memory taken (/usr/bin/time, median of 3 runs).
# --cold drops the page cache before every run (root only) and compares with fd's
# default threads, showing fd -j32 beside it; without it the cache is warm.
# --share SOURCE: ROOT is a slow share (tests/e2e/slowfs.py) serving SOURCE. find checks
# the set on SOURCE and is not timed (one thread on a slow share takes many minutes);
# fd -j32 is timed beside fd, and memory is not measured. An empty --text '' lists every
# folder of the tree.
# --compare PATH times another build of the helper beside it ("before"), e.g. one built
# from an older commit, and the helper's first walk, which finds no index to confirm
# and writes every one from nothing (its cache is emptied before each run). They write
# their indexes into cache folders of their own, never into the user's.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
root=/work/bench-data/library
text=love
runs=""
cold=0
memory=1
share=""
helper=""
compare=""
while [ $# -gt 0 ]; do
  case "$1" in
    --cold) cold=1 ;;
    --runs) runs=$2; shift ;;
    --text) text=$2; shift ;;
    --helper) helper=$2; shift ;;
    --compare) compare=$2; shift ;;
    --share) share=$2; memory=0; shift ;;
    -h|--help) sed -n '2,21p' "$0"; exit 0 ;;
    -*) echo "unknown option $1" >&2; exit 2 ;;
    *) root=$1 ;;
  esac
  shift
done
helper=${helper:-$top/build-bench-cmd/bin/moviecat-cmd}
runs=${runs:-$([ "$cold" = 1 ] && echo 5 || echo 10)}
root=${root%/}

for tool in hyperfine fdfind find /usr/bin/time python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/deps installs it)" >&2; exit 1; }
done
[ -x "$helper" ] || { echo "no helper at $helper; build moviecat-cmd in Release first" >&2; exit 1; }
[ -d "$root" ] || { echo "no tree at $root; run bench/make_library_tree.py $root" >&2; exit 1; }
if [ "$cold" = 1 ] && [ "$(id -u)" != 0 ]; then
  echo "--cold needs root to drop the page cache" >&2; exit 1
fi
export LC_ALL=C.UTF-8

work=$(mktemp -d /tmp/moviecat-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
export XDG_CACHE_HOME=$work/cache
batch=$work/list.bat
result=$work/list.txt
: > "$work/batch.src"
while IFS= read -r -d '' category; do
  printf 'DIR "%s/*%s*" /ad /s /b >>%s\r\n' "${category//%/%%}" "$text" "$result" >> "$work/batch.src"
done < <(find "$root" -mindepth 1 -maxdepth 1 -type d -print0 | sort -z)
printf 'DEL /Q %s\r\n' "$batch" >> "$work/batch.src"
categories=$(grep -c '^DIR' "$work/batch.src")

prepare_helper="cp $work/batch.src $batch; rm -f $result"
cmd_helper="$helper $batch"
cmd_compare="XDG_CACHE_HOME=$work/cache-before $compare $batch"
cmd_find="find $root -mindepth 2 -type d -iname '*$text*'"
cmd_fd="fdfind --min-depth 2 -u -t d -i -g '*$text*' $root"
cmd_fd32="fdfind -j32 --min-depth 2 -u -t d -i -g '*$text*' $root"
drop='sync; echo 3 > /proc/sys/vm/drop_caches'

# Same set of folders from all three (the helper's order is its own; compare sorted).
eval "$prepare_helper"
"$helper" "$batch" 2> "$work/helper.err" || { cat "$work/helper.err" >&2; exit 1; }
[ ! -e "$batch" ] || { echo "the helper left its batch file" >&2; exit 1; }
tr -d '\r' < "$result" | sort > "$work/helper.set"
if [ -n "$share" ]; then
  find "${share%/}" -mindepth 2 -type d -iname "*$text*" | sed "s:^${share%/}:$root:" |
    sort > "$work/find.set"
else
  eval "$cmd_find" | sort > "$work/find.set"
fi
others=(find fd)
if [ -n "$share" ]; then
  others=(find) # fd's set is checked on the local trees; on the share it takes minutes
else
  eval "$cmd_fd" | sed 's:/$::' | sort > "$work/fd.set"
fi
for other in "${others[@]}"; do
  if ! cmp -s "$work/helper.set" "$work/$other.set"; then
    echo "moviecat-cmd and $other disagree:" >&2
    diff "$work/helper.set" "$work/$other.set" | head -20 >&2
    exit 1
  fi
done
found=$(wc -l < "$work/helper.set")
folders=$(find "${share:-$root}" -mindepth 1 -type d | wc -l)
echo "tree $root: $folders folders, $categories categories; '*$text*' matches $found; ${others[*]} agree"
echo "cores $(nproc); load $(cut -d' ' -f1-3 /proc/loadavg); helper $helper${compare:+; before $compare}"

peak() { # median peak RSS in KB of three runs of a command (after a prepare step)
  local prepare=$1 command=$2 values=()
  [ "$memory" = 1 ] || { echo 0; return; }
  for _ in 1 2 3; do
    eval "$prepare"
    /usr/bin/time -f '%M' -o "$work/rss" bash -c "exec $command" >/dev/null 2>&1
    values+=("$(tail -1 "$work/rss")")
  done
  printf '%s\n' "${values[@]}" | sort -n | sed -n 2p
}

if [ -n "$share" ]; then
  hyperfine --style basic --runs "$runs" --export-json "$work/times.json" \
    --prepare "$prepare_helper" -n moviecat-cmd "$cmd_helper" \
    --prepare true -n fd "$cmd_fd" \
    --prepare true -n "fd -j32" "$cmd_fd32" >&2
  mem_helper=0 mem_fd=0 mem_find=0
elif [ "$cold" = 1 ]; then
  hyperfine --style basic --runs "$runs" --export-json "$work/times.json" \
    --prepare "$prepare_helper; $drop" -n moviecat-cmd "$cmd_helper" \
    --prepare "$drop" -n fd "$cmd_fd" \
    --prepare "$drop" -n "fd -j32" "$cmd_fd32" \
    --prepare "$drop" -n find "$cmd_find" >&2
  mem_helper=$(peak "$prepare_helper; $drop" "$cmd_helper")
  mem_fd=$(peak "$drop" "$cmd_fd")
  mem_find=$(peak "$drop" "$cmd_find")
else
  before=()
  [ -z "$compare" ] || before=(--prepare "$prepare_helper" -n before "$cmd_compare"
    --prepare "$prepare_helper; rm -rf $work/cache-first" -n "first walk"
    "XDG_CACHE_HOME=$work/cache-first $helper $batch")
  hyperfine --style basic --warmup 2 --runs "$runs" --export-json "$work/times.json" \
    --prepare "$prepare_helper" -n moviecat-cmd "$cmd_helper" "${before[@]}" \
    --prepare true -n fd "$cmd_fd" \
    --prepare true -n find "$cmd_find" >&2
  mem_helper=$(peak "$prepare_helper" "$cmd_helper")
  mem_fd=$(peak true "$cmd_fd")
  mem_find=$(peak true "$cmd_find")
fi

python3 - "$work/times.json" "$mem_helper" "$mem_fd" "$mem_find" "$cold" "$share" <<'PY'
import json, sys
times = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
mem = {"moviecat-cmd": int(sys.argv[2]), "fd": int(sys.argv[3]), "find": int(sys.argv[4])}
cold = sys.argv[5] == "1"
share = sys.argv[6] != ""
kind = "slow share" if share else "cold cache" if cold else "warm cache"
print(f"\n{kind}, median of {len(times['fd']['times'])} runs")
print(f"{'tool':<14}{'median s':>10}{'min s':>9}{'max s':>9}{'peak MB':>9}")
for name, t in times.items():
    peak = f"{mem[name]/1024:>9.1f}" if mem.get(name) else f"{'-':>9}"
    print(f"{name:<14}{t['median']:>10.3f}{t['min']:>9.3f}{t['max']:>9.3f}{peak}")
h, f = (times[k]["median"] for k in ("moviecat-cmd", "fd"))
if share:
    j = times["fd -j32"]["median"]
    print(f"moviecat-cmd: {h/f:.2f} x fd's median, {h/j:.2f} x fd -j32's")
else:
    part = 0.2 if cold else 0.6
    print(f"target: median <= {part} x fd's: {h:.3f} <= {f*part:.3f} ({h/f:.2f} x) -> {'met' if h <= f*part else 'NOT met'}")
if "before" in times:
    b = times["before"]["median"]
    print(f"moviecat-cmd against before: {h/b:.3f} x ({(h/b - 1)*100:+.1f} %)")
    w = times["first walk"]["median"]
    print(f"first walk (no index yet) against before: {w/b:.3f} x ({(w/b - 1)*100:+.1f} %)")
if mem["fd"]:
    m = mem["moviecat-cmd"] / mem["fd"]
    print(f"target: peak memory <= 1.5 x fd's: {m:.2f} x -> {'met' if m <= 1.5 else 'NOT met'}")
PY

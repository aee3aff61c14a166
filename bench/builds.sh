# Sourced by the benchmarks that set this tree's build beside an earlier one: reads
#   --before BUILD [--build BUILD] [--runs N] [ROOT]
# into before, build (default build/rel), runs (default $runs) and root (default
# /work/bench-data/library, without a trailing '/'); -h prints the calling script's
# lines 2 to $usage_lines. Then writes movie.ini into $work for every category folder
# of root, and offers walk_into CACHE HELPER: one walk of every category with HELPER,
# writing its indexes into CACHE.
root=/work/bench-data/library
build=$top/build/rel
before=""
while [ $# -gt 0 ]; do
  case "$1" in
    --before) before=$2; shift ;;
    --build) build=$2; shift ;;
    --runs) runs=$2; shift ;;
    -h|--help) sed -n "2,${usage_lines}p" "$0"; exit 0 ;;
    -*) echo "unknown option $1" >&2; exit 2 ;;
    *) root=$1 ;;
  esac
  shift
done
root=${root%/}
[ -n "$before" ] || { echo "--before BUILD is needed: the build to compare with" >&2; exit 2; }
[ -d "$root" ] || { echo "no tree at $root; run bench/make_library_tree.py $root" >&2; exit 1; }

categories() {
  find "$root" -mindepth 1 -maxdepth 1 -type d -print0 | sort -z
}

{
  printf '[movie]\r\n'
  while IFS= read -r -d '' category; do
    printf '%s=%s\r\n' "$(basename "$category")" "$category"
  done < <(categories)
  printf '[movie end]\r\n'
} > "$work/movie.ini"

walk_into() {
  local cache=$1 helper=$2 name
  name=$(basename "$cache")
  : > "$work/$name.bat"
  while IFS= read -r -d '' category; do
    printf 'DIR "%s/*dragon*" /ad /s /b >>%s\r\n' "$category" "$work/$name.txt" >> "$work/$name.bat"
  done < <(categories)
  printf 'DEL /Q %s\r\n' "$work/$name.bat" >> "$work/$name.bat"
  XDG_CACHE_HOME=$cache "$helper" "$work/$name.bat"
}

#!/usr/bin/env bash
# Writes NAME.out anew from what the program prints for NAME.dat, the way
# run_case.sh runs it. Check the difference by eye before committing it.
#   bash tests/cases/accept.sh build/terrax tests/cases/NAME.dat ...
set -u
prog=$(realpath "$1")
shift
for case_file in "$@"; do
  dir=$(cd "$(dirname "$case_file")" && pwd)
  name=$(basename "$case_file" .dat)
  work=$(mktemp -d)
  [ -d "$dir/$name.files" ] && cp -r "$dir/$name.files/." "$work/"
  args=()
  [ -f "$dir/$name.args" ] && read -r -a args < "$dir/$name.args"
  envs=()
  [ -f "$dir/$name.env" ] && mapfile -t envs < "$dir/$name.env"
  (cd "$work" && env "${envs[@]}" PATH="$dir/bin:$PATH" HOME="$work" OLVENA="$work" LC_ALL=C "$prog" "${args[@]}" < "$dir/$name.dat" > "$dir/$name.out" 2>/dev/null)
  rm -rf "$work"
done

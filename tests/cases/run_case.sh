#!/usr/bin/env bash
# Runs one end-to-end case: pipes NAME.dat into the program in a fresh
# temporary folder and compares what it prints with NAME.out.
#   NAME.args   command-line arguments (optional, one line)
#   NAME.env    environment settings (optional, one VAR=value a line)
#   NAME.files/ files copied into the folder first (optional)
#   NAME.rc     expected exit code (optional, default 0)
#   NAME.err    expected standard error (optional; otherwise it must be empty)
# Time stamps are masked as <time> in both transcripts.
set -u
prog=$1
case_file=$2
dir=$(cd "$(dirname "$case_file")" && pwd)
name=$(basename "$case_file" .dat)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
[ -d "$dir/$name.files" ] && cp -r "$dir/$name.files/." "$work/"
args=()
[ -f "$dir/$name.args" ] && read -r -a args < "$dir/$name.args"
envs=()
[ -f "$dir/$name.env" ] && mapfile -t envs < "$dir/$name.env"
want_rc=0
[ -f "$dir/$name.rc" ] && want_rc=$(cat "$dir/$name.rc")

mask='s/[A-Z][a-z][a-z] [A-Z][a-z][a-z] [ 0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9] [0-9][0-9][0-9][0-9]/<time>/g; s/[0-9][0-9]:[0-9][0-9]:[0-9][0-9] [A-Z][a-z][a-z] [A-Z][a-z][a-z] [ 0-9][0-9] [0-9][0-9][0-9][0-9]/<time>/g'
(cd "$work" && env "${envs[@]}" PATH="$dir/bin:$PATH" HOME="$work" OLVENA="$work" LC_ALL=C "$prog" "${args[@]}" < "$case_file" > out.txt 2> err.txt)
rc=$?
status=0
if [ "$rc" != "$want_rc" ]; then
  echo "exit code $rc, expected $want_rc"
  status=1
fi
if ! diff -u <(sed -e "$mask" "$dir/$name.out") <(sed -e "$mask" "$work/out.txt"); then
  status=1
fi
if [ -f "$dir/$name.err" ]; then
  diff -u <(sed -e "$mask" "$dir/$name.err") <(sed -e "$mask" "$work/err.txt") || status=1
elif [ -s "$work/err.txt" ]; then
  echo "unexpected standard error:"; cat "$work/err.txt"; status=1
fi
exit $status

#!/usr/bin/env bash
# A leak counts as a failure: the in-process driver, told to leak a block on
# every line that begins with "model", makes the fuzzer fail, and the failure
# is minimised to that one line of one word. Needs the address sanitizer.
#   bash tests/fuzz/planted_leak.sh build-sanitize/terrax build-sanitize/tests/fuzz_driver
set -eu
here=$(dirname "$(realpath "$0")")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if TERRAX_FUZZ_PLANT_LEAK=model python3 "$here/fuzz.py" --binary "$1" --driver "$2" --seed 1 --lines 1 \
  --batch 1 --saves 0 --out "$work/out" >"$work/log" 2>&1; then
  echo "the planted leak was not reported"
  cat "$work/log"
  exit 1
fi
cat "$work/log"
grep -q "FAILED (sanitizer ERROR: LeakSanitizer" "$work/log"
test "$(cat "$work/out/failure1.dat")" = "model"

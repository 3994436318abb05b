#!/usr/bin/env bash
# Builds, checks the sources against .clang-format, and runs every test:
# unit tests, collapse verifications and end-to-end cases, then the unit
# tests again under the address and undefined-behaviour sanitizers. The
# mesh-refinement study (label "slow") runs by hand: ctest --test-dir build -L slow.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
bash scripts/check_format.sh
jobs=$(nproc 2>/dev/null || echo 2)
ctest --test-dir build --output-on-failure -j "$jobs" -LE slow
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Release -DTERRAX_SANITIZE=ON -DTERRAX_BENCH=OFF >/dev/null
cmake --build build-sanitize
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --test-dir build-sanitize --output-on-failure -j "$jobs" -LE "slow|verification"
# The fuzzer under the sanitizers: a fixed seed and number of inputs, at most
# three minutes (see tests/fuzz/README.md).
python3 tests/fuzz/fuzz.py --binary build-sanitize/terrax --seed 1 --lines 3000 --saves 300 --minutes 3 \
  --out build-sanitize/fuzz-failures

#!/bin/sh
# Whole-process times of the million-zone command files, each run three
# times on one thread: user, system and wall seconds and the largest
# resident size. Run from a scratch folder with room for a 2.1 GB save file:
#   sh /path/to/bench/million_commands.sh /path/to/build/terrax
# The save file is removed at the end.
terrax=${1:-build/terrax}
bench=$(dirname "$0")
for name in generate model property save restore; do
  for run in 1 2 3; do
    OMP_NUM_THREADS=1 /usr/bin/time -f "$name $run: %U user %S system %e wall %M KB" \
      "$terrax" < "$bench/million_$name.dat" > /dev/null
  done
done
rm -f million_bench.sav

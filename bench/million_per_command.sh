#!/bin/bash
# The user, system and wall seconds of each million-zone command on its own:
# GENERATE, MODEL, PROPERTY and SAVE run in one process on one thread, and
# the process's clocks (/proc/PID/stat) are read after each command, so a
# command's time is not the difference of two noisy runs. Run from a
# scratch folder with room for a 2.1 GB save file:
#   bash /path/to/bench/million_per_command.sh /path/to/build/terrax [runs]
# The save file is removed at the end.
terrax=${1:-build/terrax}
runs=${2:-3}
tick=$(getconf CLK_TCK)
work=$(mktemp -d)
trap 'rm -rf "$work"; rm -f million_bench.sav' EXIT
commands=("gen zone brick size 100 100 100" "model elastic" "prop bulk 5e7 shear 3e7 density 2000"
  "save million_bench.sav")
for ((run = 1; run <= runs; ++run)); do
  mkfifo "$work/in"
  OMP_NUM_THREADS=1 "$terrax" < "$work/in" > "$work/out" 2>&1 &
  pid=$!
  exec 3> "$work/in"
  read -r u0 s0 <<< "$(awk '{print $14, $15}' /proc/$pid/stat)"
  t0=$(date +%s.%N)
  line="run $run:"
  for ((i = 0; i < ${#commands[@]}; ++i)); do
    # A comment after each command: its echo tells that the command is done.
    printf '%s\n; done %d\n' "${commands[$i]}" "$i" >&3
    until grep -Eq "; done $i( |$)" "$work/out"; do sleep 0.02; done
    read -r u1 s1 <<< "$(awk '{print $14, $15}' /proc/$pid/stat)"
    t1=$(date +%s.%N)
    line+=$(awk -v w="${commands[$i]%% *}" -v u=$((u1 - u0)) -v s=$((s1 - s0)) -v t="$tick" -v a="$t0" -v b="$t1" \
      'BEGIN { printf " %s %.2f / %.2f / %.2f", w, u / t, s / t, b - a }')
    u0=$u1 s0=$s1 t0=$t1
  done
  exec 3>&-
  wait $pid
  rm -f "$work/in"
  echo "$line (user / system / wall seconds)"
done

#!/usr/bin/env bash
# Exact continuation: N + M steps in one run give the same save file, byte
# for byte, as N steps, SAVE, a new process, RESTORE and M steps. The time
# of saving (bytes 28 to 31) and so the trailer's checksum (the last four
# bytes) are the only bytes allowed to differ.
#   bash tests/fuzz/continuation.sh build/terrax
set -eu
prog=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
model='config zextra 2 gpextra 1
gen zone brick size 3 3 3
gen zone brick size 2 2 2 p0 0 0 3 p1 1 0 3 p2 0 1 3 p3 0 0 4 nomerge
attach face nosnap
model mohr
prop bulk 1e8 shear 5e7 coh 2e4 fric 30 ten 1e3 dens 2000
model elastic range z 3 4
prop bulk 2e8 shear 1e8 dens 2500 range z 3 4
group soil range z 0 1.5
range name top z 2.9 4.1
macro mm '"'"'print version'"'"'
set grav 0 0 -10
fix z range z -0.1 0.1
fix x range x -0.1 0.1
fix x range x 2.9 3.1
fix y range y -0.1 0.1
fix y range y 2.9 3.1
initial szz -2e4 range z 0 1
apply szz -1e4 range z 3.9 4.1
interface 1 face range z 2.9 3.1 x 0 1 y 0 1
interface 1 prop kn 1e9 ks 1e9 fric 20
title continuation'
run() { printf '%s\n' "$@" | LC_ALL=C HOME="$work" OLVENA="$work" "$prog" > /dev/null; }
run "$model" "step 40" "save first" "step 25" "save whole"
run "restore first" "step 25" "save continued"
status=0
size=$(stat -c %s whole.sav)
[ "$size" = "$(stat -c %s continued.sav)" ] || { echo "sizes differ"; status=1; }
cmp -n 28 whole.sav continued.sav || status=1
cmp -i 32 -n $((size - 36)) whole.sav continued.sav || status=1
[ "$status" = 0 ] && echo "continued run equal to the whole run ($size bytes)"
exit $status

#!/usr/bin/env bash
# The in-process driver's watchdog: a calculation that runs past its budget
# and stops at ESC is no fault; a line that ESC cannot stop (here a shell
# command that sleeps) is a hang.
#   bash tests/fuzz/watchdog.sh build/tests/fuzz_driver
set -u
driver=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
status=0
printf '@@batch\ngen zone brick size 2 2 2\nmodel elastic\nprop bulk 1e8 shear 1e8 dens 1000\ncycle 2147483647\n' |
  "$driver" --budget 0.3 >out 2>err
rc=$?
if [ $rc != 0 ] || ! grep -qx "@@esc 1" out; then
  echo "a calculation stopped by ESC: exit code $rc"
  cat out err
  status=1
fi
printf '@@batch\nprint version\nsystem sleep 2\n' | "$driver" --budget 0.3 >out 2>err
rc=$?
if [ $rc != 70 ] || ! grep -q "^@@hang batch 1 (ESC did not stop it): system sleep 2" err; then
  echo "a line that ESC cannot stop: exit code $rc"
  cat out err
  status=1
fi
exit $status

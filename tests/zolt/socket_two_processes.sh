#!/usr/bin/env bash
# Two programs on one socket channel: the first listens (sopen(1, 0)), the
# second connects to this machine (sopen(0, 0)); arrays written by either
# arrive at the other in order, a 150-character text as its first 100
# characters; after sclose on both the channel opens again.
#   bash tests/zolt/socket_two_processes.sh build/terrax
set -eu
prog=$(realpath "$1")
work=$(mktemp -d)
pids=()
cleanup() {
  exec 3>&- 4>&- 2> /dev/null || true
  for p in "${pids[@]}"; do kill "$p" 2> /dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
mkfifo a.in b.in
LC_ALL=C HOME="$work" OLVENA="$work" "$prog" < a.in > a.out 2>&1 &
pids+=($!)
exec 3> a.in
LC_ALL=C HOME="$work" OLVENA="$work" "$prog" < b.in > b.out 2>&1 &
pids+=($!)
exec 4> b.in

# Waits until port 3333 (channel 0) is listening. The waiting message itself
# stays unwritten until its line ends, when the client has come.
wait_listening() {
  for _ in $(seq 200); do
    grep -qE ':0D05 [0-9A-F]+:[0-9A-F]+ 0A ' /proc/net/tcp /proc/net/tcp6 2> /dev/null && return 0
    sleep 0.05
  done
  echo "the first program does not listen"
  exit 1
}

# Waits until the file holds the text the given number of times.
wait_for() {
  for _ in $(seq 200); do
    [ "$(grep -cF -- "$2" "$1" || true)" -ge "$3" ] && return 0
    sleep 0.05
  done
  echo "timed out waiting for '$2' in $1:"
  cat "$1"
  exit 1
}

cat >&3 << 'END'
define serve
  array a(3)
  array b(2)
  a(1) = 42
  a(2) = 2.25
  a(3) = 'hello'
  qopen = sopen(1, 0)
  qwrite = swrite(a, 0, 3)
  qread = sread(b, 0, 2)
  qtext = b(1)
  qnum = b(2)
  qclose = sclose(0)
end
define again
  qopen = sopen(1, 0)
  qread = sread(b, 0, 1)
  qnum = b(1)
  qclose = sclose(0)
end
END
cat >&4 << 'END'
define client
  array c(3)
  array d(2)
  qopen = sopen(0, 0)
  qread = sread(c, 0, 3)
  qint = c(1)
  qfloat = c(2)
  qtext = c(3)
  t = ''
  loop k (1, 15)
    t = t + '0123456789'
  endloop
  d(1) = t
  d(2) = c(1) + 1
  qwrite = swrite(d, 0, 2)
  qclose = sclose(0)
end
define again
  d(1) = 7
  qopen = sopen(0, 0)
  qwrite = swrite(d, 0, 1)
  qclose = sclose(0)
end
END

echo serve >&3
wait_listening
printf '%s\n' client 'print qopen' 'print qread' 'print qint' 'print qfloat' 'print qtext' 'print qwrite' \
  'print qclose' >&4
wait_for b.out "qclose = " 1
printf '%s\n' 'print qopen' 'print qwrite' 'print qread' 'print qtext' 'print qnum' 'print qclose' >&3
wait_for a.out "qclose = " 1

# The channel is free again on both sides.
echo again >&3
wait_listening
printf '%s\n' again 'print qopen' 'print qwrite' 'print qclose' >&4
wait_for b.out "qclose = " 2
printf '%s\n' 'print qopen' 'print qread' 'print qnum' 'print qclose' >&3
wait_for a.out "qclose = " 2
exec 3>&- 4>&-
wait

status=0
expect() {
  if ! grep -qxF -- "$2" "$1"; then
    echo "missing in $1: $2"
    status=1
  fi
}
ten=0123456789
hundred=$ten$ten$ten$ten$ten$ten$ten$ten$ten$ten
expect a.out "$(hostname) is waiting for connection ...  connection made!"
for v in "qopen = 0" "qwrite = 0" "qread = 0" "qtext = $hundred" "qnum = 43" "qclose = 0" "qnum = 7"; do
  expect a.out "$v"
done
for v in "qopen = 0" "qread = 0" "qint = 42" "qfloat = 2.25" "qtext = hello" "qwrite = 0" "qclose = 0"; do
  expect b.out "$v"
done
[ "$(grep -c "connection made!" a.out)" = 2 ] || { echo "the second connection was not made"; status=1; }
if grep -qE '^ ?\*\*\* ' a.out b.out; then
  echo "unexpected errors:"
  grep -E '^ ?\*\*\* ' a.out b.out
  status=1
fi
[ $status = 0 ] || { echo "--- first program"; cat a.out; echo "--- second program"; cat b.out; }
exit $status

#!/usr/bin/env bash
# Runs vaskerel (a run with a manifest, and a verify) under every address-space limit from 60 to
# 140 MB in 2 MB steps, under pids.max 1 to 4 (cgroup v1 or v2, as root), and under ulimit -u 1
# as nobody, and counts what ended other than in a complete run or one line that says why.
# Usage: tests/stress/limits.sh VASKEREL
set -uo pipefail
vaskerel=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"; [ -n "${group:-}" ] && rmdir "$group" 2> /dev/null' EXIT
mkdir -p "$work/in/sub" "$work/out"
for i in $(seq 1 60); do head -c $((i * 997)) /dev/urandom > "$work/in/sub/f$i"; done
head -c $((3 << 20)) /dev/urandom > "$work/in/large"
ln -s sub/f1 "$work/in/link"
chmod -R a+rwX "$work"
"$vaskerel" -q -i "$work/in" -o "$work/expected.htm" || exit 1

runs=0 complete=0 oneline=0 loader=0 bad=0
judge() { # label, status, error file, expected output or empty
  runs=$((runs + 1))
  local lines; lines=$(grep -vc '^vaskerel: cannot read through io_uring\|checked by' "$3")
  if [ "$2" -eq 0 ] && [ "$lines" -eq 0 ] && { [ -z "$4" ] || cmp -s "$4" "$work/expected.htm"; }; then
    complete=$((complete + 1))
  elif [ "$2" -eq 127 ] && [ "$lines" -eq 1 ] && grep -q 'error while loading shared libraries' "$3"; then
    loader=$((loader + 1))
  elif [ "$2" -ge 1 ] && [ "$2" -le 2 ] && [ "$lines" -eq 1 ] && ! grep -q 'std::\|terminate\|core' "$3"; then
    oneline=$((oneline + 1)); echo "  $1: exit $2: $(grep -v 'through io_uring' "$3")"
  else
    bad=$((bad + 1)); echo "  $1: BAD exit $2:"; sed 's/^/    /' "$3"
  fi
}
run() { # label, command prefix...
  local label=$1; shift
  rm -f "$work/out/"*
  "$@" "$vaskerel" -q -i "$work/in" -o "$work/out/list.htm" --checksums "$work/out/sums.md5" 2> "$work/err"
  judge "$label" $? "$work/err" "$work/out/list.htm"
  "$@" "$vaskerel" -q --verify "$work/expected.htm" -i "$work/in" > /dev/null 2> "$work/err"
  judge "$label verify" $? "$work/err" ""
}
limited() { local kib=$1; shift; (ulimit -v "$kib"; exec "$@"); }
in_group() { (echo $BASHPID > "$group/cgroup.procs" && exec "$@"); }

for mb in $(seq 60 2 140); do run "ulimit -v ${mb} MB" limited $((mb * 1000000 / 1024)); done
if [ "$(id -u)" -eq 0 ]; then
  if [ -d /sys/fs/cgroup/pids ]; then group=/sys/fs/cgroup/pids/vaskerel-limits-$$; else group=/sys/fs/cgroup/vaskerel-limits-$$; fi
  mkdir "$group"
  for pids in 1 2 3 4; do
    echo "$pids" > "$group/pids.max"
    run "pids.max $pids" in_group
  done
  run "ulimit -u 1 as nobody" setpriv --reuid=65534 --regid=65534 --clear-groups -- bash -c 'ulimit -u 1; exec "$@"' limit
fi
echo "$runs runs: $complete complete, $oneline ended in one line, $loader in the loader's line, $bad otherwise"

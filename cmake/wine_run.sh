#!/bin/sh
# wine_run.sh WINE PROGRAM [ARG...]: runs a Windows program under Wine for ctest and the build. Now and then,
# with several programs starting at once, Wine fails to start one at all: it ends with a failure status and
# not a byte of output. Such a start is tried again, twice at most. A program that ran has said something
# (every test program does), and its output and status stand as they are.
out="$(mktemp)" && err="$(mktemp)" || exit 125
trap 'rm -f "$out" "$err"' EXIT
for attempt in 1 2 3; do
  "$@" >"$out" 2>"$err"
  status=$?
  if [ "$status" -eq 0 ] || [ -s "$out" ] || [ -s "$err" ]; then break; fi
  [ "$attempt" -lt 3 ] && echo "wine_run.sh: no output and status $status from $2; starting it again" >&2
done
cat "$out"
cat "$err" >&2
exit "$status"

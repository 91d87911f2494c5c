#!/usr/bin/env bash
# Peak RSS of `zarctl nc check` and `zarctl send` on big program files: one
# of 100 MB (refused by the 16 MiB input bound before any work) and one just
# under the bound (16 000 000 bytes, about 640 000 lines). The send goes to
# `zarctl controller`, which refuses the line after its 20 000th, so the send
# stops part-way there.
#
#   bench/big_input_rss.sh [BUILD_DIR]
set -euo pipefail
build=$(realpath "${1:-build}")
src=$(cd "$(dirname "$0")/.." && pwd)
zarctl=$build/zarctl
work=$(mktemp -d)
ctrl=
cleanup() {
  [[ -n "$ctrl" ]] && kill "$ctrl" 2>/dev/null && wait "$ctrl" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
cp "$src/data/Message.E" .
printf 'Language = 1\r\nBaud = 5\r\n' > Customer.ini

# Editor lines of 25 bytes each, up to about BYTES; with "ncd" as an NC
# program file (slot, name, numbered lines).
program() {  # BYTES [ncd]
  awk -v limit="$1" -v ncd="${2:-}" 'BEGIN {
    if (ncd) { printf "1\r\nBIG\r\n"; size = 8 }
    for (i = 1; size < limit; i++) {
      line = sprintf("G01 X%06d Y%06d F100", i % 999999, i % 7)
      if (ncd) line = "N" i " " line
      printf "%s\r\n", line
      size += length(line) + 2
    }
  }'
}
program 100000000 > big100.nc
program 100000000 ncd > big100.ncd
program 16000000 > big16.nc
program 16000000 ncd > big16.ncd
ls -l big16.nc big16.ncd big100.nc big100.ncd | awk '{ printf "%-11s %11d bytes\n", $9, $5 }'

"$zarctl" controller > device.txt 2> controller.err &
ctrl=$!
for _ in $(seq 50); do [[ -s device.txt ]] && break; sleep 0.1; done
device=$(head -n 1 device.txt)
opts=(--port "$device" -y --timeout 2000 --transit-mode 1 --reconnect-delay 0)

peak() {  # LABEL COMMAND...: peak RSS, exit code, wall time, the last line of standard error
  local label=$1
  shift
  local code=0
  /usr/bin/time -f '%M %e' -o time.txt "$@" > out.txt 2> err.txt || code=$?
  read -r kb seconds < <(tail -n 1 time.txt)
  printf '%-34s peak %7d kB  exit %3d  %6.2f s  %s\n' "$label" "$kb" "$code" "$seconds" \
    "$(grep -v '^Command exited' err.txt | tail -n 1 | cut -c 1-90)"
}
peak "nc check --text (100 MB)" "$zarctl" nc check --text big100.nc
peak "nc check, program file (100 MB)" "$zarctl" nc check big100.ncd
peak "send (100 MB)" "$zarctl" send big100.ncd "${opts[@]}"
peak "nc check --text (16 MB)" "$zarctl" nc check --text big16.nc
peak "nc check, program file (16 MB)" "$zarctl" nc check big16.ncd
peak "send (16 MB)" "$zarctl" send big16.ncd "${opts[@]}"

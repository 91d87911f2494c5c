#!/usr/bin/env bash
# Soak: EXCHANGES program exchanges (receive and send of slot 1 alternating,
# the 11-line sample program) against `zarctl controller`, three ways:
#
#   1. zarctl, one process per exchange: its peak RSS over the first and the
#      last 100 runs (a run must not cost more for the runs before it);
#   2. soak_driver core: the same dialogues in one process, RSS and open
#      descriptors after a warm-up of 200 exchanges and at the end;
#   3. soak_driver window: the main window offscreen, its buttons clicked,
#      the message area cleared every 100 exchanges as an operator would;
#      then once more keeping the whole log.
#
# The controller process's own RSS and descriptors are shown too. Not a
# ctest: it takes minutes.
#
#   bench/soak_exchanges.sh [BUILD_DIR] [EXCHANGES]
#   e.g. bench/soak_exchanges.sh build 10000
set -euo pipefail
build=$(realpath "${1:-build}")
n="${2:-10000}"
src=$(cd "$(dirname "$0")/.." && pwd)
zarctl=$build/zarctl
driver=$build/bench/soak_driver
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

"$zarctl" controller --samples > device.txt 2> controller.err &
ctrl=$!
for _ in $(seq 50); do [[ -s device.txt ]] && break; sleep 0.1; done
device=$(head -n 1 device.txt)
[[ -n "$device" ]] || { echo "the controller did not start" >&2; exit 1; }

rss_of() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }
fds_of() { ls "/proc/$1/fd" | wc -l; }
stats() {  # mean and max of the numbers in a file
  awk '{ s += $1; if ($1 > m) m = $1 } END { printf "mean %.0f kB, max %d kB", s / NR, m }' "$1"
}
ctrl_rss0=$(rss_of "$ctrl") ctrl_fds0=$(fds_of "$ctrl")

# 1. zarctl, a process per exchange.
opts=(--port "$device" -y --timeout 2000 --transit-mode 1 --reconnect-delay 0)
: > rss.txt
start=$(date +%s)
for ((i = 0; i < n; i++)); do
  if ((i % 2 == 0)); then
    /usr/bin/time -f %M -a -o rss.txt "$zarctl" receive 1 -o prog.nc "${opts[@]}" 2> run.err ||
      { echo "receive $i failed:" >&2; cat run.err >&2; exit 1; }
  else
    /usr/bin/time -f %M -a -o rss.txt "$zarctl" send prog.nc "${opts[@]}" > run.out 2> run.err ||
      { echo "send $i failed:" >&2; cat run.err >&2; exit 1; }
  fi
  if ((i + 1 == 200)); then ctrl_rss_warm=$(rss_of "$ctrl") ctrl_fds_warm=$(fds_of "$ctrl"); fi
done
echo "zarctl: $n exchanges in $(($(date +%s) - start)) s"
echo "zarctl: peak RSS of the first 100 runs: $(head -n 100 rss.txt > first.txt; stats first.txt)"
echo "zarctl: peak RSS of the last 100 runs:  $(tail -n 100 rss.txt > last.txt; stats last.txt)"

# 2. and 3. in one process each; a failed exchange is reported, the run goes on.
"$driver" core "$device" "$n" || true
mkdir -m 700 runtime
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work/runtime
"$driver" window "$device" "$n" 1 100 || true
"$driver" window "$device" "$n" 1 0 || true

echo "controller: RSS $ctrl_rss0 kB at the start, $ctrl_rss_warm kB after 200 exchanges," \
     "$(rss_of "$ctrl") kB after $((4 * n)); descriptors $ctrl_fds0, $ctrl_fds_warm, $(fds_of "$ctrl")"

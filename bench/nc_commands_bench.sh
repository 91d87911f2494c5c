#!/usr/bin/env bash
# Times `zarctl nc check` on a generated program that fills the block list
# (5 998 records; plain program text, so .txt) against `wc -w` on the same file, and `zarctl nc plot` of a
# program of 5 998 full circles drawn at the 0.5 degree step (about 4.3
# million interpreter steps). Each figure is the best of RUNS runs (wall
# clock).
#
#   bench/nc_commands_bench.sh [ZARCTL] [RUNS]
#   e.g. bench/nc_commands_bench.sh build-release/zarctl 5
set -euo pipefail
zarctl=$(realpath "${1:-build/zarctl}")
runs="${2:-5}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

awk 'BEGIN {
  for (i = 0; i < 5998; i++) {
    x = sprintf("%d.%d", i % 400, i % 1000); y = sprintf("%d.25", (i * 7) % 300)
    k = i % 6
    if (k == 0) s = "G1 X" x " Y-" y " Z0.5 F1200"
    else if (k == 1) s = "G0 X" x " Y" y " Z5"
    else if (k == 2) s = "G2 X" x " Y" y " I5.5 J-2.25"
    else if (k == 3) s = "(arc) G3 X" x " Y" y " R12.5"
    else if (k == 4) s = "x" y " y" x
    else s = "DOH" (1 + i % 32) " '"'"' output"
    printf "%s\r\n", s
  }
}' > full.txt
awk 'BEGIN { for (i = 0; i < 5998; i++) printf "G2 I5 J0\r\n" }' > circles.txt

now() { date +%s%N; }
best() {  # best wall time in ms of running "$@" RUNS times
  local b=0 t0 t
  for ((i = 0; i < runs; i++)); do
    t0=$(now); "$@" >/dev/null 2>&1 || true; t=$(( $(now) - t0 ))
    if ((b == 0 || t < b)); then b=$t; fi
  done
  awk -v ns="$b" 'BEGIN { printf "%.2f", ns / 1e6 }'
}

"$zarctl" nc check full.txt
wc_ms=$(best wc -w full.txt)
check_ms=$(best "$zarctl" nc check full.txt)
dump_ms=$(best "$zarctl" nc dump full.txt -o full.dump)
plot_ms=$(best "$zarctl" nc plot circles.txt --unit 1 -o circles.svg)
"$zarctl" nc plot circles.txt --unit 1 -o circles.svg

echo "full list program:     $(wc -l < full.txt) lines, $(wc -c < full.txt) bytes"
echo "wc -w:                 $wc_ms ms"
awk -v c="$check_ms" -v d="$dump_ms" -v w="$wc_ms" 'BEGIN {
  printf "zarctl nc check:       %s ms  (%.2f x wc -w)\n", c, c / w
  printf "zarctl nc dump:        %s ms  (%.2f x wc -w)\n", d, d / w
}'
echo "zarctl nc plot (5 998 full circles, 0.5 degree steps): $plot_ms ms, SVG $(wc -c < circles.svg) bytes"

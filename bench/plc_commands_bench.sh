#!/usr/bin/env bash
# Times `zarctl plc compile` and `zarctl plc decompile` on a generated PLC
# program against `wc -w` on the same source file, in the same run. Each
# figure is the best of RUNS runs, as wall-clock time and as CPU time (the
# fairer one on a busy machine); /usr/bin/time gives 10 ms resolution.
#
#   bench/plc_commands_bench.sh [ZARCTL] [INSTRUCTIONS] [RUNS]
#   e.g. bench/plc_commands_bench.sh build-release/zarctl 100000 7
set -euo pipefail
zarctl=$(realpath "${1:-build/zarctl}")
count="${2:-100000}"
runs="${3:-5}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# A program with every kind of operand, CR LF line ends, some comments.
awk -v n="$count" 'BEGIN {
  srand(7)
  for (i = 0; i < n; i++) {
    r = int(rand() * 14); a = int(rand() * 29); b = int(rand() * 16); t = int(rand() * 64)
    if (r == 0) s = sprintf("LD %02d%02d", a, b)
    else if (r == 1) s = sprintf("AND T%03d", t)
    else if (r == 2) s = sprintf("OUT %02d%02d", 5 + int(rand() * 15), b)
    else if (r == 3) s = sprintf("TMR %03d #%05d", t, int(rand() * 65536))
    else if (r == 4) s = sprintf("CNT %03d #%05d %02d%02d", t, int(rand() * 65536), a, b)
    else if (r == 5) s = sprintf("DW $%04X DM%04d", int(rand() * 65536), int(rand() * 500))
    else if (r == 6) s = sprintf("LDA TM%02d", int(rand() * 30))
    else if (r == 7) s = sprintf("@CMP #TM%02d", int(rand() * 30))
    else if (r == 8) s = sprintf("SLA #%02d", 1 + int(rand() * 16))
    else if (r == 9) s = sprintf("ATMU %02d 99 0500 0501", 1 + int(rand() * 98))
    else if (r == 10) s = sprintf("JMP %03d  ; jump", int(rand() * 256))
    else if (r == 11) s = sprintf("DEMB %02d%02d #%05d", a, b, int(rand() * 256))
    else if (r == 12) s = sprintf("SFT 10%02d 19%02d", b, b)
    else s = "END"
    printf "%s\r\n", s
  }
}' > prog.pmc

# Best wall-clock and best CPU (user + system) time in ms of RUNS runs of "$@".
best() {
  local bw=0 bc=0 w c t TIMEFORMAT='%3R %3U %3S'
  for ((i = 0; i < runs; i++)); do
    t=$( { time "$@" >/dev/null 2>&1; } 2>&1 ) || true
    read -r w c < <(echo "$t" | awk '{ printf "%d %d\n", $1 * 1000 + 0.5, ($2 + $3) * 1000 + 0.5 }')
    if ((bw == 0 || w < bw)); then bw=$w; fi
    if ((bc == 0 || c < bc)); then bc=$c; fi
  done
  echo "$bw $bc"
}

"$zarctl" plc compile prog.pmc -o prog.mcn >/dev/null
"$zarctl" plc decompile prog.mcn -o back.pmc >/dev/null
read -r wc_w wc_c < <(best wc -w prog.pmc)
read -r co_w co_c < <(best "$zarctl" plc compile prog.pmc -o prog.mcn)
read -r ch_w ch_c < <(best "$zarctl" plc check prog.pmc)
read -r de_w de_c < <(best "$zarctl" plc decompile prog.mcn -o back.pmc)

echo "instructions: $count ($(wc -c < prog.pmc) bytes of source, $(wc -c < prog.mcn) bytes of image), best of $runs"
report() {
  awk -v n="$1" -v w="$2" -v c="$3" -v ww="$wc_w" -v wc="$wc_c" 'BEGIN {
    rw = ww > 0 ? sprintf("%.2f", w / ww) : "-"; rc = wc > 0 ? sprintf("%.2f", c / wc) : "-"
    printf "%-22s wall %5d ms (%s x wc -w)   cpu %5d ms (%s x wc -w)\n", n, w, rw, c, rc
  }'
}
report "wc -w" "$wc_w" "$wc_c"
report "zarctl plc compile" "$co_w" "$co_c"
report "zarctl plc check" "$ch_w" "$ch_c"
report "zarctl plc decompile" "$de_w" "$de_c"

#!/bin/sh
# stats-crosscheck end to end on synthetic contests of 1,000 logs with 100, 300 and 1,000 QSOs
# each: wall and CPU time and peak memory of the whole run (reading, matching, scoring every log
# twice through the plug-in, writing the reports), and whether the reports name exactly the
# injected faults. Prints a Markdown table.
#   bench/crosscheck-scale.sh [QSOS_PER_LOG...]   (default: 100 300 1000)
set -eu
cd "$(dirname "$0")/.."
native=$PWD/build/native
sizes=${*:-100 300 1000}
scratch=$(mktemp -d /tmp/stats-crosscheck-scale.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
echo "| logs | QSOs | wall | CPU (user + sys) | peak memory | per QSO | flagged = injected |"
echo "|---:|---:|---:|---:|---:|---:|:---:|"
for q in $sizes; do
  "$native/make-contest" --stations 1000 --qsos "$q" --seed 7 --faults 0.01 "$scratch/c$q" 2>"$scratch/make.txt"
  qsos=$(sed -n 's/.*logs, \([0-9]*\) QSOs.*/\1/p' "$scratch/make.txt")
  /usr/bin/time -f "%e %U %S %M" -o "$scratch/time.txt" \
    "$native/stats-crosscheck" --cty "$scratch/c$q/cty.dat" --out "$scratch/r$q" "$scratch/c$q/logs" >/dev/null
  # The flags of every report against the injected faults.
  for f in "$scratch/r$q"/*.ubn; do
    call=$(basename "$f" .ubn)
    sed -n 's/^\([A-Z][A-Z ]*[A-Z]\) *line \([0-9]*\) .*/\2,\1/p' "$f" | tr -d '\r' | sed "s/^/$call,/"
  done | sort >"$scratch/flagged.txt"
  tail -n +2 "$scratch/c$q/faults.csv" | cut -d, -f1-3 | sort >"$scratch/injected.txt"
  same=no
  cmp -s "$scratch/flagged.txt" "$scratch/injected.txt" && same="yes ($(wc -l <"$scratch/injected.txt"))"
  read -r wall user sys kb <"$scratch/time.txt"
  python3 -c "import sys; w,u,s,kb,n=map(float,sys.argv[1:]); print(f'| 1,000 | {int(n):,} | {w:.1f} s | {u+s:.1f} s | {kb/1024:.0f} MB | {kb*1024/n:.0f} B |', end='')" \
    "$wall" "$user" "$sys" "$kb" "$qsos"
  echo " $same |"
  rm -rf "$scratch/c$q" "$scratch/r$q"
done

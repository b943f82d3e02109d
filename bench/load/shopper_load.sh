#!/usr/bin/env bash
# Throughput of the shopper service next to NOW, measured with fidora-load on a demo shop of
# 100 000 shoppers and 1 000 000 purchase-log rows (all six shopper indexes):
#   NOW, SHOPPER¦SEQ¦{n} and SHOPPER¦DOLLARS¦{n}¦10.00¦0¦10.00 over every shopper number,
#   with 1, 10 and 50 connections, ROUNDS times in turn; prints every run and the medians.
#
#   bench/load/shopper_load.sh [BUILD_DIR] [ROUNDS]        (defaults: build, 3)
#
# The shop is written into a temporary directory and removed at the end; the server runs on
# free loopback ports with its own runtime directory and is stopped at the end.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
rounds=${2:-3}
seconds=${SECONDS_PER_RUN:-4}  # aimed length of one run

# shellcheck source=demo_server.sh
source bench/load/demo_server.sh
write_demo_shop
start_server

first=1001
last=101000
declare -A rate  # requests per second of the previous run, to size the next
declare -A results
run() {
  local name=$1 connections=$2 line=$3
  local key="$name/$connections"
  local requests=$(( ${rate[$key]:-500} * seconds ))
  [ "$requests" -lt 200 ] && requests=200
  local args=(--port "$port" --connections "$connections" --requests "$requests" --timeout 120)
  [[ $line == *'{n}'* ]] && args+=(--range "$first-$last")
  local out
  # A run with errors still reports its figures (and says what went wrong on standard error).
  out=$("$build/tools/load/fidora-load" "${args[@]}" "$line") || true
  local r
  r=$(sed -E 's/^requests\/s: ([0-9]+).*/\1/' <<<"$out")
  rate[$key]=$r
  results[$key]+="$r "
  printf '%-8s %3s conn  %s\n' "$name" "$connections" "$out"
}

for round in $(seq "$rounds"); do
  echo "round $round (load: $(cut -d' ' -f1-3 /proc/loadavg))"
  for connections in 1 10 50; do
    run NOW "$connections" 'NOW'
    run SEQ "$connections" 'SHOPPER¦SEQ¦{n}'
    run DOLLARS "$connections" 'SHOPPER¦DOLLARS¦{n}¦10.00¦0¦10.00'
  done
done

median() { tr ' ' '\n' <<<"$1" | grep . | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
echo
echo "medians of $rounds rounds (requests/s; DOLLARS as a share of NOW):"
for connections in 1 10 50; do
  now=$(median "${results[NOW/$connections]}")
  seq=$(median "${results[SEQ/$connections]}")
  dollars=$(median "${results[DOLLARS/$connections]}")
  printf '%3s connections: NOW %7s  SEQ %7s  DOLLARS %7s  (%s%%)\n' "$connections" "$now" "$seq" \
    "$dollars" "$(( dollars * 100 / (now > 0 ? now : 1) ))"
done

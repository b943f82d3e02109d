#!/usr/bin/env bash
# The server's round trip against Redis: Fidora's NOW against Redis's inline PING, both measured
# by fidora-load (closed loop: every connection sends its next request the moment its reply is
# complete) at 1, 10, 50 and 200 connections. The servers take turns, round after round, and the
# table gives the medians of the rounds with the ratio Fidora / Redis.
#
#   bench/load/server_vs_redis.sh [--build DIR] [--before FIDORA] [--rounds N] [--requests N]
#                                 [--connections "1 10 50 200"] [--syscalls] [--idle]
#                                 [--dollars SHOPPERS] [--timeout S]
#
#   --build DIR      the build to measure (default build/); it is built first
#   --before FIDORA  another fidora binary measured in the same turns (an older build), shown in
#                    its own columns
#   --rounds N       turns of every server at every connection count (default 5)
#   --requests N     requests per measurement (default 200000)
#   --syscalls       also count system calls per request at 50 connections (strace -c -f)
#   --idle           also give the resident memory of each Fidora with 200 idle connections
#   --dollars N      also measure SHOPPER¦DOLLARS at 50 connections against NOW, on a demo shop
#                    of N shoppers (numbers 1001 on), in the same turns (a tenth of the requests)
#   --timeout S      a measurement stops after S seconds (default 60); a server that leaves
#                    requests unanswered then shows the rate it reached and the count on stderr
#
# Redis is Debian's redis-server, started on a free loopback port without persistence; the
# script installs it when it is missing (this is the only place that needs it). The machine
# should be quiet; the load average before and after is printed with the table.
set -euo pipefail
cd "$(dirname "$0")/../.."

build=build
before=""
rounds=5
requests=200000
connection_counts="1 10 50 200"
syscalls=0
idle=0
dollars=0
timeout=60
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --before) before=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    --requests) requests=$2; shift 2 ;;
    --connections) connection_counts=$2; shift 2 ;;
    --syscalls) syscalls=1; shift ;;
    --idle) idle=1; shift ;;
    --dollars) dollars=$2; shift 2 ;;
    --timeout) timeout=$2; shift 2 ;;
    *) echo "usage: see the head of $0" >&2; exit 2 ;;
  esac
done

install_packages() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
}
scripts/setup.sh
install_packages redis-server
[ "$syscalls" = 1 ] && install_packages strace

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target fidora fidora-load fidora-dbf >/dev/null
load=$build/tools/load/fidora-load
dbf=$build/tools/dbf/fidora-dbf

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}
wait_for_port() {
  for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
    sleep 0.1
  done
  echo "nothing listens on port $1" >&2
  exit 1
}

# Starts a Fidora server binary on the demo shop; prints "port pid".
start_fidora() {
  local binary=$1 data=$2 name=$3
  local port second
  port=$(free_port)
  second=$(free_port)
  mkdir -p "$work/$name-run"
  XDG_RUNTIME_DIR="$work/$name-run" FIDORA_CONFIG="$work/none.cfg" \
    "$binary" --headless --data-dir "$data" --port "$port" --second-port "$second" \
    2>"$work/$name.log" &
  echo "$port $!"
}

echo "Preparing the demo shop"
"$dbf" demo "$work/shop" >/dev/null
if [ "$dollars" -gt 0 ]; then
  "$dbf" demo "$work/dollars-shop" --shoppers "$dollars" >/dev/null
fi

declare -A port pid
servers=(fidora)
read -r port[fidora] pid[fidora] < <(start_fidora "$build/src/shell/fidora" "$work/shop" fidora)
pids+=("${pid[fidora]}")
if [ -n "$before" ]; then
  servers+=(before)
  read -r port[before] pid[before] < <(start_fidora "$before" "$work/shop" before)
  pids+=("${pid[before]}")
fi
servers+=(redis)
port[redis]=$(free_port)
redis-server --port "${port[redis]}" --bind 127.0.0.1 --save "" --appendonly no \
  --daemonize no --logfile "$work/redis.log" &
pid[redis]=$!
pids+=("${pid[redis]}")
if [ "$dollars" -gt 0 ]; then
  read -r port[dollars] pid[dollars] < \
    <(start_fidora "$build/src/shell/fidora" "$work/dollars-shop" dollars)
  pids+=("${pid[dollars]}")
fi
for s in "${!port[@]}"; do wait_for_port "${port[$s]}"; done

# One measurement; prints "rate p50 p99".
measure() {
  local server=$1 connections=$2 count=$3
  local args=(--port "${port[$server]}" --connections "$connections" --requests "$count")
  case "$server" in
    redis) args+=(--expect +PONG PING) ;;
    dollars) args+=(--range "1001-$((1000 + dollars))" "SHOPPER¦DOLLARS¦{n}¦10.00¦0¦10.00") ;;
    *) args+=(NOW) ;;
  esac
  local out
  # A run with errors still gives its figures; what went wrong goes to standard error.
  out=$("$load" --timeout "$timeout" "${args[@]}") || echo "($server, $connections connections) $out" >&2
  awk '{print $2, $4, $6}' <<<"$out"
}

median() { sort -n | awk '{v[NR]=$1} END {print (NR%2) ? v[(NR+1)/2] : int((v[NR/2]+v[NR/2+1])/2)}'; }

echo "Load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
for s in "${servers[@]}"; do measure "$s" 10 20000 >/dev/null; done  # warm-up
declare -A results
for round in $(seq "$rounds"); do
  for c in $connection_counts; do
    for s in "${servers[@]}"; do
      results[$s,$c]+="$(measure "$s" "$c" "$requests")"$'\n'
    done
  done
  if [ "$dollars" -gt 0 ]; then
    results[dollars,50]+="$(measure dollars 50 $((requests / 10)))"$'\n'
    results[now50,50]+="$(measure fidora 50 $((requests / 10)))"$'\n'
  fi
  echo "round $round of $rounds done (load $(cut -d' ' -f1 /proc/loadavg))"
done
echo "Load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

column() { awk "{print \$$2}" <<<"${results[$1]}" | grep . | median; }
header="| connections | Fidora NOW req/s | p50 µs | p99 µs |"
[ -n "$before" ] && header+=" before req/s | p50 µs | p99 µs |"
header+=" Redis PING req/s | p50 µs | p99 µs | NOW/PING | p99 NOW/PING |"
echo
echo "Medians of $rounds rounds, $requests requests each"
echo "$header"
echo "$header" | sed 's/[^|]/-/g'
for c in $connection_counts; do
  row="| $c |"
  for s in "${servers[@]}"; do
    row+=" $(column "$s,$c" 1) | $(column "$s,$c" 2) | $(column "$s,$c" 3) |"
  done
  ratio=$(awk -v a="$(column "fidora,$c" 1)" -v b="$(column "redis,$c" 1)" 'BEGIN {printf "%.2f", a/b}')
  p99=$(awk -v a="$(column "fidora,$c" 3)" -v b="$(column "redis,$c" 3)" 'BEGIN {printf "%.2f", a/b}')
  echo "$row $ratio | $p99 |"
done

if [ "$dollars" -gt 0 ]; then
  echo
  echo "SHOPPER¦DOLLARS¦{n}¦10.00¦0¦10.00 over $dollars shoppers, 50 connections (medians," \
    "$((requests / 10)) requests each)"
  d=$(column "dollars,50" 1)
  n=$(column "now50,50" 1)
  echo "| DOLLARS req/s | p50 µs | p99 µs | NOW req/s | DOLLARS/NOW |"
  echo "|---|---|---|---|---|"
  echo "| $d | $(column dollars,50 2) | $(column dollars,50 3) | $n |" \
    "$(awk -v a="$d" -v b="$n" 'BEGIN {printf "%.2f", a/b}') |"
fi

if [ "$syscalls" = 1 ]; then
  echo
  echo "System calls per request at 50 connections (strace -c -f, $requests requests)"
  for s in "${servers[@]}"; do
    strace -c -f -p "${pid[$s]}" -o "$work/strace-$s.txt" 2>/dev/null &
    tracer=$!
    sleep 1
    measure "$s" 50 "$requests" >/dev/null
    kill -INT "$tracer"
    wait "$tracer" 2>/dev/null || true
    awk -v n="$requests" -v s="$s" '
      $1 ~ /^[0-9.]+$/ && NF >= 5 {
        if ($NF == "total") printf "  %-14s %.2f\n", "in all", $4 / n
        else printf "  %-14s %.3f\n", $NF, $4 / n
      }
      BEGIN { print s ":" }' "$work/strace-$s.txt"
  done
fi

if [ "$idle" = 1 ]; then
  echo
  echo "Resident memory with 200 idle connections"
  for s in "${servers[@]}"; do
    [ "$s" = redis ] && continue
    python3 - "${port[$s]}" "${pid[$s]}" "$s" <<'EOF'
import socket, sys, time
port, pid, name = int(sys.argv[1]), sys.argv[2], sys.argv[3]
def rss():
    for line in open(f"/proc/{pid}/status"):
        if line.startswith("VmRSS:"):
            return int(line.split()[1])
before = rss()
held = []
for i in range(200):
    s = socket.create_connection(("127.0.0.1", port))
    s.sendall(b"NOW\r\n")
    s.recv(4096)
    held.append(s)
time.sleep(1)
print(f"{name}: {before / 1024:.1f} MB before, {rss() / 1024:.1f} MB with 200 idle connections")
EOF
  done
fi

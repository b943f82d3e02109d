#!/usr/bin/env bash
# Time of the shopper changes that touch many rows, on a demo shop of 100 000 shoppers
# (numbered 1001 to 101000) and 1 000 000 purchase-log rows:
#   SHOPPER¦APPEND with accountnum=AUTO, the numbering starting at 1001, so that 100 000 taken
#     numbers lie before the first free one;
#   SHOPPER¦EDIT_NUMBER of shopper 1002, given 1 000 purchase-log rows, to 500 and back: the
#     old number's keys stand near the front of the order TRACKLOG ("1002"), then near its end
#     ("500" sorts after "101000"), which the index maintenance of the purchase log feels.
# ROUNDS times each; prints the server's handling time (STAT¦OK¦ms) of every request and the
# medians.
#
#   bench/load/shopper_changes.sh [BUILD_DIR] [ROUNDS]        (defaults: build, 3)
#
# The shop is written into a temporary directory and removed at the end; the server runs on
# free loopback ports with its own runtime directory and is stopped at the end
# (demo_server.sh).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
rounds=${2:-3}
dbf="$build/tools/dbf/fidora-dbf"
client="$build/tools/client/fidora-client"

# shellcheck source=demo_server.sh
source bench/load/demo_server.sh
write_demo_shop
echo "giving shopper 1002 1000 purchase-log rows..." >&2
python3 -c '
for i in range(1000):
    print("1002\u00a620260601\u00a6P%d\u00a61\u00a6Bench row\u00a6B%d\u00a61.00\u00a61" % (i, i // 3))
' | "$dbf" append "$work/data/TRACKLOG.DBF" --index "$work/data/TRACKLOG.NTX" \
  "$work/data/TRAKHIST.NTX" >/dev/null
start_server

# The handling time of a reply that ends with STAT¦OK¦ms; the whole reply on standard error
# when it does not.
handling_time() {
  local reply=$1
  if [[ $reply =~ STAT¦OK¦([0-9]+)$ ]]; then echo "${BASH_REMATCH[1]}"; else echo "$reply" >&2; echo -1; fi
}

auto=() forth=() back=()
for round in $(seq "$rounds"); do
  echo "round $round (load: $(cut -d' ' -f1-3 /proc/loadavg))"
  reply=$(printf 'SHOPPER¦APPEND¦\naccountnum=AUTO\n' | "$client" --port "$port" --timeout 120 -)
  auto+=("$(handling_time "$reply")")
  echo "  AUTO append          ${auto[-1]} ms ($(sed -n 2p <<<"$reply"))"
  reply=$("$client" --port "$port" --timeout 900 'SHOPPER¦EDIT_NUMBER¦1002¦500¦BENCH')
  forth+=("$(handling_time "$reply")")
  echo "  EDIT_NUMBER 1002 to 500  ${forth[-1]} ms"
  reply=$("$client" --port "$port" --timeout 900 'SHOPPER¦EDIT_NUMBER¦500¦1002¦BENCH')
  back+=("$(handling_time "$reply")")
  echo "  EDIT_NUMBER 500 to 1002  ${back[-1]} ms"
done

median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
echo
echo "medians of $rounds rounds: AUTO append $(median "${auto[@]}") ms;" \
  "EDIT_NUMBER of 1000 log rows: 1002 to 500 $(median "${forth[@]}") ms," \
  "500 to 1002 $(median "${back[@]}") ms"

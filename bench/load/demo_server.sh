# Sourced by the load benchmarks: a temporary directory with the 100 000-shopper, 1 000 000-row
# demo shop, and the server started on it on free loopback ports with its own runtime
# directory. Both are removed and stopped when the script exits.
#
#   build=BUILD_DIR; source bench/load/demo_server.sh
#   write_demo_shop             # $work/data
#   ...                         # change the shop before the server reads it
#   start_server                # sets $port and $server_pid; waits until NOW is answered

work=$(mktemp -d /tmp/fidora-bench-XXXXXX)
server_pid=
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

write_demo_shop() {
  echo "writing the demo shop (100000 shoppers, 1000000 log rows)..." >&2
  "$build/tools/dbf/fidora-dbf" demo "$work/data" --shoppers 100000 --log-rows 1000000 >/dev/null
}

start_server() {
  mkdir -p "$work/run"
  port=$(free_port)
  local second
  second=$(free_port)
  XDG_RUNTIME_DIR="$work/run" FIDORA_CONFIG="$work/none.cfg" \
    "$build/src/shell/fidora" --headless --data-dir "$work/data" --port "$port" --second-port "$second" \
    2>"$work/server.log" &
  server_pid=$!
  for _ in $(seq 100); do
    if "$build/tools/client/fidora-client" --port "$port" --timeout 1 NOW >/dev/null 2>&1; then break; fi
    sleep 0.1
  done
}

#!/usr/bin/env bash
# Sets up, builds and starts the server on the demo data directory (demo-data/ unless
# FIDORA_DATA is set). With a display the operator window shows; without one (or with
# --headless) the server runs headless. Extra arguments go to fidora, e.g. ./run.sh --port 9522.
#
# The server runs in its own working directory (var/ unless FIDORA_WORKDIR is set), which must
# be writable: the temporary invoice tables tmpinvhd.dbf and tmpinvln.dbf of DEBTOR OPER_DETAIL
# and the transaction log tx.log are written there.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "${JOBS:-2}"

data=$(realpath -m "${FIDORA_DATA:-demo-data}")
if [ ! -d "$data" ]; then
  echo "Creating the demo data directory $data"
  build/tools/dbf/fidora-dbf demo "$data"
fi
workdir=$(realpath -m "${FIDORA_WORKDIR:-var}")
mkdir -p "$workdir"
server=$PWD/build/src/shell/fidora
cd "$workdir"
exec "$server" --data-dir "$data" "$@"

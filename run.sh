#!/usr/bin/env bash
# Sets up, builds and starts the server on the demo data directory (demo-data/ unless
# FIDORA_DATA is set). With a display the operator window shows; without one (or with
# --headless) the server runs headless. Extra arguments go to fidora, e.g. ./run.sh --port 9522.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "${JOBS:-2}"

data=${FIDORA_DATA:-$PWD/demo-data}
if [ ! -d "$data" ]; then
  echo "Creating the demo data directory $data"
  build/tools/dbf/fidora-dbf demo "$data"
fi
exec build/src/shell/fidora --data-dir "$data" "$@"

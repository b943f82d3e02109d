#!/usr/bin/env bash
# Sets up, builds and runs every test: once in build/ and once with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-asan/.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh

jobs=${JOBS:-2}
run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  (cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 600)
}

echo "== build/ =="
run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "== build-asan/ (AddressSanitizer, UndefinedBehaviorSanitizer) =="
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DFIDORA_SANITIZE=ON

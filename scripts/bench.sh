#!/usr/bin/env bash
# Builds the benchmarks optimised and runs them; arguments go to each
# benchmark program (for example: --benchmark_filter=MD5).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DZANDREL_BUILD_TESTS=OFF \
  -DZANDREL_BUILD_BENCH=ON >/dev/null
cmake --build build-bench
for b in build-bench/bench/bench_*; do
  echo "== $b"
  case $b in
    # The list fill needs the toolkit, so a display of its own.
    */bench_listfill) bash tests/gui/with_display.sh "$b" "$@" ;;
    *) "$b" "$@" ;;
  esac
done

#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS
# (default 120), seeded with the golden files. Findings land in
# build-fuzz/findings/. Usage: scripts/fuzz.sh [SECONDS] [target-pattern]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-120}
pattern=${2:-}
bash scripts/install-deps.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZANDREL_SANITIZE=ON -DZANDREL_BUILD_FUZZ=ON -DZANDREL_BUILD_TESTS=OFF >/dev/null
cmake --build build-fuzz --target fuzz_all
mkdir -p build-fuzz/findings
for target in build-fuzz/fuzz/fuzz_*; do
  name=$(basename "$target")
  [[ -n "$pattern" && "$name" != *$pattern* ]] && continue
  corpus=build-fuzz/corpus/$name
  mkdir -p "$corpus"
  cp tests/data/*.xml tests/data/*.zand "$corpus"/ 2>/dev/null || true
  echo "== $name ($seconds s)"
  "$target" "$corpus" -max_total_time="$seconds" -max_len=65536 -timeout=10 -dict=fuzz/xml.dict -rss_limit_mb=2048 \
    -artifact_prefix=build-fuzz/findings/"$name"- -print_final_stats=1 2>&1 |
    grep -E 'stat::number_of_executed_units|stat::peak_rss_mb|ERROR|SUMMARY|Test unit written' || true
done
ls build-fuzz/findings

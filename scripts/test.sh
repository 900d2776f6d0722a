#!/usr/bin/env bash
# Builds everything with AddressSanitizer + UndefinedBehaviorSanitizer and
# runs every test. Arguments go to ctest (for example: -R TagStore).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZANDREL_SANITIZE=ON \
  -DZANDREL_BUILD_TESTS=ON -DZANDREL_WERROR=ON >/dev/null
cmake --build build-test
# A leak or any undefined behaviour fails the test that caused it.
export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-test --output-on-failure -j"$(nproc)" "$@"

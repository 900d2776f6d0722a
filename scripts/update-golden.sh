#!/usr/bin/env bash
# Rewrites the golden files under tests/data from the current writers.
# Inspect `git diff tests/data` before committing the result.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZANDREL_SANITIZE=ON >/dev/null
cmake --build build-test
ZANDREL_UPDATE_GOLDEN=1 ctest --test-dir build-test -L golden --output-on-failure
git status --short tests/data

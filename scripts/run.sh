#!/usr/bin/env bash
# Builds Zandrel (release) and starts it; arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DZANDREL_BUILD_TESTS=OFF >/dev/null
cmake --build build
exec build/app/Zandrel "$@"

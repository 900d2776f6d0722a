#!/usr/bin/env bash
# Measures the real program on big projects: builds it optimised (in
# build-bench, with the benchmarks), generates projects of 2,000, 5,000 and
# 20,000 pages, each with one more folder of 5,000 pages, and runs
# bench/measure.py on each under a display of its own. A measuring script,
# not a test: it prints figures and judges nothing.
# Usage: scripts/measure.sh [PAGES...]   (default: 2000 5000 20000)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DZANDREL_BUILD_TESTS=OFF \
  -DZANDREL_BUILD_BENCH=ON >/dev/null
cmake --build build-bench --target Zandrel make_project
sizes=("$@")
[[ ${#sizes[@]} -gt 0 ]] || sizes=(2000 5000 20000)
work=$(mktemp -d /tmp/zandrel-measure-XXXXXX)
trap 'rm -rf "$work"' EXIT
rows=()
for pages in "${sizes[@]}"; do
  # A fresh project for each try: a failed run leaves its lock behind.
  # A second try, as a loaded machine now and then fails to start a display.
  row=
  for try in 1 2; do
    rm -rf "$work/$pages"
    project=$(build-bench/bench/make_project "$work/$pages" "$pages")
    row=$(python3 bench/measure.py build-bench/app/Zandrel "$work" "$project" "$pages" | grep -P '^\d+\t') && break
    echo "measure: the run on $pages pages failed (try $try)" >&2
  done
  [[ -n $row ]] || exit 1
  rows+=("$row")
done
echo
echo "Times in ms, wall/interface-thread CPU; \"idle\": from the step's start until the main loop was idle again."
{
  printf 'pages\tlaunch->window\tlaunch->idle\tshow 5,000 folder\tsearch hits\tsearch + fill\tsteps, longest\tsearch again\ttag cloud\tRSS MB\n'
  printf '%s\n' "${rows[@]}"
} | column -t -s $'\t'

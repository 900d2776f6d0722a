#!/usr/bin/env bash
# Runs a command under a virtual display of its own. Xvfb picks a free
# display number itself (-displayfd) and reports it once it accepts
# clients, so parallel runs never share or race for one.
# Usage: with_display.sh <command> [arguments...]
set -u
ready=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$ready" 2>/dev/null &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -f "$ready"' EXIT
for _ in $(seq 1 300); do  # poll interval 0.1 s, at most 30 s
  [[ -s $ready ]] && break
  kill -0 "$xvfb" 2>/dev/null || break
  sleep 0.1
done
number=$(head -n 1 "$ready")
[[ -n $number ]] || { echo "with_display: Xvfb did not start" >&2; exit 1; }
DISPLAY=:$number "$@"

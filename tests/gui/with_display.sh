#!/usr/bin/env bash
# Runs a command under a virtual display of its own. Xvfb picks a free
# display number itself (-displayfd) and writes it once it accepts
# clients, so parallel runs never share or race for one. The number is
# read from a pipe, which blocks until Xvfb writes it or ends.
# Usage: with_display.sh <command> [arguments...]
set -u
pipe=$(mktemp -u)
mkfifo "$pipe"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$pipe" 2>/dev/null &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -f "$pipe"' EXIT
number=
read -r -t 30 number <"$pipe"
[[ -n $number ]] || { echo "with_display: Xvfb did not start" >&2; exit 1; }
DISPLAY=:$number "$@"

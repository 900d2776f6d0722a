#!/usr/bin/env bash
# Starts the real program, keeps a screenshot, moves two panes, closes it
# through the File menu's Exit and checks that it ended cleanly and quietly
# and kept the pane sizes.
# Usage: smoke.sh <Zandrel binary> <folder for the screenshot>
set -u
name=smoke
source "$(dirname "$0")/e2e_lib.sh" "$@"

start
shot gui_smoke

# The pane sizes come back through the settings file: the task pane
# (Ctrl+E) and a drag of the tree's slider 60 pixels to the right.
xdotool key ctrl+e
sleep 0.5
geometry
tree_right=$((X + 200 + 3))
xdotool mousemove $tree_right $((Y + 400)) mousedown 1
for step in 1 2 3 4 5 6; do
  xdotool mousemove $((tree_right + step * 10)) $((Y + 400))
  sleep 0.05
done
xdotool mouseup 1
sleep 0.5
shot gui_smoke_panes

# A key that comes before the window has the focus is lost, so Exit is
# asked for again if needed.
for attempt in 1 2 3; do
  xdotool windowfocus --sync "$win" 2>/dev/null
  xdotool key --clearmodifiers F10
  sleep 0.5
  xdotool key x
  for _ in $(seq 1 50); do
    kill -0 "$pid" 2>/dev/null || break 2
    sleep 0.1
  done
  echo "smoke: Exit not taken on attempt $attempt"
  xdotool key Escape Escape
done
wait_exit
ini="$XDG_DATA_HOME/Zandrel/Data/zandrel.ini"
[[ -f "$ini" ]] || fail "no settings file written at exit"
grep -q "^EXTRA=260#200#" "$ini" || fail "the tree's width was not kept: $(grep EXTRA "$ini")"
grep -q "^TASKPANE=1#230" "$ini" || fail "the task pane was not kept: $(grep TASKPANE "$ini")"
echo "smoke: window opened, screenshot in $out/gui_smoke.png, clean exit"

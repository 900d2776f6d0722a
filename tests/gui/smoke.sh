#!/usr/bin/env bash
# Starts the real program under a virtual display with a home of its own,
# waits for its main window, keeps a screenshot, closes it through the File
# menu's Exit and checks that it ended cleanly and quietly.
# Usage: smoke.sh <Zandrel binary> <folder for the screenshot>
set -u
program=$1
out=${2:-.}
if [[ -z "${SMOKE_INNER:-}" ]]; then
  exec env SMOKE_INNER=1 xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home XDG_DATA_HOME=$work/home/.local/share XDG_CONFIG_HOME=$work/home/.config
export XDG_CACHE_HOME=$work/home/.cache XDG_DOCUMENTS_DIR=$work/home/Documents
mkdir -p "$HOME/Documents"
# No accessibility bus and no settings daemon under the virtual display.
export NO_AT_BRIDGE=1 GTK_A11Y=none GSETTINGS_BACKEND=memory
# GTK and WebKit keep memory until exit by design.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

"$program" >"$work/stdout" 2>"$work/stderr" &
pid=$!

fail() {
  echo "smoke: $*"
  echo "--- stderr:"; cat "$work/stderr"
  kill "$pid" 2>/dev/null
  exit 1
}

win=$(timeout 30 xdotool search --sync --onlyvisible --name '^Zandrel' 2>/dev/null | head -1)
[[ -n "$win" ]] || fail "no main window within 30 seconds"
sleep 2
import -window root "$out/gui_smoke.png" || fail "no screenshot"

# The pane sizes come back through the settings file: the task pane
# (Ctrl+E) and a drag of the tree's slider 60 pixels to the right.
xdotool windowfocus --sync "$win" 2>/dev/null
xdotool key ctrl+e
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$win")"
tree_right=$((X + 200 + 3))
xdotool mousemove $tree_right $((Y + 400)) mousedown 1
for step in 1 2 3 4 5 6; do
  xdotool mousemove $((tree_right + step * 10)) $((Y + 400))
  sleep 0.05
done
xdotool mouseup 1
sleep 0.5
import -window root "$out/gui_smoke_panes.png"

# F10 opens the File menu; "x" is Exit's mnemonic. A key that comes before
# the window has the focus is lost, so the pair is sent again if needed.
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
kill -0 "$pid" 2>/dev/null && fail "still running 10 seconds after Exit"
wait "$pid"
code=$?
[[ $code -eq 0 ]] || fail "exit code $code"
if grep -E "Gtk-WARNING|CRITICAL" "$work/stderr"; then
  fail "warnings on standard error"
fi
ini="$XDG_DATA_HOME/Zandrel/Data/zandrel.ini"
[[ -f "$ini" ]] || fail "no settings file written at exit"
grep -q "^EXTRA=260#200#" "$ini" || fail "the tree's width was not kept: $(grep EXTRA "$ini")"
grep -q "^TASKPANE=1#230" "$ini" || fail "the task pane was not kept: $(grep TASKPANE "$ini")"
echo "smoke: window opened, screenshot in $out/gui_smoke.png, clean exit"

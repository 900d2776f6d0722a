#!/usr/bin/env bash
# A user's first minutes, by keyboard: a new project from the File menu, a
# folder, a page with some text saved with Ctrl+S, Exit; then the program
# started again with the project file on its command line.
# Usage: create_page.sh <Zandrel binary> <folder for the screenshots>
set -u
program=$1
out=${2:-.}
if [[ -z "${E2E_INNER:-}" ]]; then
  exec env E2E_INNER=1 xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home XDG_DATA_HOME=$work/home/.local/share XDG_CONFIG_HOME=$work/home/.config
export XDG_CACHE_HOME=$work/home/.cache
export NO_AT_BRIDGE=1 GTK_A11Y=none GSETTINGS_BACKEND=memory
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
mkdir -p "$HOME/Documents"
projects="$HOME/Documents/My Korvel"

fail() {
  echo "create_page: $*"
  echo "--- stderr:"; cat "$work/stderr"
  [[ -n "${pid:-}" ]] && kill "$pid" 2>/dev/null
  exit 1
}

start() {
  "$program" "$@" >"$work/stdout" 2>"$work/stderr" &
  pid=$!
  win=$(timeout 30 xdotool search --sync --onlyvisible --pid "$pid" 2>/dev/null | head -1)
  [[ -n "$win" ]] || fail "no main window"
  sleep 2
  xdotool windowfocus --sync "$win" 2>/dev/null
}

quit() {
  xdotool key --clearmodifiers F10
  sleep 0.5
  xdotool key x
  for _ in $(seq 1 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null && fail "still running after Exit"
  wait "$pid" || fail "exit code $?"
  grep -E "Gtk-WARNING|CRITICAL" "$work/stderr" && fail "warnings on standard error"
  pid=
}

start
# File menu: New Page, New Folder, New Project...
xdotool key --clearmodifiers F10 Down Down Down Return
sleep 2
xdotool type --delay 40 "Alpha"
sleep 0.5
xdotool key Return
sleep 3
[[ -f "$projects/Alpha.zand" ]] || fail "no project file"

xdotool key ctrl+g
sleep 1
xdotool type --delay 40 "Folder1"
sleep 0.3
xdotool key Return
sleep 1
[[ -d "$projects/Alpha/Folder1" ]] || fail "no folder"

xdotool key ctrl+n
sleep 2
# Into the page view, in the lower part of the window.
eval "$(xdotool getwindowgeometry --shell "$win")"
xdotool mousemove $((X + WIDTH * 2 / 3)) $((Y + HEIGHT * 3 / 4)) click 1
sleep 0.5
xdotool type --delay 30 "Hello page"
sleep 0.5
xdotool key ctrl+s
sleep 1
import -window root "$out/gui_create_page.png"
[[ -f "$projects/Alpha/Folder1/Untitled-1.htm" ]] || fail "no page file"

# The item list's menu on the first row: Open in Browser, Find File,
# Delete, Rename.
row_menu() {
  eval "$(xdotool getwindowgeometry --shell "$win")"
  xdotool mousemove $((X + 400)) $((Y + 62)) click 3
  sleep 1
}
row_menu
xdotool key Down Down Down Down Return
sleep 0.5
xdotool key ctrl+a
xdotool type --delay 40 "Greeting"
xdotool key Return
sleep 1
quit

page="$projects/Alpha/Folder1/Greeting.htm"
[[ -f "$page" ]] || fail "the page was not renamed: $(ls "$projects/Alpha/Folder1")"
grep -q "Hello page" "$page" || fail "the page lost its text: $(cat "$page")"

# Again, with the project given on the command line.
start "$projects/Alpha.zand"
title=$(xdotool getwindowname "$win")
[[ "$title" == *Alpha* ]] || fail "the project did not reopen (title '$title')"
# File > Recent Pages (the ninth entry) > the page, then delete it from
# the item list: the question's default is OK.
xdotool key --clearmodifiers F10 Down Down Down Down Down Down Down Down Down Right
sleep 0.5
xdotool key Return
sleep 1.5
import -window root "$out/gui_reopen.png"
row_menu
xdotool key Down Down Down Return
sleep 1
xdotool key Return
sleep 1
quit
[[ ! -f "$page" ]] || fail "the deleted page is still there"
ls "$XDG_DATA_HOME/Trash/files/" 2>/dev/null | grep -q "^Greeting" || fail "the page is not in the trash"
echo "create_page: project, folder and page made, saved, renamed, reopened and deleted"

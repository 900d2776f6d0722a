#!/usr/bin/env bash
# A user's first minutes, by keyboard: a new project from the File menu, a
# folder, a page with some text saved with Ctrl+S, Exit; then the program
# started again with the project file on its command line.
# Usage: create_page.sh <Zandrel binary> <folder for the screenshots>
set -u
name=create_page
source "$(dirname "$0")/e2e_lib.sh" "$@"

start
new_project Alpha
new_folder Folder1
[[ -d "$projects/Alpha/Folder1" ]] || fail "no folder"

xdotool key ctrl+n
sleep 2
click_page
xdotool type --delay 30 "Hello page"
sleep 0.5
xdotool key ctrl+s
sleep 1
shot gui_create_page
[[ -f "$projects/Alpha/Folder1/Untitled-1.htm" ]] || fail "no page file"

# The item list's menu on the first row: Open in Browser, Find File,
# Delete, Rename.
row_menu() {
  geometry
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
shot gui_reopen
row_menu
xdotool key Down Down Down Return
sleep 1
xdotool key Return
sleep 1
quit
[[ ! -f "$page" ]] || fail "the deleted page is still there"
ls "$XDG_DATA_HOME/Trash/files/" 2>/dev/null | grep -q "^Greeting" || fail "the page is not in the trash"
echo "create_page: project, folder and page made, saved, renamed, reopened and deleted"

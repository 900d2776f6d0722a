#!/usr/bin/env bash
# The task pane's title search and the item list's flags: pages with
# distinct titles in two folders, a flag set through the flag cell and
# found in the collection file, a search from the task pane, and a click
# on a result that lives in the other folder.
# Usage: task_pane.sh <Zandrel binary> <folder for the screenshots>
set -u
name=task_pane
source "$(dirname "$0")/e2e_lib.sh" "$@"

# The item list's first row, and the flag cell's distance from the
# window's right edge (the Added and Modified columns and half the Flag one).
first_row=62
flag_from_right=276

# A new page with some text, saved, then renamed through the context menu
# of its row, the first: a new page comes first in the list.
page() {
  xdotool key ctrl+n
  sleep 2
  click_page
  xdotool type --delay 20 "$1 text"
  xdotool key ctrl+s
  sleep 1
  geometry
  xdotool mousemove $((X + 400)) $((Y + first_row)) click 3
  sleep 1
  xdotool key Down Down Down Down Return
  sleep 0.5
  xdotool key ctrl+a
  xdotool type --delay 30 "$1"
  xdotool key Return
  sleep 1
}

start
new_project Alpha
new_folder Folder1
page "Apple report"
page "Banana notes"
new_folder Folder2
page "Cherry report"
folder1="$projects/Alpha/Folder1"
folder2="$folder1/Folder2"
for file in "$folder1/Apple report.htm" "$folder1/Banana notes.htm" "$folder2/Cherry report.htm"; do
  [[ -f "$file" ]] || fail "no page $file: $(find "$projects/Alpha" -name '*.htm')"
done

# The flag cell of the first row opens the flag menu: Clear Flag, a
# separator, then Red Star.
geometry
xdotool mousemove $((X + WIDTH - flag_from_right)) $((Y + first_row)) click 1
sleep 1
xdotool key Down Down Return
sleep 1
grep -q 'flag="1"' "$folder2/.zandrel/krv_files.xml" || fail "the flag is not in the collection file"
shot gui_task_pane_flag

# Ctrl+E shows the pane with the focus in its search field.
xdotool key ctrl+e
sleep 1
xdotool type --delay 30 "REPORT"
xdotool key Return
sleep 1
shot gui_task_pane

# The results in tree order: Apple report (Folder1) first. The pane's
# list starts under its hide control, the search field, the button and the
# headings.
geometry
xdotool mousemove $((X + WIDTH - 180)) $((Y + 179)) click 1
sleep 2
title=$(xdotool getwindowname "$win")
[[ "$title" == Folder1 ]] || fail "the result's folder is not shown (title '$title')"
shot gui_task_pane_open

# The pane's own hide control takes it away as Ctrl+E does, and the
# settings remember it hidden.
xdotool mousemove $((X + WIDTH - 84)) $((Y + 45)) click 1
sleep 1
quit
ini="$XDG_DATA_HOME/Zandrel/Data/zandrel.ini"
grep -q "^TASKPANE=0#" "$ini" || fail "the pane is not remembered hidden: $(grep TASKPANE "$ini")"
echo "task_pane: flag saved, titles searched, a result opened in its folder, the pane hidden"

#!/usr/bin/env bash
# Moving things around the folder tree: a saved page moved with Ctrl+M and
# the folder dialog, dragged back from the item list onto its first folder,
# a folder dragged into another one, and the page dragged over a closed
# folder until it opens; each checked on disk.
# Usage: move_page.sh <Zandrel binary> <folder for the screenshots>
set -u
name=move_page
source "$(dirname "$0")/e2e_lib.sh" "$@"

# Row centres: the tree has no header, the item list has one.
tree_row() { echo $((Y + 37 + 23 * $1)); }
tree_x() { echo $((X + 60)); }
list_row() { echo $((Y + 60 + 23 * $1)); }

click_tree() {
  geometry
  xdotool mousemove "$(tree_x)" "$(tree_row "$1")" click 1
  sleep 1
}

# A drag: press at one point, glide in small steps to others, let go. The
# toolkit starts a drag only after the pointer has travelled a little.
press_at() {
  xdotool mousemove "$1" "$2"
  sleep 0.3
  xdotool mousedown 1
  sleep 0.3
  at_x=$1 at_y=$2
}
glide_to() {
  local steps=12
  for i in $(seq 1 $steps); do
    xdotool mousemove $((at_x + ($1 - at_x) * i / steps)) $((at_y + ($2 - at_y) * i / steps))
    sleep 0.1
  done
  at_x=$1 at_y=$2
  sleep 0.3
}
release() {
  xdotool mouseup 1
  sleep 1.5
}
drag() {
  press_at "$1" "$2"
  glide_to "$3" "$4"
  release
}

listed() { grep -c "<title>$2</title>" "$1/.zandrel/krv_files.xml" 2>/dev/null; }

start
new_project Alpha
alpha="$projects/Alpha"
new_folder First
click_tree 0
new_folder Second
[[ -d "$alpha/First" && -d "$alpha/Second" ]] || fail "no folders: $(ls "$alpha")"

# A page with some text in First.
click_tree 1
xdotool key ctrl+n
sleep 2
click_page
xdotool type --delay 30 "Travelling page"
sleep 0.5
xdotool key ctrl+s
sleep 1
[[ -f "$alpha/First/Untitled-1.htm" ]] || fail "no page file"

# Reading the page for the save woke the page engine's script context in
# this process; a sanitizer build dies when that context is torn down a
# few seconds later (the engine is built without type information), so the
# moves run in a fresh start of the program.
quit
start "$alpha.zand"
click_tree 1
geometry
xdotool mousemove $((X + 400)) "$(list_row 0)" click 1
sleep 1.5

# Ctrl+M: the dialog lists Alpha, First, Second with none chosen; End
# picks the last.
xdotool key ctrl+m
wait_dialog "Move Page"
[[ $(xdotool getwindowname "$dialog") == "Move Page" ]] || fail "no Move Page dialog"
shot gui_move_page_dialog
xdotool key End Return
sleep 1.5
shot gui_move_page_moved
[[ -f "$alpha/Second/Untitled-1.htm" ]] || fail "the page did not move: $(ls "$alpha/First" "$alpha/Second")"
[[ ! -e "$alpha/First/Untitled-1.htm" ]] || fail "the page is still in First"
grep -q "Travelling page" "$alpha/Second/Untitled-1.htm" || fail "the page lost its text"
[[ $(listed "$alpha/Second" Untitled-1) == 1 ]] || fail "Second's collection does not list the page"
[[ $(listed "$alpha/First" Untitled-1) == 0 ]] || fail "First's collection still lists the page"

# Back by dragging its row from Second's list onto First.
click_tree 2
geometry
drag $((X + 400)) "$(list_row 0)" "$(tree_x)" "$(tree_row 1)"
shot gui_move_page_dragged
[[ -f "$alpha/First/Untitled-1.htm" ]] || fail "the dragged page did not move: $(ls "$alpha/First" "$alpha/Second")"
[[ ! -e "$alpha/Second/Untitled-1.htm" ]] || fail "the dragged page is still in Second"
[[ $(listed "$alpha/First" Untitled-1) == 1 ]] || fail "First's collection does not list the dragged page"

# The folder Second dragged onto the middle of First: it goes inside.
geometry
drag "$(tree_x)" "$(tree_row 2)" "$(tree_x)" "$(tree_row 1)"
shot gui_move_page_folder
[[ -d "$alpha/First/Second" && ! -e "$alpha/Second" ]] || fail "the folder did not move: $(ls -R "$alpha")"
grep -q "Second" "$alpha/.zandrel/krv_folders.xml" || fail "the tree file lost the folder"

# With First closed, the page held over it opens it after a second, and
# goes into the folder that came into view.
click_tree 1
xdotool key minus
sleep 0.5
geometry
press_at $((X + 400)) "$(list_row 0)"
glide_to "$(tree_x)" "$(tree_row 1)"
xdotool mousemove $((at_x + 3)) "$at_y"
sleep 2
shot gui_move_page_expanded
glide_to "$(tree_x)" "$(tree_row 2)"
release
[[ -f "$alpha/First/Second/Untitled-1.htm" ]] || fail "the page did not reach the opened folder: $(ls -R "$alpha")"

quit
echo "move_page: moved by Ctrl+M and back by dragging; a folder dragged into another; a closed folder opened under a drag"

#!/usr/bin/env bash
# The tags window, by keyboard and mouse: two pages tagged through the
# tag-it form, the tag cloud and a search by two tags, a result link, the
# rename and delete dialogs behind the page's links, where the window
# reopens; then, in a second run, pages whose title, description and tags
# hold markup that would send commands if it ran.
# Usage: tags_window.sh <Zandrel binary> <folder for the screenshots>
set -u
name=tags_window
source "$(dirname "$0")/e2e_lib.sh" "$@"

data="$projects/Alpha/.zandrel"
folder="$projects/Alpha/Folder1"
tags_file="$data/krv_tags.xml"
colct="$folder/.zandrel/krv_files.xml"
tw=

# Waits for the tags window and gives it the keyboard (there is no window
# manager to do that): sets `tw`.
wait_tags() {
  for _ in $(seq 1 50); do
    local shown
    shown=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | grep -vx "$win" | head -1)
    if [[ -n "$shown" ]] && [[ -z "$tw" || "$shown" == "$tw" ]]; then
      tw=$shown
      sleep 0.7
      xdotool windowfocus --sync "$tw" 2>/dev/null
      return 0
    fi
    sleep 0.2
  done
  fail "no tags window: $1"
}

tags_hidden() {
  sleep 1
  ! xdotool search --onlyvisible --pid "$pid" 2>/dev/null | grep -qx "$tw"
}


no_dialog() {
  sleep 1.5
  local extra
  extra=$(others)
  [[ -z "$extra" ]] || { shot "${name}_unexpected"; fail "unexpected window: $1: $(xdotool getwindowname "$extra")"; }
}

# Clicks at a point of the tags window's page.
tags_click() {
  xdotool mousemove --window "$tw" "$1" "$2" click 1
  sleep 1.5
}

main_key() {
  xdotool windowfocus --sync "$win" 2>/dev/null
  xdotool key "$@"
}

# The page file's tags as the file system keeps them.
file_tags() {
  python3 -c 'import os, sys; print(os.getxattr(sys.argv[1], "user.xdg.tags").decode())' "$1" 2>/dev/null
}
xattrs=0
probe="$work/probe"
touch "$probe"
python3 -c 'import os, sys; os.setxattr(sys.argv[1], "user.xdg.tags", b"x")' "$probe" 2>/dev/null && xattrs=1

expect_file_tags() {
  [[ $xattrs == 1 ]] || return 0
  local got
  got=$(file_tags "$folder/$1")
  [[ "$got" == "$2" ]] || fail "$1 carries the tags '$got', not '$2'"
}

# The tags and description of the page titled $1 in the collection file.
item_of() {
  python3 - "$colct" "$1" <<'EOF'
import sys, xml.etree.ElementTree as ET
ns = dict(pair for _, pair in ET.iterparse(sys.argv[1], events=["start-ns"]))
for item in ET.parse(sys.argv[1]).getroot().iter("item"):
    if item.findtext("title") == sys.argv[2]:
        print((item.findtext("krv:tags", "", ns) or "") + "|" + (item.findtext("description") or ""))
EOF
}

# The pages of tag $1 in the tags file, joined with spaces.
pages_of() {
  python3 - "$tags_file" "$1" <<'EOF'
import sys, xml.etree.ElementTree as ET
for tag in ET.parse(sys.argv[1]).getroot().iter("tag"):
    if tag.get("name") == sys.argv[2]:
        print(" ".join(u.text for u in tag.iter("url")))
EOF
}

start
new_project Alpha
new_folder Folder1
# No page yet: a message instead of the window.
main_key ctrl+t
wait_dialog "tag it without a page"
[[ "$(xdotool getwindowname "$dialog")" == "Zandrel" ]] || fail "not the message: $(xdotool getwindowname "$dialog")"
xdotool key Return
no_dialog "after the message"
for text in "First page" "Second page"; do
  xdotool key ctrl+n
  sleep 2
  click_page
  xdotool type --delay 30 "$text"
  xdotool key ctrl+s
  sleep 1
done
[[ -f "$folder/Untitled-2.htm" ]] || fail "the pages were not saved: $(ls "$folder")"

# The tag-it form of the second page: the tags field has the focus, the
# description is above it.
main_key ctrl+t
wait_tags "tag it"
geometry_tags=$(xdotool getwindowgeometry "$tw")
[[ "$geometry_tags" == *"Position: 256,185"* && "$geometry_tags" == *"Geometry: 768x614"* ]] ||
  fail "the tags window is not placed by default: $geometry_tags"
xdotool key shift+Tab
xdotool type --delay 30 "Notes on tech"
xdotool key Tab
xdotool type --delay 30 "news tech"
xdotool key Return
tags_hidden || fail "the tag-it form did not close its window"
[[ "$(pages_of news)" == "Folder1/Untitled-2.htm" ]] || fail "tags file: $(cat "$tags_file")"
[[ "$(item_of Untitled-2)" == "news tech|Notes on tech" ]] || fail "collection: $(item_of Untitled-2)"
expect_file_tags Untitled-2.htm "news,tech"

# The first page, the second row of the item list (newest first).
geometry
xdotool mousemove $((X + 400)) $((Y + 85)) click 1
sleep 1.5
main_key ctrl+t
wait_tags "tag it again"
xdotool type --delay 30 "news travel"
xdotool key Return
tags_hidden || fail "the second tag-it form did not close its window"
[[ "$(pages_of news)" == "Folder1/Untitled-2.htm Folder1/Untitled-1.htm" ]] || fail "tags file: $(cat "$tags_file")"
[[ "$(pages_of travel)" == "Folder1/Untitled-1.htm" ]] || fail "tags file: $(cat "$tags_file")"
expect_file_tags Untitled-1.htm "news,travel"

# The recently tagged pages with the cloud, then a search by two tags in
# the page's own field.
main_key ctrl+r
wait_tags "tags window"
shot_tags() { import -window "$tw" "$out/$1.png"; }
shot_tags gui_tags_cloud
tags_click 300 115
xdotool type --delay 30 "news tech"
xdotool key Return
sleep 1.5
shot_tags gui_tags_search
no_dialog "search"

# Moved, then closed by following the one result: the second page opens
# and the window comes back where it was left.
xdotool windowmove --sync "$tw" 100 80
sleep 0.5
tags_click 110 213
tags_hidden || fail "following a result did not close the window"
main_key ctrl+r
wait_tags "tags window again"
[[ "$(xdotool getwindowgeometry "$tw")" == *"Position: 100,80"* ]] ||
  fail "the window did not reopen where it was: $(xdotool getwindowgeometry "$tw")"
# With the keep-open box ticked (its script sends the command), following
# a recently tagged page leaves the window up.
tags_click 32 69
tags_click 110 213
tags_hidden && fail "the window closed although asked to stay"

# Rename "tech" (the third entry of the list) to "technology".
tags_click 504 69
wait_dialog "rename"
[[ "$(xdotool getwindowname "$dialog")" == "Use this dialog to rename a tag" ]] || fail "rename title"
xdotool key shift+Tab Down Down Tab
xdotool type --delay 30 "technology"
xdotool key Return
sleep 1.5
[[ -z "$(pages_of tech)" && "$(pages_of technology)" == "Folder1/Untitled-2.htm" ]] ||
  fail "rename: $(cat "$tags_file")"
[[ "$(item_of Untitled-2)" == "news technology|Notes on tech" ]] || fail "rename: $(item_of Untitled-2)"
expect_file_tags Untitled-2.htm "news,technology"

# Delete: an unknown tag is refused and the dialog stays; then "travel".
xdotool windowfocus --sync "$tw" 2>/dev/null
tags_click 604 69
wait_dialog "delete"
delete_dialog=$dialog
xdotool type --delay 30 "nosuch"
xdotool key Return
sleep 1
xdotool search --onlyvisible --pid "$pid" | grep -vx -e "$win" -e "$tw" -e "$delete_dialog" | grep -q . ||
  fail "no message for an unknown tag"
xdotool key Return
sleep 1
xdotool windowfocus --sync "$delete_dialog" 2>/dev/null || fail "the delete dialog went away"
xdotool key ctrl+a
xdotool type --delay 30 "travel"
xdotool key Return
sleep 1.5
[[ -z "$(pages_of travel)" ]] || fail "delete: $(cat "$tags_file")"
[[ "$(item_of Untitled-1)" == "news|" ]] || fail "delete: $(item_of Untitled-1)"
expect_file_tags Untitled-1.htm "news"
no_dialog "after delete"

# Markup as tags and description of the second page (the current one).
# Each piece would send a command, and so show a dialog, if it ran.
main_key ctrl+t
wait_tags "tag it with markup"
xdotool key ctrl+a
xdotool type --delay 20 "news <img/src=x/onerror=location.href='krv:edittag?delete'> <script>location.href='krv:edittag?rename'</script>"
xdotool key shift+Tab ctrl+a
xdotool type --delay 20 "</textarea><img src=x onerror=\"location.href='krv:edittag?rename'\">"
xdotool key Tab Return
tags_hidden || fail "the markup form did not close its window"
quit

ini=$(find "$HOME" -name zandrel.ini | head -1)
grep -qx "WIN=100#80#768#614#100#80#768#614" "$ini" || fail "tags window rectangles: $(grep WIN "$ini")"

# A title with markup, as a collection file from elsewhere may hold.
python3 - "$colct" <<'EOF'
import sys
path = sys.argv[1]
text = open(path, encoding="utf-8").read()
bad = "&lt;img src=x onerror=\"location.href='krv:edittag?delete'\"&gt;&lt;b&gt;Bold&lt;/b&gt;"
open(path, "w", encoding="utf-8").write(text.replace("<title>Untitled-1</title>", "<title>" + bad + "</title>", 1))
EOF
grep -q "Bold" "$colct" || fail "the title was not planted"
sums() { md5sum "$tags_file" "$colct" "$data/krv_rectags.xml" 2>/dev/null; }
before=$(sums)

start "$projects/Alpha.zand"
geometry
xdotool mousemove $((X + 64)) $((Y + 59)) click 1
sleep 1.5
xdotool mousemove $((X + 400)) $((Y + 85)) click 1
sleep 1.5
main_key ctrl+t
tw=
wait_tags "tag it on the marked-up page"
no_dialog "markup in the tag-it form"
shot_tags gui_tags_markup_form
# The other page: markup in the description and the tags field. Its row
# is clicked right of the tags window.
xdotool mousemove $((X + 950)) $((Y + 62)) click 1
sleep 1.5
main_key ctrl+t
wait_tags "tag it on the other page"
no_dialog "markup in the other tag-it form"
shot_tags gui_tags_markup_form2
main_key ctrl+r
wait_tags "tags window with markup"
tags_click 300 115
xdotool type --delay 30 "news"
xdotool key Return
sleep 1.5
no_dialog "markup in the search page"
shot_tags gui_tags_markup
[[ "$(sums)" == "$before" ]] || fail "the markup changed files"
quit
[[ "$(sums)" == "$before" ]] || fail "the markup changed files by exit"
echo "tags_window: pages tagged, searched, opened, tags renamed and deleted; markup stayed text"

#!/usr/bin/env bash
# The page editor's own operations: a paste from a browser notes its
# source, preformatted text and Enter inside it, an image through its
# dialog, a link dropped from another program, a page whose scripts must
# not run and which tries to load another address, and the conversion of
# a UTF-16 page to UTF-8.
# Usage: editor_ops.sh <Zandrel binary> <folder for the screenshots>
set -u
name=editor_ops
source "$(dirname "$0")/e2e_lib.sh" "$@"
fixtures=$(cd "$(dirname "$0")/../fixtures" && pwd)
owner=

# Puts data on the clipboard the way a browser does; see clipboard_owner.py.
clipboard() {
  [[ -n "$owner" ]] && kill "$owner" 2>/dev/null
  rm -f "$work/ready"
  /usr/bin/python3 "$fixtures/clipboard_owner.py" "$work/ready" "$@" 2>>"$work/owner.log" &
  owner=$!
  for _ in $(seq 1 50); do [[ -s "$work/ready" ]] && return 0; sleep 0.1; done
  fail "the clipboard owner did not start: $(cat "$work/owner.log")"
}
trap '[[ -n "$owner" ]] && kill "$owner" 2>/dev/null; rm -rf "$work"' EXIT

start
new_project Gamma
new_folder Web
dir="$projects/Gamma/Web"
page="$dir/Untitled-1.htm"

# A paste from a web page: the HTML, then the note of its address.
xdotool key ctrl+n
sleep 2
click_page
xdotool type --delay 30 "Start."
clipboard html '<p>Quoted <b>bold</b> text</p>' 'https://example.com/article?id=7'
xdotool key ctrl+v
sleep 1
xdotool key ctrl+s
sleep 1
[[ -f "$page" ]] || fail "no page file"
grep -q "Quoted <b>bold</b> text" "$page" || fail "the HTML was not pasted: $(cat "$page")"
note='Pasted from &lt;<a href="https://example.com/article?id=7">https://example.com/article?id=7</a>&gt;</p>'
grep -qF "$note" "$page" || fail "no source note: $(cat "$page")"
# The page's own menu pastes the same way: its Paste is the first entry
# that can be chosen.
geometry
xdotool mousemove $((X + WIDTH * 2 / 3)) $((Y + HEIGHT * 3 / 4)) click 3
sleep 1
xdotool key Down Return
sleep 1
xdotool key ctrl+s
sleep 1
[[ $(grep -oF "$note" "$page" | wc -l) -eq 2 ]] || fail "the menu's paste noted no source: $(cat "$page")"

# Preformatted text (Ctrl+Y) on a line of its own, then Enter at the end of
# its line and a second line typed.
clipboard text 'a<b>&c'
xdotool key ctrl+End Return
xdotool type --delay 30 "Code:"
xdotool key ctrl+y
sleep 1
xdotool key ctrl+End
sleep 0.3
xdotool key Return
xdotool type --delay 30 "second line"
sleep 0.5
xdotool key ctrl+s
sleep 1
shot gui_preformatted
/usr/bin/python3 - "$page" <<'PY' || fail "the preformatted block is not as expected: $(cat "$page")"
import re, sys
html = open(sys.argv[1], encoding="utf-8").read()
blocks = re.findall(r'<div class="krv_pre_wrap"><pre class="krv_pre" style="padding:7pt; margin:5pt;\n'
                    r'font:10pt,&quot;Courier New&quot;,Courier,mono;overflow:auto;white-space:pre;\n'
                    r'BACKGROUND-COLOR:#EEEEEE; color=#000000;">(.*?)</pre></div>', html, re.S)
# One block; Enter put a line break inside it, not a second block or a <br>.
sys.exit(0 if blocks == ["a&lt;b&gt;&amp;c\nsecond line"] else 1)
PY

# Insert > Image with a photo.png already in the page's assets folder: the
# copy is photo[1].png, and its folder is remembered for the next image.
mkdir -p "$work/pics" "$dir/Untitled-1_files"
convert -size 40x30 xc:red "$work/pics/photo.png" || fail "no test image"
cp "$work/pics/photo.png" "$dir/Untitled-1_files/photo.png"
xdotool key ctrl+End Return
xdotool key --clearmodifiers F10 Right Right Right Down Down Down Return
wait_dialog "file chooser"
xdotool key ctrl+l
sleep 0.3
xdotool type --delay 20 "$work/pics/photo.png"
xdotool key Return
sleep 1.5
wait_dialog "image dialog"
# The alignment list has the focus: Down Down picks "Left".
xdotool key Down Down
sleep 0.3
shot gui_image_dialog
xdotool key Tab Return
sleep 1.5
# The red image shows in the page, which was made before it had a file.
shot gui_image_inserted
convert "$out/gui_image_inserted.png" -format %c histogram:info:- | grep -qi "#FF0000" ||
  fail "the inserted image does not show"
xdotool windowfocus --sync "$win" 2>/dev/null
click_page
xdotool key ctrl+s
sleep 1
[[ -f "$dir/Untitled-1_files/photo[1].png" ]] || fail "the image was not copied: $(ls "$dir/Untitled-1_files")"
grep -qE '<img id="[0-9a-f-]{36}" align="left" width="40" height="30" src="Untitled-1_files/photo\[1\].png">' "$page" ||
  fail "no image tag: $(cat "$page")"
grep -q "LASTIMGFOLDER=$work/pics" "$(find "$HOME" -name zandrel.ini | head -1)" || fail "the image folder was not kept"

# Insert > Table, then View > Show Table Border: the borders are the
# view's, never the page's.
xdotool key --clearmodifiers F10 Right Right Right Down Return
sleep 0.5
xdotool key --clearmodifiers F10 Right Right Down Down Down Return
sleep 0.5
shot gui_table_border
xdotool key ctrl+s
sleep 1
cells='<tr><td>&nbsp;</td><td>&nbsp;</td></tr>'
grep -qF "<table border=\"1\" cellspacing=\"0\" cellpadding=\"4\"><tbody>$cells$cells</tbody></table>" "$page" ||
  fail "no 2 by 2 table: $(cat "$page")"
grep -q "dashed" "$page" && fail "the view's table borders were saved"

# A link dragged from another program onto the page: a link at the drop.
rm -f "$work/dragready"
/usr/bin/python3 "$fixtures/drag_source.py" "$work/dragready" "https://example.com/dropped" "Dropped title" \
  2>>"$work/owner.log" &
source_pid=$!
for _ in $(seq 1 50); do [[ -s "$work/dragready" ]] && break; sleep 0.1; done
[[ -s "$work/dragready" ]] || fail "the drag source did not start: $(cat "$work/owner.log")"
sleep 0.5
geometry
to_x=$((X + WIDTH * 2 / 3)); to_y=$((Y + HEIGHT * 3 / 4))
xdotool mousemove 60 40 mousedown 1
for step in $(seq 1 20); do
  xdotool mousemove $((60 + (to_x - 60) * step / 20)) $((40 + (to_y - 40) * step / 20))
  sleep 0.05
done
sleep 0.3
xdotool mousemove $((to_x + 2)) $((to_y + 2))
sleep 0.3
xdotool mouseup 1
sleep 1
kill "$source_pid" 2>/dev/null
xdotool windowfocus --sync "$win" 2>/dev/null
xdotool key ctrl+s
sleep 1
grep -qF '<a href="https://example.com/dropped">Dropped title</a>' "$page" || fail "no dropped link: $(cat "$page")"

# A second page, saved, then left for a third: it is the newest recent
# page. Its file is then replaced by one with scripts and a refresh.
xdotool key ctrl+n
sleep 2
click_page
xdotool type --delay 30 "Plain."
xdotool key ctrl+s
sleep 1
xdotool key ctrl+n
sleep 2
second="$dir/Untitled-2.htm"
[[ -f "$second" ]] || fail "no second page"
cat >"$second" <<'HTML'
<html><head><meta http-equiv="refresh" content="1;url=https://example.com/elsewhere">
<script>document.write('SCRIPT' + 'RAN');</script></head>
<body onload="document.body.appendChild(document.createTextNode('ONLOAD' + 'RAN'))"><p>Kept text.</p></body></html>
HTML
# File > Recent Pages > the first entry. The refresh is refused: the page
# file is backed up and the user asked; No (the default) stays.
xdotool key --clearmodifiers F10 Down Down Down Down Down Down Down Down Down Right
sleep 0.5
xdotool key Return
wait_dialog "address mismatch"
shot gui_address_mismatch
xdotool key Return
sleep 0.5
[[ -f "$second.bak" ]] || fail "no backup before the mismatch question: $(ls "$dir")"
xdotool windowfocus --sync "$win" 2>/dev/null
click_page
xdotool type --delay 30 "Typed."
xdotool key ctrl+s
sleep 1
grep -q "Typed." "$second" || fail "the page did not stay: $(cat "$second")"
grep -q "Kept text." "$second" || fail "the page lost its text: $(cat "$second")"
grep -qE "SCRIPTRAN|ONLOADRAN" "$second" && fail "a script of the page ran: $(cat "$second")"
# Not run, yet kept: the save writes the page's scripts back.
grep -qF "<script>document.write('SCRIPT' + 'RAN');</script>" "$second" || fail "the save lost the page's script: $(cat "$second")"
grep -qF "onload=" "$second" || fail "the save lost the page's onload: $(cat "$second")"
quit

# A UTF-16 page that says charset=unicode, converted by Help > Trouble
# Shooting > Change All Pages to UTF8 Format.
/usr/bin/python3 - "$second" <<'PY'
import sys
html = ('<html><head><meta http-equiv="Content-Type" content="text/html; charset=unicode"></head>'
        '<body><p>Unicode page \u00fc</p></body></html>')
open(sys.argv[1], "wb").write(b"\xff\xfe" + html.encode("utf-16-le"))
PY
start "$projects/Gamma.zand"
xdotool key --clearmodifiers F10 Right Right Right Right Right Right Down Down Down Down Down Right
sleep 0.5
shot gui_trouble_shooting
xdotool key Down Return
for _ in $(seq 1 50); do
  [[ "$(head -c 2 "$second" | od -An -tx1 | tr -d ' ')" != "fffe" ]] && break
  sleep 0.2
done
sleep 1
/usr/bin/python3 - "$second" <<'PY' || fail "the page is not UTF-8 now: $(od -c "$second" | head -3)"
import sys
data = open(sys.argv[1], "rb").read()
text = data.decode("utf-8")
sys.exit(0 if not data.startswith(b"\xff\xfe") and 'content="text/html;   charset=utf-8"' in text
         and "Unicode page \u00fc" in text else 1)
PY
ls "$dir" | grep -q '~' && fail "a conversion backup was left: $(ls "$dir")"
shot gui_converted
quit
echo "editor_ops: ok"

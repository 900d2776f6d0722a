#!/usr/bin/env bash
# Projects from the outside: the start page's recent list and its menu, a
# project file that has gone, a project left locked, the preferences and
# statistics, and closing while the start-page download hangs.
# Usage: project_states.sh <Zandrel binary> <folder for the screenshots>
set -u
name=project_states
source "$(dirname "$0")/e2e_lib.sh" "$@"

start
new_project Beta
new_folder Notes
# Types a title into the title box (under the item list); Enter renames.
title_box() {
  geometry
  xdotool mousemove $((X + 500)) $((Y + 248)) click 1
  sleep 0.3
  xdotool key ctrl+a
  xdotool type --delay 30 "$1"
}

# A saved page renamed with Enter in the title box...
xdotool key ctrl+n
sleep 2
click_page
xdotool type --delay 30 "Agenda: budget, hiring, the move."
xdotool key ctrl+s
sleep 1
title_box "Meeting notes"
xdotool key Return
sleep 1
[[ -f "$projects/Beta/Notes/Meeting notes.htm" ]] || fail "Enter in the title box did not rename: $(ls "$projects/Beta/Notes")"
# ...and a new page titled before its first save, which Ctrl+S keeps.
xdotool key ctrl+n
sleep 2
click_page
xdotool type --delay 30 "Books to read this winter."
title_box "Reading list"
xdotool key ctrl+s
sleep 1
[[ -f "$projects/Beta/Notes/Reading list.htm" ]] || fail "the typed title was not saved: $(ls "$projects/Beta/Notes")"
shot gui_project_pages
# View > Go Back returns to Meeting notes, Go Forward to Reading list.
go() {
  xdotool key --clearmodifiers F10 Right Right Down $1 Return
  sleep 1.5
}
go ""
click_page
xdotool type --delay 30 " Went back."
xdotool key ctrl+s
sleep 1
grep -q "Went back." "$projects/Beta/Notes/Meeting notes.htm" || fail "Go Back did not show the page before"
go Down
click_page
xdotool type --delay 30 " Went forward."
xdotool key ctrl+s
sleep 1
grep -q "Went forward." "$projects/Beta/Notes/Reading list.htm" || fail "Go Forward did not show the page after"

# Tools (the sixth menu): Zandrel Preferences, then its Browser page.
xdotool key --clearmodifiers F10 Right Right Right Right Right Down Down Return
wait_dialog "preferences"
shot gui_options
xdotool key ctrl+Page_Down ctrl+Page_Down
sleep 0.5
shot gui_options_browser
xdotool key Escape
sleep 0.5
# Tools > Show Statistics.
xdotool key --clearmodifiers F10 Right Right Right Right Right Down Return
wait_dialog "statistics"
shot gui_statistics
xdotool key Return
sleep 0.5
quit

# Without a project: the start page lists Beta.
start
shot gui_start_page
recent=$(find "$HOME" -name zandrecentproject.xml | head -1)
[[ -n "$recent" ]] && grep -q "Beta.zand" "$recent" || fail "Beta is not a recent project"
# Its menu on the list's first entry: Find this project folder, Remove from
# recent list.
geometry
xdotool mousemove $((X + 330)) $((Y + 500)) click 3
sleep 1
xdotool key Down Down Return
sleep 1
grep -q "Beta.zand" "$recent" && fail "Beta is still a recent project"
quit

# A project file that has gone: its message, then the start state.
start "$projects/Gone.zand"
wait_dialog "missing project file"
shot gui_missing_project
xdotool key Return
sleep 1
[[ "$(xdotool getwindowname "$win")" != *Gone* ]] || fail "a missing project opened"
quit

# A lock left behind: Cancel (the default) keeps it closed...
touch "$projects/Beta.zand.lck"
start "$projects/Beta.zand"
wait_dialog "lock question"
shot gui_lock_question
xdotool key Return
sleep 1
[[ "$(xdotool getwindowname "$win")" != *Beta* ]] || fail "Cancel opened the locked project"
[[ -f "$projects/Beta.zand.lck" ]] || fail "Cancel removed the lock"
quit
# ...and OK opens it and takes the lock over, to delete it at the close.
start "$projects/Beta.zand"
wait_dialog "lock question"
xdotool key shift+Tab space
sleep 2
[[ "$(xdotool getwindowname "$win")" == *Beta* ]] || fail "OK did not open the locked project"
quit
[[ ! -f "$projects/Beta.zand.lck" ]] || fail "the adopted lock was not deleted"

# A start-page download that never gets an answer: the window still closes
# at once.
python3 - "$work/port" <<'PY' &
import socket, sys, time
s = socket.socket()
s.bind(("127.0.0.1", 0))
s.listen(8)
open(sys.argv[1], "w").write(str(s.getsockname()[1]))
conns = []
while True:
    c, _ = s.accept()
    conns.append(c)  # read nothing, answer nothing
    open(sys.argv[1] + ".log", "a").write("connected\n")
PY
server=$!
trap 'kill $server 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 1 50); do [[ -s "$work/port" ]] && break; sleep 0.1; done
ini=$(find "$HOME" -name zandrel.ini | head -1)
[[ -n "$ini" ]] || fail "no settings file"
printf '[DEBUG]\nDOWNLOAD=1\n' >>"$ini"
export ZANDREL_FRONTPAGE_URL="http://127.0.0.1:$(cat "$work/port")/frontpage/"
export ZANDREL_UPDATE_URL="http://127.0.0.1:$(cat "$work/port")"
start
# The download starts 5 s after the window opened.
for _ in $(seq 1 100); do [[ -s "$work/port.log" ]] && break; sleep 0.1; done
[[ -s "$work/port.log" ]] || fail "the start-page download did not start"
xdotool windowfocus --sync "$win" 2>/dev/null
xdotool key --clearmodifiers F10
sleep 0.5
xdotool key x
began=$(date +%s%N)
wait_exit
took=$(( ($(date +%s%N) - began) / 1000000 ))
(( took < 3000 )) || fail "closing with a busy download took $took ms"
echo "project_states: recent list, missing file, lock, preferences, statistics and a busy close all behaved"

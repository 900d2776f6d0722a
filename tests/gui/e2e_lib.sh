# Shared by the end-to-end scripts: a private home under a virtual display,
# starting and quitting the real program, and a few user steps.
# A script sets `name`, then sources this file with its own arguments:
#   name=move_page; source "$(dirname "$0")/e2e_lib.sh" "$@"
# Usage of every script: <script> <Zandrel binary> <folder for screenshots>
program=$1
out=${2:-.}
if [[ -z "${E2E_INNER:-}" ]]; then
  exec env E2E_INNER=1 "$(dirname "$0")/with_display.sh" "$0" "$@"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home XDG_DATA_HOME=$work/home/.local/share XDG_CONFIG_HOME=$work/home/.config
export XDG_CACHE_HOME=$work/home/.cache
# No accessibility bus and no settings daemon under the virtual display.
export NO_AT_BRIDGE=1 GTK_A11Y=none GSETTINGS_BACKEND=memory
# GTK and WebKit keep memory until exit by design.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
mkdir -p "$HOME/Documents"
projects="$HOME/Documents/My Korvel"
pid=

fail() {
  echo "$name: $*"
  echo "--- stderr:"; cat "$work/stderr" 2>/dev/null
  [[ -n "${pid:-}" ]] && kill "$pid" 2>/dev/null
  exit 1
}

# Starts the program with the given arguments and waits for its window:
# sets `pid` and `win`.
start() {
  "$program" "$@" >"$work/stdout" 2>"$work/stderr" &
  pid=$!
  # A search fails outright when a window it looks at goes away meanwhile
  # (the engine makes and drops windows at start), so it is tried again.
  win=
  for _ in $(seq 1 600); do  # poll interval 0.1 s, at most a minute
    win=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -1)
    [[ -n "$win" ]] && break
    kill -0 "$pid" 2>/dev/null || fail "the program ended at start"
    sleep 0.1
  done
  [[ -n "$win" ]] || fail "no main window"
  sleep 2
  xdotool windowfocus --sync "$win" 2>/dev/null
}

# Sets X, Y, WIDTH and HEIGHT to the main window's geometry.
geometry() {
  kill -0 "$pid" 2>/dev/null || fail "the program has ended"
  local shape
  shape=$(xdotool getwindowgeometry --shell "$win" 2>/dev/null) || fail "the main window has gone"
  eval "$shape"
}

# Waits up to 10 s for the program to end after Exit or a close request;
# checks its exit code and that it printed no toolkit warnings.
wait_exit() {
  for _ in $(seq 1 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null && fail "still running after Exit"
  wait "$pid" || fail "exit code $?"
  grep -E "Gtk-WARNING|CRITICAL" "$work/stderr" && fail "warnings on standard error"
  pid=
}

# File > Exit: F10 opens the File menu and "x" is Exit's mnemonic.
quit() {
  xdotool windowfocus --sync "$win" 2>/dev/null
  xdotool key --clearmodifiers F10
  sleep 0.5
  xdotool key x
  wait_exit
}

# File > New Project... with the given name, in the default folder.
new_project() {
  xdotool key --clearmodifiers F10 Down Down Down Return
  sleep 2
  xdotool type --delay 40 "$1"
  sleep 0.5
  xdotool key Return
  sleep 3
  [[ -f "$projects/$1.zand" ]] || fail "no project file $1.zand"
}

# Ctrl+G with the given name under the selected folder.
new_folder() {
  xdotool key ctrl+g
  sleep 1
  xdotool type --delay 40 "$1"
  sleep 0.3
  xdotool key Return
  sleep 1
}

# Clicks into the page view, in the lower part of the window.
click_page() {
  geometry
  xdotool mousemove $((X + WIDTH * 2 / 3)) $((Y + HEIGHT * 3 / 4)) click 1
  sleep 0.5
}

# A screenshot of the main window's area, dialogs over it included.
shot() {
  if [[ -n "${win:-}" ]] && kill -0 "$pid" 2>/dev/null; then
    import -window "$win" -screen "$out/$1.png"
  else
    import -window root "$out/$1.png"
  fi
}

# The program's visible windows other than the main window and the one
# named by `tw` (a script's tags window). The toolkit's 1x1 helper windows
# of a drag and drop do not count.
others() {
  local id
  for id in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | grep -vx -e "$win" -e "${tw:-none}"); do
    xdotool getwindowgeometry "$id" 2>/dev/null | grep -q "Geometry: 1x1$" || echo "$id"
  done
}

# Waits up to 10 s for a dialog over the program's windows and gives it the
# keyboard (there is no window manager to do that): sets `dialog`.
wait_dialog() {
  for _ in $(seq 1 50); do
    dialog=$(others | head -1)
    if [[ -n "$dialog" ]]; then
      sleep 0.5
      xdotool windowfocus --sync "$dialog" 2>/dev/null
      return 0
    fi
    sleep 0.2
  done
  fail "no dialog: $1"
}

"""Shared by the end-to-end scripts: a private display, D-Bus session and
accessibility bus per run, a private home, the real program started and
quit, and the steps a user takes, found by role and label through AT-SPI.

Each script is run as `<script> <Zandrel binary> <folder for screenshots>`
and starts with `from e2e import *`. Every wait is for a state with a
time-out; POLL is the only pause.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

POLL = 0.1      # seconds between two looks at a state
TIMEOUT = float(os.environ.get("E2E_TIMEOUT", 90))  # seconds a state may take on a loaded machine
HERE = os.path.dirname(os.path.abspath(__file__))

if not os.environ.get("E2E_INNER"):
    # Again, under a display and session bus of this run's own.
    os.environ["E2E_INNER"] = "1"
    os.execv(os.path.join(HERE, "with_display.sh"),
             ["with_display.sh", "dbus-run-session", "--", "/usr/bin/python3",
              os.path.abspath(sys.argv[0])] + sys.argv[1:])

NAME = os.path.splitext(os.path.basename(sys.argv[0]))[0]
PROGRAM = sys.argv[1]
OUT = sys.argv[2] if len(sys.argv) > 2 else "."
FIXTURES = os.path.join(HERE, "..", "fixtures")
WORK = tempfile.mkdtemp(prefix="zandrel-e2e-")
HOME = os.path.join(WORK, "home")
DATA = os.path.join(HOME, ".local", "share")
PROJECTS = os.path.join(HOME, "Documents", "My Korvel")
INI = os.path.join(DATA, "Zandrel", "Data", "zandrel.ini")
os.makedirs(os.path.join(HOME, "Documents"))
os.environ.update(HOME=HOME, XDG_DATA_HOME=DATA, XDG_CONFIG_HOME=os.path.join(HOME, ".config"),
                  XDG_CACHE_HOME=os.path.join(HOME, ".cache"), GSETTINGS_BACKEND="memory")
for switch in ("NO_AT_BRIDGE", "GTK_A11Y"):
    os.environ.pop(switch, None)
# GTK and WebKit keep memory until exit by design.
os.environ["ASAN_OPTIONS"] = ":".join(filter(None, [os.environ.get("ASAN_OPTIONS"), "detect_leaks=0"]))

_helpers = []   # processes to end with the run
program = None  # the running Program


def cleanup():
    for proc in _helpers + ([program.proc] if program else []):
        if proc.poll() is None:
            proc.kill()
            proc.wait()
    shutil.rmtree(WORK, ignore_errors=True)


def fail(why):
    print(f"{NAME}: {why}")
    if program:
        shot(f"{NAME}_failed")
        print("--- stderr:")
        print(program.stderr())
    if os.environ.get("E2E_KEEP"):
        print("kept:", WORK)
        os._exit(1)
    cleanup()
    sys.exit(1)


def wait(what, check, timeout=TIMEOUT):
    """Polls check() until it gives something true and returns that."""
    began = time.monotonic()
    end = began + timeout
    while True:
        try:
            got = check()
        except Exception:   # a node that went away meanwhile: look again
            got = None
        if got:
            if time.monotonic() - began > 5:
                print(f"{NAME}: {time.monotonic() - began:.0f} s for {what}")
            return got
        if program and program.proc.poll() is not None:
            fail(f"the program ended (exit code {program.proc.returncode}) while waiting for {what}")
        if time.monotonic() > end:
            fail(f"timed out waiting for {what}")
        time.sleep(POLL)


def background(*argv):
    proc = subprocess.Popen(argv, stderr=open(os.path.join(WORK, "helpers.log"), "a"))
    _helpers.append(proc)
    return proc


def read(path, mode="r"):
    try:
        with open(path, mode, **({} if "b" in mode else {"encoding": "utf-8"})) as f:
            return f.read()
    except OSError:
        return None


def wait_file(path, what=None, contains=None):
    wait(what or f"the file {path}",
         lambda: os.path.exists(path) and (contains is None or contains in (read(path) or "")))


def _bus_up():
    # Asking for the accessibility bus starts it (D-Bus activation), once.
    wait("the accessibility bus", lambda: subprocess.run(
        ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
         "org.a11y.Bus.GetAddress"], capture_output=True).returncode == 0)


_bus_up()
import pyatspi  # noqa: E402  (needs the bus above)


# --- the accessible tree

def role(node):
    return node.getRoleName()


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def find_all(node, want, limit=None):
    """The nodes under node (depth first) for which want(node) holds."""
    hits, stack = [], [node]
    while stack:
        n = stack.pop()
        try:
            if want(n):
                hits.append(n)
                if limit and len(hits) >= limit:
                    break
            stack.extend(reversed([n.getChildAtIndex(i) for i in range(n.childCount)]))
        except Exception:
            continue
    return [h for h in hits if h is not None]


def find(node, role_name, name=None, shown=True):
    hits = find_all(node, lambda n: n is not None and role(n) == role_name and
                    (name is None or n.name == name) and (not shown or showing(n)), limit=1)
    return hits[0] if hits else None


def centre(node):
    e = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return e.x + e.width // 2, e.y + e.height // 2


def text_of(node):
    t = node.queryText()
    return t.getText(0, t.characterCount)


# --- real input

def xdo(*args):
    subprocess.run(["xdotool", *map(str, args)], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def key(*keys):
    xdo("key", *keys)


def type_text(text):
    xdo("type", "--delay", 20, text)


def click_at(x, y, button=1):
    xdo("mousemove", x, y, "click", button)


def click(node, button=1):
    click_at(*centre(node[0] if isinstance(node, list) else node), button)


class Drag:
    """A drag by the mouse: press at a point, glide in small steps to
    others, let go. The toolkit starts a drag only after some travel."""
    def __init__(self, x, y):
        self.x, self.y = x, y
        xdo("mousemove", x, y, "mousedown", 1)

    def glide(self, x, y):
        for i in range(1, 13):
            xdo("mousemove", self.x + (x - self.x) * i // 12, self.y + (y - self.y) * i // 12)
        self.x, self.y = x, y
        return self

    def release(self):
        xdo("mouseup", 1)


def clipboard(*args):
    """Puts data on the clipboard the way a browser does."""
    ready = os.path.join(WORK, "clipboard")
    if os.path.exists(ready):
        os.remove(ready)
    background("/usr/bin/python3", os.path.join(FIXTURES, "clipboard_owner.py"), ready, *args)
    wait("the clipboard owner", lambda: os.path.exists(ready))


def drag(source, target):
    Drag(*centre(source)).glide(*centre(target)).release()


def shot(name):
    subprocess.run(["import", "-window", "root", os.path.join(OUT, name + ".png")],
                   stderr=subprocess.DEVNULL)


# --- the program

class Program:
    def __init__(self, args):
        global program
        program = self  # what the waits below watch
        self.err = os.path.join(WORK, "stderr")
        self.proc = subprocess.Popen([PROGRAM, *args], stdout=subprocess.DEVNULL,
                                     stderr=open(self.err, "w"))
        self.app = wait("the program on the accessibility bus", self._find_app)
        self.frame = wait("the main window", lambda: find(self.app, "frame", None))
        self.xid = wait("the main window on the display", lambda: self.xwindow(self.frame.name))
        self.tags = self.tags_xid = None
        self.focus()

    def _find_app(self):
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.get_process_id() == self.proc.pid:
                return app
        return None

    def stderr(self):
        return read(self.err) or ""

    def xwindow(self, title):
        out = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(self.proc.pid),
                              "--name", f"^{title}$"], capture_output=True, text=True).stdout.split()
        return out[0] if out else None

    def focus(self, xid=None):
        # No window manager here: the keyboard goes where it is sent.
        xdo("windowfocus", "--sync", xid or self.xid)

    def title(self):
        return self.frame.name

    def windows(self):
        return [w for w in (self.app.getChildAtIndex(i) for i in range(self.app.childCount))
                if w is not None and showing(w)]

    def others(self):
        """The showing windows but the main one and the tags window."""
        return [w for w in self.windows() if w != self.frame and w != self.tags and
                role(w) not in ("window", "menu")]

    def xwindows(self):
        ids = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(self.proc.pid)],
                             capture_output=True, text=True).stdout.split()
        # The toolkit's 1x1 helper windows of a drag and drop do not count.
        return [i for i in ids if "Geometry: 1x1\n" not in subprocess.run(
            ["xdotool", "getwindowgeometry", i], capture_output=True, text=True).stdout + "\n"]

    def dialog(self, title=None):
        """Waits for a dialog (titled `title`, if given) and gives it the keyboard."""
        d = wait(f'the dialog "{title}"', lambda: next(
            (w for w in self.others() if title is None or w.name == title), None))
        known = {self.xid, self.tags_xid}
        self.dialog_xid = wait(f'the dialog "{title}" on the display',
                               lambda: next((i for i in reversed(self.xwindows()) if i not in known), None))
        self.focus(self.dialog_xid)
        return d

    def dialog_title(self):
        """The title the display shows for the last dialog."""
        return subprocess.run(["xdotool", "getwindowname", self.dialog_xid], capture_output=True,
                              text=True).stdout.strip()

    def no_dialog(self, what):
        others = [w.name for w in self.others()]
        if others:
            fail(f"unexpected window {others}: {what}")

    def closed(self, window, what):
        wait(what, lambda: window not in self.windows())

    def popup(self, label):
        """Clicks an entry of the context menu that shows."""
        click(wait(f'the menu entry "{label}"', lambda: find(self.app, "menu item", label)))

    def menu(self, *path):
        """Opens the menus by their labels and clicks the entry. (A click,
        not an accessible action: an action that opens a modal dialog
        would hold the accessibility bus until the dialog ends.)"""
        self.focus()
        node = find(self.frame, "menu bar", shown=False)
        for label in path:
            kind = "menu item" if label == path[-1] else "menu"
            node = wait(f"the menu entry {' > '.join(map(str, path))}",
                        lambda: find(node, kind, label))
            click(node)

    def button(self, window, label):
        click(wait(f'the button "{label}" enabled', lambda: find_all(
            window, lambda n: role(n) == "push button" and n.name == label and showing(n) and
            n.getState().contains(pyatspi.STATE_SENSITIVE), 1)))

    def folder(self, name):
        tree = find(self.frame, "tree table")
        return wait(f'the folder "{name}"', lambda: find(tree, "table cell", name))

    def item_list(self):
        return find_all(self.frame, lambda n: role(n) == "table" and any(
            c.name == "Flag" for c in (n.getChildAtIndex(i) for i in range(n.childCount))), 1)[0]

    def row(self, title):
        return wait(f'the row "{title}"', lambda: find(self.item_list(), "table cell", title))

    def title_box(self):
        # The text field under the item list.
        panel = self.item_list().parent.parent
        return next(panel.getChildAtIndex(i) for i in range(panel.childCount)
                    if role(panel.getChildAtIndex(i)) == "text")

    def document(self):
        return wait("the page view", lambda: find(self.frame, "document web"))

    def click_page(self):
        """Gives the page view the keyboard, at the end of its text."""
        self.focus()
        e = self.document().queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        click_at(e.x + e.width * 2 // 3, e.y + e.height * 3 // 4)

    def page_shows(self, text):
        """Waits for the page view to show the text (inserted or loaded;
        letters typed into a new page's body are not exposed)."""
        def has(n):
            try:
                return text in text_of(n)
            except NotImplementedError:
                return False
        return wait(f'the page to show "{text}"', lambda: find_all(self.document(), has, 1))

    def tags_window(self, title):
        """Waits for the tags window showing the page so titled; gives it the keyboard."""
        w = wait(f'the tags window "{title}"', lambda: next(
            (w for w in self.windows() if role(w) == "frame" and w != self.frame and w.name == title), None))
        def shown():
            named = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(self.proc.pid), "--name",
                                    f"^{title}$"], capture_output=True, text=True).stdout.split()
            return next((i for i in self.xwindows() if i in named and i != self.xid), None)
        self.tags_xid = wait("the tags window on the display", shown)
        self.tags = w
        self.focus(self.tags_xid)
        return wait("the tags page loaded", lambda: find_all(w, lambda n: role(n) == "document web" and n.name == title
                                                             and not n.getState().contains(pyatspi.STATE_BUSY), 1)[0])

    def wait_title(self, part):
        return wait(f'a window title with "{part}"', lambda: part in self.frame.name)

    def wait_exit(self):
        try:
            code = self.proc.wait(timeout=TIMEOUT)
        except subprocess.TimeoutExpired:
            fail("still running after Exit")
        if code != 0:
            fail(f"exit code {code}")
        for line in self.stderr().splitlines():
            # The toolkit's accessible notebook tabs ask for their labels
            # while a notebook is torn down; that one is not ours.
            if ("Gtk-WARNING" in line or "CRITICAL" in line) and "gtk_notebook_get_tab_label" not in line:
                fail(f"warnings on standard error: {line}")

    def quit(self):
        self.menu("File", "Exit")
        self.wait_exit()


def start(*args):
    return Program(args)


def done(summary):
    global program
    program = None
    cleanup()
    print(f"{NAME}: {summary}")


# --- steps many scripts take

def new_project(name):
    program.menu("File", "New Project...")
    chooser = program.dialog("New Project")
    type_text(name)
    wait("the typed name", lambda: text_of(find(chooser, "text")) == name)
    program.button(chooser, "Save")
    wait_file(os.path.join(PROJECTS, name + ".zand"))
    program.wait_title(name)
    program.focus()


def new_folder(name, parent_dir):
    key("ctrl+g")
    program.dialog("New Folder")
    type_text(name)
    key("Return")
    wait_file(os.path.join(parent_dir, name))
    program.focus()
    program.folder(name)


def new_page(text, page_file):
    """Ctrl+N, some text, Ctrl+S; waits for the file."""
    program.focus()
    key("ctrl+n")
    wait("the new page", lambda: program.row(os.path.splitext(os.path.basename(page_file))[0]))
    program.click_page()
    type_text(text)
    save(page_file, f"the page saved with {text!r}", lambda saved: text in saved)


def save(page_file, what, check):
    """Ctrl+S until the page file passes check(). The accelerator can
    overtake keys still queued for the page engine, so a save may come
    before the last typed letters; it is pressed again after a while."""
    last = [0.0]

    def look():
        saved = read(page_file)
        if check(saved or ""):
            return True
        if time.monotonic() - last[0] > 3:
            if last[0]:
                print(f"{NAME}: Ctrl+S again, the file " + ("is missing" if saved is None else f"has {saved!r}"))
            program.focus()
            key("ctrl+s")
            last[0] = time.monotonic()
    wait(what, look)


def listed(folder, title):
    """How many items of the folder's collection file have this title."""
    return (read(os.path.join(folder, ".zandrel", "krv_files.xml")) or "").count(f"<title>{title}</title>")

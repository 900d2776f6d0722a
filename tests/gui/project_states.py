#!/usr/bin/python3
"""Projects from the outside: pages titled in the title box, Go Back and
Go Forward, the preferences and statistics, the start page's recent list
and its menu, a project file that has gone, a project left locked, and
closing while the start-page download hangs."""
import socket
import threading

from e2e import *

p = start()
new_project("Beta")
notes = os.path.join(PROJECTS, "Beta", "Notes")
new_folder("Notes", os.path.dirname(notes))


def title_box(text):
    box = p.title_box()
    click(box)
    key("ctrl+a")
    type_text(text)
    wait(f'"{text}" in the title box', lambda: text_of(box) == text)


# A saved page renamed with Enter in the title box...
new_page("Agenda: budget, hiring, the move.", os.path.join(notes, "Untitled-1.htm"))
title_box("Meeting notes")
key("Return")
meeting = os.path.join(notes, "Meeting notes.htm")
wait_file(meeting, "Enter in the title box to rename")
# ...and a new page titled before its first save, which Ctrl+S keeps.
p.focus()
key("ctrl+n")
p.row("Untitled-1")  # the name is free again
p.click_page()
type_text("Books to read this winter.")
title_box("Reading list")
reading = os.path.join(notes, "Reading list.htm")
save(reading, "the typed title saved", lambda t: "Books to read this winter." in t)
shot("gui_project_pages")

# View > Go Back returns to Meeting notes, Go Forward to Reading list.
for entry, text, page in (("Go Back", " Went back.", meeting), ("Go Forward", " Went forward.", reading)):
    p.menu("View", entry)
    title = os.path.splitext(os.path.basename(page))[0]
    wait(f"{entry} to show {title}", lambda: text_of(p.title_box()) == title)
    p.click_page()
    type_text(text)
    save(page, f"{entry} to show the page", lambda t: text.strip() in t)

p.menu("Tools", "Zandrel Preferences")
options = p.dialog("Zandrel Preferences")
shot("gui_options")
key("ctrl+Page_Down", "ctrl+Page_Down")
wait("the Browser page", lambda: find(options, "radio button", "My Default Browser"))
shot("gui_options_browser")
key("Escape")
p.closed(options, "the preferences to close")
p.menu("Tools", "Show Statistics")
stats = p.dialog("Statistics")
shot("gui_statistics")
key("Return")
p.closed(stats, "the statistics to close")
p.quit()

# Without a project: the start page lists Beta; its menu removes it.
p = start()
recent = os.path.join(DATA, "Zandrel", "Data", "zandrecentproject.xml")
"Beta.zand" in (read(recent) or "") or fail(f"Beta is not a recent project: {read(recent)}")
entry = wait("Beta on the start page", lambda: find_all(
    p.document(), lambda n: role(n) == "link" and "Beta" in n.name, 1))
shot("gui_start_page")
click(entry, 3)
p.popup("Remove from recent list")
wait("Beta removed from the recent list", lambda: "Beta.zand" not in read(recent))
p.quit()

# A project file that has gone: its message, then the start state.
p = start(os.path.join(PROJECTS, "Gone.zand"))
p.dialog()
shot("gui_missing_project")
key("Return")
p.wait_title("Zandrel")
p.no_dialog("after the missing project's message")
p.quit()

# A lock left behind: Cancel (the default) keeps it closed...
lock = os.path.join(PROJECTS, "Beta.zand.lck")
open(lock, "w").close()
p = start(os.path.join(PROJECTS, "Beta.zand"))
question = p.dialog()
shot("gui_lock_question")
key("Return")
p.closed(question, "the lock question to close")
"Beta" not in p.title() or fail("Cancel opened the locked project")
os.path.exists(lock) or fail("Cancel removed the lock")
p.quit()
# ...and OK opens it and takes the lock over, to delete it at the close.
p = start(os.path.join(PROJECTS, "Beta.zand"))
p.button(p.dialog(), "OK")
p.wait_title("Beta")
p.quit()
not os.path.exists(lock) or fail("the adopted lock was not deleted")

# A start-page download that never gets an answer: the window still
# closes at once.
server = socket.socket()
server.bind(("127.0.0.1", 0))
server.listen(8)
connected = threading.Event()
held = []


def serve():
    while True:
        conn, _ = server.accept()
        held.append(conn)  # read nothing, answer nothing
        connected.set()


threading.Thread(target=serve, daemon=True).start()
with open(INI, "a") as ini:
    ini.write("[DEBUG]\nDOWNLOAD=1\n")
url = f"http://127.0.0.1:{server.getsockname()[1]}"
os.environ.update(ZANDREL_FRONTPAGE_URL=url + "/frontpage/", ZANDREL_UPDATE_URL=url)
p = start()
wait("the start-page download to connect", connected.is_set)
began = time.monotonic()
p.quit()
took = time.monotonic() - began
took < 3 or fail(f"closing with a busy download took {took:.1f} s")
done("pages titled, history, preferences, statistics, recent list, missing file, lock and a busy close")

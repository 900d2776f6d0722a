#!/usr/bin/python3
"""Importing pages a browser saved: one chosen with File > Import Pages...,
then a page and a directory tree dragged from another program onto a
folder of the tree, as from a file manager, and a page onto the item list. Each page comes in under its
<title> with its assets folder; the user's files stay as they were."""
import pathlib

from e2e import *

saved = pathlib.Path(HOME) / "saved"
files = {
    "Report.html": '<html><head><title>Quarterly report</title></head><body><img src="Report_files/a.png">'
                   "</body></html>",
    "Report_files/a.png": "png",
    "Notes.htm": "<title>Dropped notes</title><p>notes</p>",
    "Trip/Day one.htm": '<title>Day one</title><img src="Day%20one_files/p.gif">',
    "Trip/Day one_files/p.gif": "gif",
    "Trip/Inner/Later.htm": "<title>Later</title>",
    "Loose.htm": "<title>Loose page</title>",
}
for name, text in files.items():
    (saved / name).parent.mkdir(parents=True, exist_ok=True)
    (saved / name).write_text(text)


def user_files():
    return {str(f.relative_to(saved)): f.read_text() for f in saved.rglob("*") if f.is_file()}


p = start()
new_project("Delta")
inbox = os.path.join(PROJECTS, "Delta", "Inbox")
new_folder("Inbox", os.path.dirname(inbox))
click(p.folder("Inbox"))

# File > Import Pages..., the page's path typed into the chooser.
p.menu("File", "Import Pages...")
chooser = p.dialog("Import Pages")
key("ctrl+l")
path = str(saved / "Report.html")
type_text(path)
wait("the typed path", lambda: any(text_of(t) == path for t in find_all(
    chooser, lambda n: role(n) == "text" and showing(n))))
last = [0.0]


def accepted():
    if chooser not in p.windows():
        return True
    if time.monotonic() - last[0] > 3:  # the first click may only close the completion list
        p.button(chooser, "Import")
        last[0] = time.monotonic()


wait("the chooser accepted the page", accepted)
p.row("Quarterly report")
wait_file(os.path.join(inbox, "Quarterly report_files", "a.png"), "the page's assets")
'src="Quarterly%20report_files/a.png"' in read(os.path.join(inbox, "Quarterly report.htm")) or \
    fail("the page does not point into its new assets folder")
shot("gui_import_pages")

# A page and a directory tree dragged onto the folder's row.
def drop(uris, to, ready):
    source = background("/usr/bin/python3", os.path.join(FIXTURES, "drag_source.py"), ready, uris, "saved")
    wait("the drag source", lambda: os.path.exists(ready))
    Drag(60, 40).glide(*to).glide(to[0] + 2, to[1] + 2).release()
    return source


source = drop(f"{(saved / 'Notes.htm').as_uri()} {(saved / 'Trip').as_uri()}", centre(p.folder("Inbox")),
              os.path.join(WORK, "ready1"))
p.row("Dropped notes")
p.folder("Trip")
trip = os.path.join(inbox, "Trip")
for name in ("Day one.htm", os.path.join("Day one_files", "p.gif"), os.path.join("Inner", "Later.htm")):
    wait_file(os.path.join(trip, name))
wait("Trip's collection", lambda: listed(trip, "Day one") == 1)
wait("Inner's collection", lambda: listed(os.path.join(trip, "Inner"), "Later") == 1)
shot("gui_import_dropped")
source.kill()
# Onto the item list: into the folder it shows.
drop((saved / "Loose.htm").as_uri(), centre(p.item_list()), os.path.join(WORK, "ready2"))
p.row("Loose page")

user_files() == files or fail("the user's files changed")
[n for n in os.listdir(inbox) if n.startswith(".import-")] == [] or fail("a staging folder was left")
p.no_dialog("nothing was skipped")
p.quit()
done("a page imported from the menu, a page and a directory tree dropped from another program")

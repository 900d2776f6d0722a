#!/usr/bin/python3
"""Page history: a page saved three times keeps its two earlier versions;
File > Page History... lists them, shows the one picked, and Restore puts
it back, in the window and on disk, the page as it was becoming a version
in its turn."""
from e2e import *

notes = os.path.join(PROJECTS, "History")
page = os.path.join(notes, "Untitled-1.htm")
history = os.path.join(notes, ".zandrel", "history")


def versions():
    """The kept versions' texts, newest first, as the dialog lists them."""
    def order(name):
        serial = name[16:-len(".htm")].lstrip("-")
        return name[:16], int(serial or 1)
    found = [(order(f), os.path.join(d, f)) for d, _, files in os.walk(history) for f in files]
    return [read(path) for _, path in sorted(found, reverse=True)]


def alpha(n):
    try:
        return "Alpha one" in text_of(n)
    except NotImplementedError:
        return False


p = start()
new_project("History")
new_page("Start.", page)
# Pasted, so that the text sits in a paragraph the page view exposes.
for old, text in (("Start.", "Alpha one"), ("Alpha", "Beta two")):
    p.click_page()
    key("ctrl+a")
    clipboard("html", f"<p>{text}</p>", "https://example.com/")
    key("ctrl+v")
    p.page_shows(text)
    save(page, f"the page saved with {text!r}", lambda saved, o=old, t=text: t in saved and o not in saved)
# A Ctrl+S pressed again may have kept a page typed half-way as well.
wait("two versions kept", lambda: len(versions()) >= 2)
first = next(i for i, v in enumerate(versions()) if "Alpha one" in v)

p.menu("File", "Page History...")
dialog = p.dialog("Page History")
times = wait("the versions listed", lambda: find_all(
    dialog, lambda n: role(n) == "table cell" and ":" in (n.name or ""), first + 1)[first:])
click(times[0])
preview = wait("the picked version shown", lambda: find_all(
    dialog, lambda n: role(n) == "document web" and find_all(n, alpha, 1), 1)[0])
wait("the version loaded", lambda: not preview.getState().contains(pyatspi.STATE_BUSY))
shot("gui_page_history")
p.button(dialog, "Restore")
p.closed(dialog, "the Page History dialog to close")
p.page_shows("Alpha one")
wait_file(page, "the version restored", contains="Alpha one")
wait("the replaced page kept as a version", lambda: "Beta two" in versions()[0])
p.quit()
done("three saves kept two versions, one restored and the replaced page kept")

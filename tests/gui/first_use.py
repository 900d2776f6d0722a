#!/usr/bin/python3
"""What a new user sees first: the folder tree follows the page shown
whichever way it was opened, the window title names the page, its folder
and project and marks unsaved edits, the folder page tells whether the
folder has pages, a new folder over a directory that holds a collection
lists its pages at once, and the tags window closes on Escape and shows
paths with slashes."""
import re

from e2e import *

delta = os.path.join(PROJECTS, "Delta")
one, two = os.path.join(delta, "One"), os.path.join(delta, "Two")
DASH = " \u2014 "


def selected_folder():
    """The name of the folder row the tree shows selected."""
    tree = find(p.frame, "tree table")
    cells = find_all(tree, lambda n: role(n) == "table cell" and n.getState().contains(pyatspi.STATE_SELECTED), 1)
    return cells[0].name if cells else None


def expect_shown(title, folder):
    wait(f"{title} shown in {folder}, its folder selected",
         lambda: text_of(p.title_box()) == title and selected_folder() == folder)
    p.wait_title(title + DASH + folder + DASH + "Delta" + DASH + "Zandrel")


p = start()
new_project("Delta")
new_folder("One", delta)
new_page("Page in one", os.path.join(one, "Untitled-1.htm"))
p.wait_title("Untitled-1" + DASH + "One" + DASH + "Delta" + DASH + "Zandrel")
# Tagged, so the tags window lists it.
p.focus()
key("ctrl+t")
p.tags_window("Tag pages")
wait("the tags field focused", lambda: find_all(p.tags, lambda n: role(n) == "entry" and n.name == "Tags" and
                                                n.getState().contains(pyatspi.STATE_FOCUSED), 1))
type_text("apple")
key("Return")
wait("the tag-it form to close", lambda: not showing(p.tags))
click(p.folder("Delta"))
new_folder("Two", delta)
new_page("Page in two", os.path.join(two, "Untitled-1.htm"))
expect_shown("Untitled-1", "Two")

# Unsaved edits mark the title until the page is saved.
p.click_page()
type_text(" more")
p.wait_title("*Untitled-1" + DASH + "Two")
save(os.path.join(two, "Untitled-1.htm"), "the edit saved", lambda t: "more" in t)
p.wait_title("Untitled-1" + DASH + "Two")

# The recently tagged pages show paths with slashes; Escape closes the window.
p.focus()
key("ctrl+r")
doc = p.tags_window("Use Tags to search your Collections")
wait("the page's path with slashes", lambda: find(doc, "link", "Delta/One/Untitled-1.htm"))
not find(doc, "link", "Delta\\One\\Untitled-1.htm") or fail("a path still shows backslashes")
key("Escape")
wait("Escape to close the tags window", lambda: not showing(p.tags))
# Its link opens the page: the tree selects the page's folder.
p.focus()
key("ctrl+r")
doc = p.tags_window("Use Tags to search your Collections")
click(wait("the tagged page's link", lambda: find(doc, "link", "Untitled-1")))
wait("the tags window to close", lambda: not showing(p.tags))
expect_shown("Untitled-1", "One")
# New Page lands in the folder the tree shows.
new_page("Second in one", os.path.join(one, "Untitled-2.htm"))
selected_folder() == "One" or fail(f"the new page's folder is not selected: {selected_folder()}")
not os.path.exists(os.path.join(two, "Untitled-2.htm")) or fail("the new page went to Two")

# Go Back to the page in Two, Recent Pages to the page in One.
p.menu("View", "Go Back")
p.menu("View", "Go Back")
expect_shown("Untitled-1", "Two")
# The newest entry is the page on show; the next one is One's.
p.focus()
click(find(find(p.frame, "menu bar", shown=False), "menu", "File"))
click(wait("Recent Pages", lambda: find(p.frame, "menu", "Recent Pages")))
click(wait("the second entry", lambda: find_all(p.app, lambda n: role(n) == "menu item" and n.name == "Untitled-1"
                                                and showing(n))[1]))
expect_shown("Untitled-1", "One")
# The task pane's result opens the page in Two.
p.focus()
key("ctrl+e")
pane = wait("the task pane", lambda: find(p.frame, "push button", "Hide the Task Pane")).parent
type_text("Untitled-1")
key("Return")
click(wait("the result in Two", lambda: find(pane, "table cell", "\\Two")))
expect_shown("Untitled-1", "Two")
shot("gui_first_use_task_pane")

# The folder page: with pages listed it does not claim the folder is empty.
click(p.folder("One"))
click(p.row("Untitled-2"))
wait("Untitled-2 shown", lambda: text_of(p.title_box()) == "Untitled-2")
click(p.row("Untitled-2"), 3)
p.popup("Delete")
p.button(p.dialog("Confirm Item Deletion"), "OK")
wait("the page deleted", lambda: listed(one, "Untitled-2") == 0)
p.page_shows("Choose a page from the list")
click(p.row("Untitled-1"), 3)
p.popup("Delete")
p.button(p.dialog("Confirm Item Deletion"), "OK")
wait("the last page deleted", lambda: listed(one, "Untitled-1") == 0)
p.page_shows("This folder has no pages yet.")
p.wait_title("One" + DASH + "Delta" + DASH + "Zandrel")

# A new folder over a directory that already holds a collection lists its
# pages at once.
three = os.path.join(delta, "Three")
shutil.copytree(two, three)
colct = os.path.join(three, ".zandrel", "krv_files.xml")
with open(colct) as f:
    text = f.read()
# Pages of their own, not copies of Two's.
with open(colct, "w") as f:
    f.write(re.sub(r"[0-9a-fA-F]{8}-[0-9a-fA-F]{4}-", "00000000-0000-", text))
click(p.folder("Delta"))
new_folder("Three", delta)
p.row("Untitled-1")
p.page_shows("Choose a page from the list")
'text="Three"' in read(os.path.join(delta, ".zandrel", "krv_folders.xml")) or fail("the tree file lacks Three")
p.quit()
done("the tree follows the page, titles, folder page, taken-over folder, tags window keys")

#!/usr/bin/python3
"""Moving things around the folder tree: a saved page moved with Ctrl+M and
the folder dialog, dragged back from the item list onto its first folder,
a folder dragged into another one, and the page dragged over a closed
folder until it opens; each checked on disk."""
from e2e import *

alpha = os.path.join(PROJECTS, "Alpha")
first, second = os.path.join(alpha, "First"), os.path.join(alpha, "Second")
page = "Untitled-1.htm"

p = start()
new_project("Alpha")
new_folder("First", alpha)
click(p.folder("Alpha"))
new_folder("Second", alpha)
click(p.folder("First"))
new_page("Travelling page", os.path.join(first, page))
# Reading the page for the save woke the page engine's script context in
# this process; a sanitizer build dies when that context is torn down a
# few seconds later (the engine is built without type information), so the
# moves run in a fresh start of the program.
p.quit()

p = start(alpha + ".zand")
click(p.folder("First"))
click(p.row("Untitled-1"))
wait("the page selected", lambda: text_of(p.title_box()) == "Untitled-1")
# Ctrl+M: the dialog lists Alpha, First, Second with none chosen; End picks
# the last.
key("ctrl+m")
dialog = p.dialog("Move Page")
shot("gui_move_page_dialog")
key("End", "Return")
p.closed(dialog, "the Move Page dialog to close")
wait_file(os.path.join(second, page), "the page moved to Second")
shot("gui_move_page_moved")
not os.path.exists(os.path.join(first, page)) or fail("the page is still in First")
"Travelling page" in read(os.path.join(second, page)) or fail("the page lost its text")
wait("Second's collection to list the page", lambda: listed(second, "Untitled-1") == 1)
listed(first, "Untitled-1") == 0 or fail("First's collection still lists the page")

# Back by dragging its row from Second's list onto First.
click(p.folder("Second"))
drag(p.row("Untitled-1"), p.folder("First"))
wait_file(os.path.join(first, page), "the dragged page in First")
shot("gui_move_page_dragged")
not os.path.exists(os.path.join(second, page)) or fail("the dragged page is still in Second")
wait("First's collection to list the page", lambda: listed(first, "Untitled-1") == 1)

# The folder Second dragged onto the middle of First: it goes inside.
drag(p.folder("Second"), p.folder("First"))
inner = os.path.join(first, "Second")
wait("the folder moved into First", lambda: os.path.isdir(inner) and not os.path.exists(second))
shot("gui_move_page_folder")
"Second" in read(os.path.join(alpha, ".zandrel", "krv_folders.xml")) or fail("the tree file lost the folder")

# With First closed, the page held over it opens it after a while, and
# goes into the folder that came into view.
click(p.folder("First"))
key("minus")
tree = find(p.frame, "tree table")
wait("First closed", lambda: not find(tree, "table cell", "Second"))
held = Drag(*centre(p.row("Untitled-1"))).glide(*centre(p.folder("First")))
x, y = centre(p.folder("First"))
held.glide(x + 3, y)
shot("gui_move_page_expanded")
held.glide(*centre(p.folder("Second"))).release()
wait_file(os.path.join(inner, page), "the page in the folder that opened under the drag")
p.quit()
done("moved by Ctrl+M and back by dragging; a folder dragged into another; a closed folder opened under a drag")

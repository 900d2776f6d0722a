#!/usr/bin/python3
"""The formatting toolbar, its Bold following the caret and its heading
list, Ctrl+B done once, a pasted list followed by its source note, a table
filled with Tab and changed from its context menu, and an image inserted
with the image dialog's first alignment."""
import re

from e2e import *


def bold_on():
    return find(p.frame, "toggle button", "Bold").getState().contains(pyatspi.STATE_CHECKED)


def saved(what, pattern):
    save(page, what, lambda t: re.search(pattern, t))


p = start()
wait("the toolbar unusable on the start page", lambda: not find(p.frame, "toggle button", "Bold").getState()
     .contains(pyatspi.STATE_SENSITIVE))
new_project("Delta")
web = os.path.join(PROJECTS, "Delta", "Web")
new_folder("Web", os.path.dirname(web))
page = os.path.join(web, "Untitled-1.htm")
new_page("Plain", page)  # all of it in the page before the click
click(find(p.frame, "toggle button", "Bold"))
wait("Bold pressed", bold_on)
type_text("Strong")
key("Home")
wait("Bold up at the plain text", lambda: not bold_on())
key("End")
wait("Bold pressed at the bold text", bold_on)
shot("gui_toolbar")
# Ctrl+B works once: the bold ends.
key("ctrl+b")
wait("Bold up after Ctrl+B", lambda: not bold_on())
type_text("Keyed")
# The heading list makes the line a heading.
click(find(p.frame, "combo box", "Heading"))
p.popup("Heading 1")
saved("a heading, bold from the toolbar, plain after Ctrl+B", r"<h1>Plain<b>Strong</b>Keyed</h1>")

# A list pasted from a web page: the note follows the list.
clipboard("html", "<ul><li>one</li><li>two</li></ul>", "https://example.com/list")
key("Return", "ctrl+v")
saved("the note after the list", r'<li>two</li></ul><p style="margin:0in;[^"]*">Pasted from &lt;'
      r'<a href="https://example.com/list">')

# Insert > Table: typing fills the first cell, Tab goes on and adds a row
# after the last cell, Shift+Tab goes back.
p.menu("Insert", "Table")
type_text("A1")
key("Tab")
type_text("B1")
key("Tab", "Tab", "Tab")
type_text("A3")
key("shift+Tab")
type_text("B2")
blank = "<td>&nbsp;</td>"
saved("a table of three rows", f"<tbody><tr><td>A1</td><td>B1</td></tr><tr>{blank}<td>B2</td></tr>"
      f"<tr><td>A3</td>{blank}</tr></tbody>")
# The cell's context menu adds a column beside it and deletes it again.
click(wait("the first cell", lambda: find(p.document(), "table cell")), 3)
p.popup("Insert Column Right")
saved("a column added", f"<tr><td>A1</td>{blank}<td>B1</td></tr><tr>{blank * 2}<td>B2</td></tr>"
      f"<tr><td>A3</td>{blank * 2}</tr>")
click(find(p.document(), "table cell"), 3)
wait("the table entries", lambda: find(p.app, "menu item", "Delete Table"))
shot("gui_table_editing")
p.popup("Delete Column")
saved("the first column deleted", f"<tbody><tr>{blank}<td>B1</td></tr><tr>{blank}<td>B2</td></tr><tr>{blank * 2}</tr>")

# Insert > Image: OK at once takes the first alignment, "None".
pics = os.path.join(WORK, "pics")
os.makedirs(pics)
subprocess.run(["convert", "-size", "40x30", "xc:blue", os.path.join(pics, "photo.png")], check=True)
p.menu("Insert", "Image")
chooser = p.dialog("Open")
key("ctrl+l")
type_text(os.path.join(pics, "photo.png"))
wait("the typed path", lambda: text_of(find(chooser, "text")).endswith("photo.png"))
key("Return")
image = p.dialog("Image")
p.button(image, "OK")
p.closed(image, "the image dialog to close at once")
saved("the image without an alignment", r'<img id="[0-9a-f-]{36}" width="40" height="30" src="Untitled-1_files/photo.png">')
p.quit()
done("toolbar, Ctrl+B, a pasted list's note, table editing and an image with the first alignment")

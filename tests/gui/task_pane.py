#!/usr/bin/python3
"""The task pane's title search and the item list's flags: pages with
distinct titles in two folders, a flag set through the flag cell and found
in the collection file, a search from the task pane, and a click on a
result that lives in the other folder."""
from e2e import *

p = start()
new_project("Alpha")
folder1 = os.path.join(PROJECTS, "Alpha", "Folder1")
folder2 = os.path.join(folder1, "Folder2")
new_folder("Folder1", os.path.dirname(folder1))


def page(title, folder):
    """A new page with some text, renamed through its row's menu."""
    new_page(f"{title} text", os.path.join(folder, "Untitled-1.htm"))
    click(p.row("Untitled-1"), 3)
    p.popup("Rename this Page")
    key("ctrl+a")
    type_text(title)
    key("Return")
    wait_file(os.path.join(folder, title + ".htm"))
    p.row(title)


page("Apple report", folder1)
page("Banana notes", folder1)
new_folder("Folder2", folder1)
page("Cherry report", folder2)

# The flag cell opens the flag menu.
table = p.item_list().queryTable()
row = table.getRowAtIndex(p.row("Cherry report").getIndexInParent())
flag_column = next(c for c in range(table.nColumns) if table.getColumnDescription(c) == "Flag"
                   or table.getColumnHeader(c).name == "Flag")
click(table.getAccessibleAt(row, flag_column))
p.popup("Red Star")
wait_file(os.path.join(folder2, ".zandrel", "krv_files.xml"), "the flag in the collection file", 'flag="1"')
shot("gui_task_pane_flag")

# Ctrl+E shows the pane with the focus in its search field.
key("ctrl+e")
hide = wait("the task pane", lambda: find(p.frame, "push button", "Hide the Task Pane"))
type_text("REPORT")
key("Return")
pane = hide.parent
wait("both reports found", lambda: find(pane, "table cell", "Cherry report"))
shot("gui_task_pane")
click(find(pane, "table cell", "Apple report"))
p.wait_title("Apple report \u2014 Folder1 \u2014 Alpha")
shot("gui_task_pane_open")

# The pane's own hide control takes it away as Ctrl+E does, and the
# settings remember it hidden.
click(hide)
wait("the task pane hidden", lambda: not find(p.frame, "push button", "Hide the Task Pane"))
p.quit()
"\nTASKPANE=0#" in read(INI) or fail(f"the pane is not remembered hidden: {read(INI)}")
done("flag saved, titles searched, a result opened in its folder, the pane hidden")

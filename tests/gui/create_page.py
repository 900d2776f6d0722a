#!/usr/bin/python3
"""A user's first minutes: a new project from the File menu, a folder, a
page with some text saved with Ctrl+S, renamed from its row's menu, Exit;
then the program started again with the project file on its command line,
the page opened from Recent Pages and deleted to the trash."""
from e2e import *

p = start()
new_project("Alpha")
folder = os.path.join(PROJECTS, "Alpha", "Folder1")
new_folder("Folder1", os.path.dirname(folder))
new_page("Hello page", os.path.join(folder, "Untitled-1.htm"))
shot("gui_create_page")

click(p.row("Untitled-1"), 3)
p.popup("Rename this Page")
key("ctrl+a")
type_text("Greeting")
key("Return")
page = os.path.join(folder, "Greeting.htm")
wait_file(page, "the page renamed")
p.row("Greeting")
p.quit()
"Hello page" in read(page) or fail(f"the page lost its text: {read(page)}")

# Again, with the project given on the command line.
p = start(os.path.join(PROJECTS, "Alpha.zand"))
p.wait_title("Alpha")
p.menu("File", "Recent Pages", "Greeting")
shot("gui_reopen")
click(p.row("Greeting"), 3)
p.popup("Delete")
p.dialog()
key("Return")  # the question's default is OK
wait("the page deleted", lambda: not os.path.exists(page))
p.quit()
trash = os.path.join(DATA, "Trash", "files")
any(f.startswith("Greeting") for f in os.listdir(trash)) or fail("the page is not in the trash")
done("project, folder and page made, saved, renamed, reopened and deleted")

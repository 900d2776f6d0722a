#!/usr/bin/python3
"""Another program rewrites the file of the page on show, as a sync tool
does (a temporary file renamed over it): the window shows the new text by
itself, and with no edits in the page there is nothing to ask."""
from e2e import *

p = start()
new_project("Synced")
notes = os.path.join(PROJECTS, "Synced", "Notes")
page = os.path.join(notes, "Untitled-1.htm")
new_folder("Notes", os.path.dirname(notes))
new_page("Written on this computer", page)

temporary = os.path.join(notes, ".syncthing.Untitled-1.htm.tmp")
with open(temporary, "w") as f:
    f.write("<html><body><p>Written on the other computer</p></body></html>")
os.replace(temporary, page)
p.page_shows("Written on the other computer")
p.no_dialog("a page without edits is shown again without a question")
shot("gui_outside_change")
p.quit()
done("the page on show follows its file rewritten by another program")

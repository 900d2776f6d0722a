#!/usr/bin/python3
"""Export as a user does it, from File > Export...: a folder to a new
folder outside the project, its index page linking the page file; the page
on show as a PDF that holds its text; a place inside the project refused."""
import subprocess

from e2e import *

p = start()
new_project("Gamma")
notes = os.path.join(PROJECTS, "Gamma", "Notes")
new_folder("Notes", os.path.dirname(notes))
new_page("Exported words", os.path.join(notes, "Untitled-1.htm"))


def export(what, kind, path):
    """File > Export..., the two choices, then `path` typed into the chooser."""
    p.menu("File", "Export...")
    d = p.dialog("Export")
    for label in (what, kind):
        click(wait(label, lambda: find(d, "radio button", label)))
    p.button(d, "Export...")
    chooser = p.dialog("Export To")
    key("ctrl+a")
    type_text(path)
    wait("the typed path", lambda: text_of(find(chooser, "text")) == path)
    # The first click may only close the name's completion list.
    last = [0.0]

    def accepted():
        if chooser not in p.windows():
            return True
        if time.monotonic() - last[0] > 3:
            p.button(chooser, "Export")
            last[0] = time.monotonic()
    wait("the chooser accepted the path", accepted)


out = os.path.join(HOME, "Exported")
export("This folder and the folders below it", "Web pages in a folder", out)
wait_file(os.path.join(out, "index.html"), "the index page", 'href="Untitled-1.htm"')
"Exported words" in read(os.path.join(out, "Untitled-1.htm")) or fail("the exported page lost its text")

pdf = os.path.join(HOME, "Page.pdf")
export("The page on show", "A PDF of the page on show", pdf)
wait("the PDF with the page's text", lambda: os.path.exists(pdf) and "Exported words" in subprocess.run(
    ["pdftotext", pdf, "-"], capture_output=True, text=True).stdout)

inside = os.path.join(notes, "inside")
export("The whole project", "Web pages in a .zip file", inside)
p.dialog()
key("Return")
wait("the message closed", lambda: not p.others())
not os.path.exists(inside) or fail("the export wrote inside the project")
p.quit()
done("a folder exported with its index, the page as a PDF, the project's inside refused")

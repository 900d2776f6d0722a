#!/usr/bin/python3
"""Links between pages: a link inserted with the page picker, followed by
Ctrl+click to its page (which lists the linking page under "Linked
from"), and still working after the target was renamed."""
from e2e import *

links = os.path.join(PROJECTS, "Links")
source = os.path.join(links, "Untitled-1.htm")

p = start()
new_project("Links")
new_page("Target text", source)
click(p.row("Untitled-1"), 3)
p.popup("Rename this Page")
key("ctrl+a")
type_text("Target")
key("Return")
wait_file(os.path.join(links, "Target.htm"))
new_page("See also", source)
# As in move_page.py: the rest runs in a fresh start of the program.
p.quit()

p = start(links + ".zand")
click(p.row("Untitled-1"))
p.wait_title("Untitled-1 \u2014 Links")
p.click_page()
key("ctrl+shift+k")
picker = p.dialog("Link to Page")
# A word of the target's text, not of its title: the full-text index finds it.
type_text("text")
wait("the picker found the target by its text", lambda: find(picker, "table cell", "Target"))
key("Return")
p.closed(picker, "the picker to close")
save(source, "the link saved", lambda s: 'href="Target.htm" data-zandrel-page="' in s)


def follow(title):
    """Ctrl+click on the page's link; waits for the page it names."""
    link = wait("the link in the page", lambda: find(p.document(), "link"))
    x, y = centre(link)
    xdo("mousemove", x, y, "keydown", "ctrl", "click", 1, "keyup", "ctrl")
    p.wait_title(f"{title} \u2014 Links")


follow("Target")
wait('"Linked from" listing the linking page', lambda: find(p.frame, "push button", "Untitled-1"))
shot("gui_page_links")

p.focus()
click(p.title_box())
key("ctrl+a")
type_text("Renamed")
key("Return")
wait_file(os.path.join(links, "Renamed.htm"))
wait("the link rewritten", lambda: 'href="Renamed.htm"' in (read(source) or ""))
click(p.row("Untitled-1"))
p.wait_title("Untitled-1 \u2014 Links")
follow("Renamed")
p.quit()
done("a link inserted by the picker, followed by Ctrl+click, rewritten when its page was renamed")

#!/usr/bin/python3
"""The task pane's search of page text: a word typed into one page only is
found while it is typed into the pane's field, the result shows its title
and a snippet, and opening it shows the page in its folder with the word
marked by the page view's find."""
from e2e import *

# The program reports how many matches its page view marked.
os.environ["ZANDREL_TIMINGS"] = "1"
p = start()
new_project("Search")
garden = os.path.join(PROJECTS, "Search", "Garden")
shed = os.path.join(garden, "Shed")
new_folder("Garden", os.path.dirname(garden))
new_page("Tomatoes ripen late in the summer sun", os.path.join(garden, "Untitled-1.htm"))
click(p.row("Untitled-1"), 3)
p.popup("Rename this Page")
key("ctrl+a")
type_text("Garden notes")
key("Return")
wait_file(os.path.join(garden, "Garden notes.htm"))
new_folder("Shed", garden)
new_page("Rakes and spades", os.path.join(shed, "Untitled-1.htm"))

key("ctrl+e")
hide = wait("the task pane", lambda: find(p.frame, "push button", "Hide the Task Pane"))
pane = hide.parent
click(find(pane, "push button", "Search Pages"))
click(find(pane, "text"))
type_text("tomato*")
title = wait("the page found by a word of its text", lambda: find(pane, "table cell", "Garden notes"))
wait("the snippet", lambda: find_all(pane, lambda n: role(n) == "table cell" and "ripen late" in (n.name or ""), 1))
shot("gui_search_pages")

click(title)
p.wait_title("Garden notes \u2014 Garden \u2014 Search")


wait("the word marked in the page", lambda: "timing: page-mark matches=1 " in p.stderr())
shot("gui_search_pages_open")
p.quit()
done("a word of a page's text found as typed, the page opened with the word marked")

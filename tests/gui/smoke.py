#!/usr/bin/python3
"""Starts the real program, moves two panes, looks at About, closes it
through File > Exit and checks that it ended cleanly and quietly and kept
the pane sizes."""
from e2e import *

p = start()
shot("gui_smoke")
# Ctrl+E shows the task pane; the tree's slider is dragged 60 pixels right.
key("ctrl+e")
wait("the task pane", lambda: find(p.frame, "push button", "Hide the Task Pane"))
tree = find(p.frame, "tree table").parent
width = lambda: tree.queryComponent().getExtents(pyatspi.DESKTOP_COORDS).width
before = width()
e = tree.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
x, y = e.x + e.width + 3, e.y + e.height // 2
Drag(x, y).glide(x + 60, y).release()
wait("the tree 60 pixels wider", lambda: width() == before + 60)
shot("gui_smoke_panes")
# About names the version, the web site and the licence; Escape closes it.
p.menu("Help", "About Korvel Zandrel")
about = p.dialog()
wait("the version", lambda: find(about, "label", "Version 2.0.0   Build 1283"))
find_all(about, lambda n: "zandrel.org" in (n.name or ""), 1) or fail("no web site")
find_all(about, lambda n: (n.name or "").startswith("Licen"), 1) or fail("no licence")
key("Escape")
p.closed(about, "About to close")
p.quit()
ini = read(INI) or fail("no settings file written at exit")
"\nEXTRA=260#200#" in ini or fail(f"the tree's width was not kept: {ini}")
"\nTASKPANE=1#230" in ini or fail(f"the task pane was not kept: {ini}")
done("window opened, panes moved and kept, clean exit")

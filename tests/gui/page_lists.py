#!/usr/bin/python3
"""Times, sorting and recent pages as a returning user finds them: saving a
changed page sets its modified time, showing one its visited time; a
heading sorts the list; the Recent Pages menu follows a rename and a
delete, and an entry whose page has gone says so and goes."""
import re

from e2e import *

echo = os.path.join(PROJECTS, "Echo")
notes = os.path.join(echo, "Notes")
colct = os.path.join(notes, ".zandrel", "krv_files.xml")
OLD = 1000000000  # September 2001


def stat(title, field):
    """A time of the page so titled in the collection file."""
    item = re.search(r"<item><title>" + re.escape(title) + r"</title>.*?</item>", read(colct) or "", re.S)
    found = item and re.search(field + r'="(\d+)"', item.group(0))
    return int(found.group(1)) if found else None


def recent_pages():
    """The titles the File > Recent Pages menu lists; the menus close again."""
    p.focus()
    click(find(find(p.frame, "menu bar", shown=False), "menu", "File"))
    submenu = wait("Recent Pages", lambda: find(p.frame, "menu", "Recent Pages"))
    click(submenu)
    names = wait("the entries", lambda: [n.name for n in find_all(
        submenu, lambda n: role(n) == "menu item" and showing(n))])
    key("Escape", "Escape")
    wait("the menus closed", lambda: not find(p.app, "menu item", names[0]))
    return names


p = start()
new_project("Echo")
new_folder("Notes", echo)
new_page("First text", os.path.join(notes, "Untitled-1.htm"))
new_page("Second text", os.path.join(notes, "Untitled-2.htm"))
p.quit()
# Days pass: the pages' times are old.
with open(colct) as f:
    text = f.read()
with open(colct, "w") as f:
    f.write(re.sub(r'(added|modified|lastVisited)="\d+"', lambda m: f'{m.group(1)}="{OLD}"', text))

p = start(echo + ".zand")
click(p.folder("Notes"))
click(p.row("Untitled-2"))
click(p.row("Untitled-1"))
wait("Untitled-1 shown", lambda: text_of(p.title_box()) == "Untitled-1")
p.click_page()
type_text(" edited")
save(os.path.join(notes, "Untitled-1.htm"), "the edit saved", lambda t: "edited" in t)
wait("the modified time of the saved page", lambda: stat("Untitled-1", "modified") > OLD)
stat("Untitled-1", "added") == OLD or fail("saving changed the added time")
stat("Untitled-2", "modified") == OLD or fail("showing a page changed its modified time")
not re.search(r"<item><title>Untitled-1</title>.*?<pubDate>[^<]*2001", read(colct), re.S) or \
    fail("the pubDate did not follow the modified time")
row = p.row("Untitled-1")
table = p.item_list().queryTable()
modified = table.getAccessibleAt(table.getRowAtIndex(row.getIndexInParent()), table.nColumns - 1)
"2001" not in modified.name or fail(f"the Modified column still shows {modified.name}")


def titles():
    table = p.item_list().queryTable()
    return [table.getAccessibleAt(r, 0).name for r in range(table.nRows)]


# A heading sorts the list, a second click the other way round.
heading = p.item_list().queryTable().getColumnHeader(0)
click(heading)
wait("the list sorted by title", lambda: titles() == ["Untitled-1", "Untitled-2"])
click(heading)
wait("the list sorted the other way", lambda: titles() == ["Untitled-2", "Untitled-1"])

# A rename: the menu lists the new title once and the old one no more.
click(p.row("Untitled-1"), 3)
p.popup("Rename this Page")
key("ctrl+a")
type_text("Renamed")
key("Return")
wait_file(os.path.join(notes, "Renamed.htm"))
wait("the renamed page in its sorted place", lambda: titles() == ["Untitled-2", "Renamed"])
names = recent_pages()
names.count("Renamed") == 1 and "Untitled-1" not in names or fail(f"recent pages after the rename: {names}")
# A delete: its entry goes.
click(p.row("Untitled-2"), 3)
p.popup("Delete")
p.button(p.dialog("Confirm Item Deletion"), "OK")
wait("the page deleted", lambda: stat("Untitled-2", "added") is None)
names = recent_pages()
"Untitled-2" not in names or fail(f"recent pages after the delete: {names}")
p.quit()
stat("Renamed", "lastVisited") > OLD or fail("showing the page did not set its visited time")

# The page leaves the collection behind the program's back: choosing its
# entry says so and drops it.
with open(colct) as f:
    text = f.read()
with open(colct, "w") as f:
    f.write(re.sub(r"<item><title>Renamed</title>.*?</item>\n?", "", text, flags=re.S))
p = start(echo + ".zand")
p.focus()
click(find(find(p.frame, "menu bar", shown=False), "menu", "File"))
click(wait("Recent Pages", lambda: find(p.frame, "menu", "Recent Pages")))
click(wait("the entry", lambda: find(p.app, "menu item", "Renamed")))
p.dialog()
shot("gui_page_lists_gone")
key("Return")
wait("the message to close", lambda: not p.others())
"Renamed" not in recent_pages() or fail("the gone page is still listed")
p.quit()
done("times set by save and show, recent pages follow rename and delete, a gone entry dropped")

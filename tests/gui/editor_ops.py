#!/usr/bin/python3
"""The page editor's own operations: a paste from a browser notes its
source, preformatted text and Enter inside it, an image through its
dialog, a table, a link dropped from another program, a page whose scripts
must not run and which tries to load another address, and the conversion
of a UTF-16 page to UTF-8."""
import re

from e2e import *


def saved(what, check):
    save(page, what, check)


p = start()
new_project("Gamma")
web = os.path.join(PROJECTS, "Gamma", "Web")
new_folder("Web", os.path.dirname(web))
page = os.path.join(web, "Untitled-1.htm")

# A paste from a web page: the HTML, then the note of its address.
new_page("Start.", page)
clipboard("html", "<p>Quoted <b>bold</b> text</p>", "https://example.com/article?id=7")
key("ctrl+v")
p.page_shows("Quoted bold text")
note = ('Pasted from &lt;<a href="https://example.com/article?id=7">https://example.com/article?id=7</a>&gt;</p>')
saved("the pasted HTML and its source note", lambda t: t and "Quoted <b>bold</b> text" in t and note in t)
# The page's own menu pastes the same way.
click(p.document(), 3)
p.popup("Paste")
saved("a second source note from the menu's paste", lambda t: t.count(note) == 2)

# Insert > Image with a photo.png already in the page's assets folder: the
# copy is photo[1].png, and its folder is remembered for the next image.
pics, assets = os.path.join(WORK, "pics"), os.path.join(web, "Untitled-1_files")
os.makedirs(pics)
os.makedirs(assets)
subprocess.run(["convert", "-size", "40x30", "xc:red", os.path.join(pics, "photo.png")], check=True)
shutil.copy(os.path.join(pics, "photo.png"), assets)
key("ctrl+End", "Return")
p.menu("Insert", "Image")
chooser = p.dialog("Open")
key("ctrl+l")
type_text(os.path.join(pics, "photo.png"))
wait("the typed path", lambda: find(chooser, "text") and text_of(find(chooser, "text")).endswith("photo.png"))
key("Return")
image = p.dialog("Image")
# The alignment list has the focus on "None": Down picks "Left".
key("Down")
wait("Left chosen", lambda: find(image, "combo box", "Left"))
shot("gui_image_dialog")
p.button(image, "OK")
p.closed(image, "the image dialog to close")
# The red image shows in the page, which was made before it had a file.
wait("the image in the page", lambda: find(p.document(), "image"))
red = os.path.join(WORK, "shown.png")
wait("the red image on screen", lambda: subprocess.run(["import", "-window", "root", red]).returncode == 0 and
     "#FF0000" in subprocess.run(["convert", red, "-format", "%c", "histogram:info:-"],
                                 capture_output=True, text=True).stdout.upper())
shot("gui_image_inserted")
p.click_page()  # the page view has the keyboard again
img = re.compile(r'<img id="[0-9a-f-]{36}" align="left" width="40" height="30" '
                 r'src="Untitled-1_files/photo\[1\].png">')
saved("the image tag", lambda t: img.search(t))
os.path.exists(os.path.join(assets, "photo[1].png")) or fail(f"the image was not copied: {os.listdir(assets)}")
f"LASTIMGFOLDER={pics}" in read(INI) or fail("the image folder was not kept")

# Insert > Table, then View > Show Table Border: the borders are the
# view's, never the page's.
p.menu("Insert", "Table")
wait("the table in the page", lambda: find(p.document(), "table"))
p.menu("View", "Show Table Border")
shot("gui_table_border")
cells = "<tr><td>&nbsp;</td><td>&nbsp;</td></tr>"
saved("a 2 by 2 table", lambda t: f'<table border="1" cellspacing="0" cellpadding="4"><tbody>{cells}{cells}'
      "</tbody></table>" in t)
"dashed" not in read(page) or fail("the view's table borders were saved")

# A link dragged from another program onto the page: a link at the drop.
ready = os.path.join(WORK, "dragready")
source = background("/usr/bin/python3", os.path.join(FIXTURES, "drag_source.py"), ready,
                    "https://example.com/dropped", "Dropped title")
wait("the drag source", lambda: os.path.exists(ready))
e = p.document().queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
to = (e.x + e.width * 2 // 3, e.y + e.height * 3 // 4)
Drag(60, 40).glide(*to).glide(to[0] + 2, to[1] + 2).release()
p.page_shows("Dropped title")
source.kill()
saved("the dropped link", lambda t: '<a href="https://example.com/dropped">Dropped title</a>' in t)

# A second page, saved, then left for a third: it is the newest recent
# page. Its file is later replaced by one with scripts and a refresh.
second = os.path.join(web, "Untitled-2.htm")
new_page("Plain.", second)
page = second
# On the second page, preformatted text (Ctrl+Y) on a line of its own, then
# Enter at the end of its line and a second line typed.
clipboard("text", "a<b>&c")
key("ctrl+End", "Return")
type_text("Code:")
saved("the typed line", lambda t: "Code:" in t)
key("ctrl+y")
# Left, then End: the caret at the end of the block's line.
block = p.page_shows("a<b>&c")[0].queryText()
key("Left")
wait("the caret inside the block", lambda: block.caretOffset == 5)
key("End")
wait("the caret at the end of the block's line", lambda: block.caretOffset == 6)
key("Return")
type_text("second line")
p.page_shows("second line")
pre = re.compile(r'<div class="krv_pre_wrap"><pre class="krv_pre" style="padding:7pt; margin:5pt;\n'
                 r'font:10pt,&quot;Courier New&quot;,Courier,mono;overflow:auto;white-space:pre;\n'
                 r'BACKGROUND-COLOR:#EEEEEE; color=#000000;">(.*?)</pre></div>', re.S)
# One block; Enter put a line break inside it, not a second block or a <br>.
saved("one preformatted block of two lines", lambda t: pre.findall(t) == ["a&lt;b&gt;&amp;c\nsecond line"])
shot("gui_preformatted")

p.focus()
key("ctrl+n")
p.row("Untitled-3")
with open(second, "w") as f:
    f.write('<html><head><meta http-equiv="refresh" content="1;url=https://example.com/elsewhere">\n'
            "<script>document.write('SCRIPT' + 'RAN');</script></head>\n"
            "<body onload=\"document.body.appendChild(document.createTextNode('ONLOAD' + 'RAN'))\">"
            "<p>Kept text.</p></body></html>\n")
# File > Recent Pages > the first entry. The refresh is refused: the page
# file is backed up and the user asked; No (the default) stays.
p.menu("File", "Recent Pages", None)
mismatch = p.dialog()
shot("gui_address_mismatch")
os.path.exists(second + ".bak") or fail(f"no backup before the mismatch question: {os.listdir(web)}")
key("Return")
p.closed(mismatch, "the mismatch question to close")
p.page_shows("Kept text.")
p.click_page()
type_text("Typed.")
saved("the typed text", lambda t: "Typed." in t)
text = read(second)
"Kept text." in text or fail(f"the page lost its text: {text}")
not re.search("SCRIPTRAN|ONLOADRAN", text) or fail(f"a script of the page ran: {text}")
# Not run, yet kept: the save writes the page's scripts back.
"<script>document.write('SCRIPT' + 'RAN');</script>" in text or fail(f"the save lost the page's script: {text}")
"onload=" in text or fail(f"the save lost the page's onload: {text}")
p.quit()

# A UTF-16 page that says charset=unicode, converted by Help > Trouble
# Shooting > Change All Pages to UTF8 Format.
html = ('<html><head><meta http-equiv="Content-Type" content="text/html; charset=unicode"></head>'
        '<body><p>Unicode page \u00fc</p></body></html>')
with open(second, "wb") as f:
    f.write(b"\xff\xfe" + html.encode("utf-16-le"))
p = start(os.path.join(PROJECTS, "Gamma.zand"))
p.menu("Help", "Trouble Shooting", "Change All Pages to UTF8 Format")


def converted():
    data = read(second, "rb")
    return (not data.startswith(b"\xff\xfe") and b'content="text/html;   charset=utf-8"' in data
            and "Unicode page \u00fc".encode() in data and not any("~" in f for f in os.listdir(web)))


wait("the page converted to UTF-8 and no backup left", converted)
shot("gui_converted")
p.quit()
done("paste, preformatted text, image, table, dropped link, a page's scripts and a conversion")

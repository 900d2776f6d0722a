#!/usr/bin/python3
"""Capture as a user does it, from File > New Page from Web Address...: a
page of the local test server with a picture, a stylesheet whose url()
names another picture and a srcset becomes a page of the folder, and
again when its address is dropped on the folder, with nothing else left
there; with the server gone, the saved page shows in
WebKit with every load from a local file and none failed."""
import subprocess

import e2e
from e2e import *

site = os.path.join(WORK, "site")
os.makedirs(os.path.join(site, "img"))
for name, colour in (("red.png", "red"), ("blue.png", "blue"), ("wide.png", "green")):
    subprocess.run(["convert", "-size", "8x8", "xc:" + colour, os.path.join(site, "img", name)], check=True)
with open(os.path.join(site, "look.css"), "w") as f:
    f.write("body { background: url(img/blue.png); }\n")
with open(os.path.join(site, "index.html"), "w") as f:
    f.write('<!DOCTYPE html><html><head><title>Captured words</title>'
            '<link rel="stylesheet" href="look.css"></head><body>'
            '<p>Text of the web page</p><img src="img/red.png" alt="red">'
            '<img src="img/red.png" srcset="img/wide.png 2x" alt="wide"></body></html>')

server = subprocess.Popen(["/usr/bin/python3", "-u", os.path.join(FIXTURES, "http_server.py"), site],
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
e2e._helpers.append(server)
url = f"http://127.0.0.1:{int(server.stdout.readline())}/site/index.html"

p = start()
new_project("Web")
folder = os.path.join(PROJECTS, "Web", "Saved")
new_folder("Saved", os.path.dirname(folder))

p.menu("File", "New Page from Web Address...")
d = p.dialog("New Page from Web Address")
type_text(url)
wait("the typed address", lambda: text_of(find(d, "text")) == url)
p.button(d, "Capture")
wait("the captured page listed", lambda: p.row("Captured words"))
page = os.path.join(folder, "Captured words.htm")
assets = os.path.join(folder, "Captured words_files")
wait_file(page, contains="Text of the web page")
for name in ("red.png", "blue.png", "wide.png", "look.css"):
    wait_file(os.path.join(assets, name))

# The same address dragged from a browser onto the folder's row.
ready = os.path.join(WORK, "ready")
background("/usr/bin/python3", os.path.join(FIXTURES, "drag_source.py"), ready, url, "link")
wait("the drag source", lambda: os.path.exists(ready))
to = centre(p.folder("Saved"))
Drag(60, 40).glide(*to).glide(to[0] + 2, to[1] + 2).release()
wait("the dropped address captured", lambda: p.row("Captured words (2)"))
wait_file(os.path.join(folder, "Captured words (2)_files", "red.png"))
left = set(os.listdir(folder)) - {"Captured words.htm", "Captured words_files", "Captured words (2).htm",
                                  "Captured words (2)_files", ".zandrel"}
if left:
    fail(f"more than the page in the folder: {sorted(left)}")

server.kill()
server.wait()
check = subprocess.run(["/usr/bin/python3", os.path.join(FIXTURES, "offline_check.py"), page],
                       capture_output=True, text=True, timeout=TIMEOUT)
if check.returncode != 0:
    fail("the captured page does not show offline:\n" + check.stdout + check.stderr)

p.quit()
done(f"captured; offline {check.stdout.strip()}")

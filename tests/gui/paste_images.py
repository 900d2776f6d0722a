#!/usr/bin/python3
"""Web images of pasted HTML are downloaded into the assets folder and the
page shows the copies; a clipboard picture pasted into a new page is a file."""
import e2e
from e2e import *

site = os.path.join(WORK, "site")
os.makedirs(site)
subprocess.run(["convert", "-size", "20x10", "xc:blue", os.path.join(site, "x.png")], check=True)
os.environ.update(NO_PROXY="127.0.0.1", no_proxy="127.0.0.1")
server = subprocess.Popen(["/usr/bin/python3", "-u", os.path.join(FIXTURES, "http_server.py"), site],
                          stdout=subprocess.PIPE, text=True)
e2e._helpers.append(server)  # ended with the run
url = f"http://127.0.0.1:{server.stdout.readline().strip()}/site/x.png"

p = start()
new_project("Delta")
web = os.path.join(PROJECTS, "Delta", "Web")
new_folder("Web", os.path.dirname(web))
page = os.path.join(web, "Untitled-1.htm")
new_page("Start.", page)
clipboard("html", f'<p>A picture <img src="{url}"> here.</p>', "https://example.com/article")
key("ctrl+v")
wait_file(os.path.join(web, "Untitled-1_files", "x.png"), "the web image in the assets folder")
save(page, "the page pointing at the copy",
     lambda t: 'src="Untitled-1_files/x.png"' in t and url not in t and "A picture" in t)
shown = os.path.join(WORK, "shown.png")
wait("the blue picture on screen", lambda: subprocess.run(["import", "-window", "root", shown]).returncode == 0 and
     "#0000FF" in subprocess.run(["convert", shown, "-format", "%c", "histogram:info:-"],
                                 capture_output=True, text=True).stdout.upper())
shot("gui_paste_images")

# A screenshot into a new page, saved first to have an assets folder.
p.focus()
key("ctrl+n")
p.row("Untitled-2")
p.click_page()
clipboard("image", os.path.join(site, "x.png"))
key("ctrl+v")
second = os.path.join(web, "Untitled-2.htm")
wait_file(os.path.join(web, "Untitled-2_files", "image.png"), "the clipboard's picture as a file")
save(second, "the new page with the picture", lambda t: '<img src="Untitled-2_files/image.png">' in t)
read(os.path.join(web, "Untitled-2_files", "image.png"), "rb") == read(os.path.join(site, "x.png"), "rb") or \
    fail("the picture was not written as it was offered")
p.quit()
done("web images of pasted HTML downloaded, a clipboard picture pasted as a file")

#!/usr/bin/python3
"""Measures the real program on one generated project (scripts/measure.sh
runs it for each size): started with the project and ZANDREL_TIMINGS=1
under a display of its own, it shows the 5,000-page folder, searches the
titles for "report" twice and shows the tag cloud twice; every step is waited
for by its timing line on standard error, never for a fixed time. Prints
one line of figures, tab-separated, for measure.sh's table.

Usage: measure.py <Zandrel binary> <folder for screenshots> <project.zand> <pages>
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "gui"))
PROJECT, PAGES = sys.argv[3], sys.argv[4]
os.environ["ZANDREL_TIMINGS"] = "1"
from e2e import *  # noqa: E402,F401,F403  (under a display from here on)

BIG_FOLDER = "Big folder"   # bench/ProjectGenerator.h
seen = 0                    # timing lines already taken


def timings():
    """The timing lines so far: (step, {name: value}) with wall and cpu in ms."""
    out = []
    for line in p.stderr().splitlines():
        if not line.startswith("timing: ") or not line.endswith("ms"):
            continue
        words = line[len("timing: "):].split()
        step = " ".join(w for w in words if "=" not in w)
        values = dict(w.split("=", 1) for w in words if "=" in w)
        out.append((step, {k: float(v.rstrip("ms")) for k, v in values.items()}))
    return out


def line(step):
    """Waits for the next timing line of `step` after those taken."""
    global seen

    def look():
        lines = timings()
        return next(((i, v) for i, (s, v) in enumerate(lines) if i >= seen and s == step), None)
    index, values = wait(f'the line "timing: {step}"', look)
    seen = index + 1
    return values


def find_outside_tables(node, role_name, name):
    """As e2e's find, but never looking into a table: asking for the cells
    of thousands of rows would make the program build them all."""
    stack = [node]
    while stack:
        n = stack.pop()
        if role(n) == role_name and n.name == name and showing(n):
            return n
        if role(n) not in ("table", "tree table"):
            stack.extend(reversed([n.getChildAtIndex(i) for i in range(n.childCount)]))
    return None


def ms(values):
    return f"{values['wall']:.1f}/{values['cpu']:.1f}"


p = start(PROJECT)
window = line("window after-launch")
idle = line("idle after-launch")

p.focus()
click(p.folder(BIG_FOLDER))
show = line("show-collection")
show_idle = line("show-collection idle")
if show.get("rows") != 5000:
    fail(f"the folder showed {show.get('rows')} rows, not 5000")

p.focus()
key("ctrl+e")
wait("the task pane", lambda: find_outside_tables(p.frame, "push button", "Hide the Task Pane"))
type_text("report")
key("Return")
search = line("title-search")
fill = line("search-fill")
search_idle = line("title-search idle")
# Again, with every collection loaded by the first.
key("Return")
search_again = line("title-search")
fill_again = line("search-fill")
line("title-search idle")

# The first time makes the tags window; its page waits until the window is ready.
p.focus()
key("ctrl+r")
cloud = line("tag-cloud")
load = line("tags-page-load")
p.focus()
key("ctrl+r")
cloud_again = line("tag-cloud")

# The program's own lines, for a closer look.
sys.stderr.write("".join(l + "\n" for l in p.stderr().splitlines() if l.startswith("timing: ")))
rss = next(int(l.split()[1]) for l in read(f"/proc/{p.proc.pid}/status").splitlines() if l.startswith("VmRSS:"))
p.quit()
print("\t".join([
    PAGES,
    f"{window['wall']:.0f}",
    f"{idle['wall']:.0f}/{idle['cpu']:.0f}",
    f"{ms(show)}, idle {show_idle['wall']:.0f}/{show_idle['cpu']:.0f}",
    f"{search['hits']:.0f}",
    f"{ms(search)} + {ms(fill)}, idle {search_idle['wall']:.0f}/{search_idle['cpu']:.0f}",
    f"{search['steps']:.0f}, {search['longest-step-us'] / 1000:.1f}",
    f"{ms(search_again)} + {ms(fill_again)}",
    f"{cloud['wall'] + load['wall']:.1f}/{cloud['cpu'] + load['cpu']:.1f}, again {ms(cloud_again)}",
    f"{rss / 1024:.0f}",
]), flush=True)
done("measured")

"""Keys, the right-button menu and the timer on the shipped sample, checked
on screenshots of the real window."""
import os
import shutil
import subprocess
import time
import tempfile

from harness import (DATA, Viewer, bounding_box, check, differing, finish, geometry, is_black, is_blue,
                     is_grey_line, is_marker, is_red, wait_until)


def is_path(r, g, b):
    """Either path at any shade: (1-v, 1-v, 1) or (1, 1-v, 1-v)."""
    return (b == 255 and r == g) or (r == 255 and g == b)

PLOT = (0, 40, 300, 300)  # below the help lines


def plot_count(image, predicate):
    return image.count(predicate, PLOT) - image.count(predicate, (180, 225, 300, 300))


# In a folder of its own: s writes its files into the working directory.
work = tempfile.mkdtemp(prefix="quelvist-keys-")
v = Viewer([os.path.join(DATA, "test.txt")], cwd=work)
window = v.start_windowed()
check(window is not None, "the viewer starts on test.txt")
if window is None:
    v.stop()
    finish()
# The swap interval is set where the X server's GLX offers swap control
# (Xvfb offers none: the clock alone paces the frames there).
glx = subprocess.run(["glxinfo"], capture_output=True, text=True).stdout
usable = glx.split("GLX extensions:")[-1].split("OpenGL")[0] if "GLX extensions:" in glx else ""
offered = any(f"GLX_{kind}_swap_control" in usable.replace(",", " ").split()
              for kind in ("EXT", "MESA", "SGI"))
check(f"swap interval {int(offered)}" in v.trace.read(),
      f"the swap interval is set where the server offers swap control (offered: {offered})")

# The sample recording reaches past the start view, which a line at the
# bottom says until the first key; A (a key of no effect) ends it, so that
# the start view can be compared with the views after keys.
v.key("A")
start = v.shot("00-start")
check(plot_count(start, is_blue) > 300 and plot_count(start, is_red) > 300, "both paths drawn")
check(plot_count(start, is_marker) > 10, "edge markers drawn")
check(plot_count(start, is_grey_line) < 20, "no difference lines at start")
check(start.count(is_black, PLOT) > 300, "the axis cross and its labels are drawn")
drum = start.count(lambda r, g, b: (r, g, b) != (178, 178, 178), (190, 235, 290, 285))
check(drum > 1500, f"the drum is drawn at the lower right ({drum} pixels)")


def toggled(key, name, predicate, what):
    before = v.shot(name + "-before")
    v.key(key)
    after = v.shot(name + "-after")
    v.key(key)
    back = v.shot(name + "-back")
    return plot_count(before, predicate), plot_count(after, predicate), plot_count(back, predicate)


b, a, back = toggled("F1", "01-F1", is_blue, "blue")
check(b > 300 and a < 5 and back > 300, f"F1 hides and shows the blue path ({b}, {a}, {back})")
b, a, back = toggled("F2", "02-F2", is_red, "red")
check(b > 300 and a < 5 and back > 300, f"F2 hides and shows the red path ({b}, {a}, {back})")
b, a, back = toggled("F3", "03-F3", is_grey_line, "grey")
check(a > b + 300 and back < b + 20, f"F3 shows and hides the grey lines ({b}, {a}, {back})")
b, a, back = toggled("F4", "04-F4", is_marker, "markers")
check(b > 10 and a == 0 and back > 10, f"F4 hides and shows the markers ({b}, {a}, {back})")
b, a, back = toggled("F5", "05-F5", is_black, "cross")
check(a < b - 100 and back > a + 100, f"F5 hides and shows the cross ({b}, {a}, {back})")

# F6 to F8 turn the picture over time; r brings back the start view.
for key in ("F6", "F7", "F8"):
    v.key(key)
    first = v.shot(f"06-{key}-a")
    second = v.shot_when(f"06-{key}-b", lambda image: differing(first, image, PLOT) > 500)
    check(differing(first, second, PLOT) > 500, f"{key} turns the picture")
    v.key(key, "r")
    reset = v.shot(f"06-{key}-reset")
    check(differing(start, reset) == 0, f"r brings back the start view after {key}")

# F9/F10 zoom: the inner ring of markers grows and shrinks about the centre.
ring = bounding_box(start, is_marker)
v.key(*["F10"] * 10)
zoomed_in = bounding_box(v.shot("07-F10"), is_marker)
v.key(*["F9"] * 20)
zoomed_out = bounding_box(v.shot("07-F9"), is_marker)
width = lambda box: box[2] - box[0] if box else 0
check(width(zoomed_in) > width(ring) > width(zoomed_out) > 0,
      f"F10 zooms in, F9 out ({width(ring)}, {width(zoomed_in)}, {width(zoomed_out)})")
v.key("r")

# F11 stretches torsion (which points away from the viewer at the start, so
# the paths spread in depth); F12 as often brings the same picture back, and
# further F12 presses flatten and then mirror it.
v.key(*["F11"] * 6)
stretched = v.shot("08-F11")
check(differing(start, stretched, PLOT) > 300, "F11 stretches the torsion axis")
v.key(*["F12"] * 6)
check(differing(start, v.shot("08-F12-back"), PLOT) == 0, "F12 undoes F11")
v.key("F12", "F12")
flat = v.shot("08-F12-flat")
check(differing(start, flat, PLOT) > 100, "F12 twice flattens the paths")
v.key("r")

# 'A' and 'R' change nothing.
v.key("A", "R")
check(differing(start, v.shot("09-A")) == 0, "'A' and 'R' change nothing")

# a grows the paths from nothing: the frames report the samples drawn.
mark = v.trace.mark()
v.key("a")
first_frame = v.trace.find("frame", v.trace.find("key a", mark))
early = v.shot("10-a-early")
grown = v.trace.wait_frame(lambda samples: samples > 500, first_frame)
later = v.shot("10-a-later")
e, l, full = plot_count(early, is_path), plot_count(later, is_path), plot_count(start, is_path)
check(v.trace.frame_samples(first_frame) <= 50,
      f"a starts the paths from the beginning ({v.trace.lines[first_frame]!r})")
check(e < full / 10, f"and draws little of them at first ({e} of {full})")
check(grown is not None and l > e, f"the paths grow ({e} then {l})")
v.key("a")
check(differing(start, v.shot("10-a-off")) == 0, "a again shows the whole paths")

# The menu, opened and picked with clicks.
wx, wy = geometry(window)["X"], geometry(window)["Y"]
open_submenu, close_menu = v.open_submenu, v.close_menu

words = v.read_submenu(0, "11-menu-start", f"420x160+{wx + 30}+{wy + 60}", "Hide cross (F5)")
for label in ("Show/Hide", "Auto Rotate", "Zoom", "Torsion", "Hide left eye (F1)",
              "Hide right eye (F2)", "Show differece (F3)", "Hide edges (F4)", "Hide cross (F5)"):
    check(label in words, f"the menu offers {label!r}")
v.pick()  # "Hide left eye (F1)"
picked = v.shot("11-menu-picked")
check(plot_count(picked, is_blue) < 5, "picking Hide left eye (F1) hides the blue path")
words = v.read_submenu(0, "11-menu-again", f"330x160+{wx + 138}+{wy + 60}", "Show left eye (F1)")
check("Show left eye (F1)" in words, f"the entry now reads Show left eye (F1) ({words!r})")
close_menu()
v.key("F1")

words = v.read_submenu(3, "12-menu-torsion", f"190x60+{wx + 255}+{wy + 135}", "Lower torsion (F12)")
check("Rise torison (F11)" in words and "Lower torsion (F12)" in words,
      f"the Torsion submenu offers F11 and F12 ({words!r})")
v.pick()
check(differing(start, v.shot("12-menu-rise")) > 100, "Rise torison (F11) stretches torsion")
v.key("r")

# A function key pressed while the menu is open must not end the program.
open_submenu(1)
v.key("F6")
close_menu()
check(v.proc.poll() is None, "a key pressed with the menu open leaves the viewer running")
words = v.read_submenu(1, "13-menu-rotate", f"330x160+{wx + 138}+{wy + 60}", "Stop rotate about X (F6)")
check("Stop rotate about X (F6)" in words, f"the labels caught up after the menu closed ({words!r})")
close_menu()

# s writes one file per press, however quick the presses, and one while
# held (the system repeats the key: the trace reports every repeat).
def snapshots():
    return sorted(f for f in os.listdir(work) if f.startswith("quelvist-"))


repeats = v.hold("s", until=5)
v.trace.wait("frame", v.trace.mark(), 10)  # time for any file asked for
check(repeats >= 5 and snapshots() == ["quelvist-001.png"],
      f"s held ({repeats} presses reported) writes one file ({snapshots()})")
v.key("s", "s", "s", "s", "s")
wait_until(lambda: len(snapshots()) >= 6, 30.0)
v.trace.wait("frame", v.trace.mark(), 10)
check(snapshots() == [f"quelvist-00{n}.png" for n in range(1, 7)],
      f"five presses of s write five files ({snapshots()})")
check(v.hold("F9", until=5) >= 5, "F9 repeats when held")

v.key("Escape")
status = v.wait_exit()
check(status == 1, f"ESC ends the process with status 1 ({status})")
err = v.proc.stderr.read()
check(err == "", f"nothing on stderr ({err!r})")
v.stop()

# With the drum hidden nothing moves on its own: once the picture has
# settled (half a second after the last change) no frame is drawn until a
# key changes something, and that key's frame follows.
v = Viewer(["--hide", "drum", os.path.join(DATA, "test.txt")], cwd=work)
if v.start_windowed():
    v.key("A")
    settled = v.trace.mark()
    time.sleep(1.5)  # the settling time and more; frames would show in the trace
    idle = sum(line.startswith("frame") for line in v.trace.read()[settled:])
    v.key("F1")
    shown = v.shot("idle-F1")
    check(idle <= 31 and plot_count(shown, is_blue) < 5,
          f"a still picture without the drum draws no frames ({idle} in 1.5 s), "
          "and F1 still hides the left path at once")
    v.key("Escape")
    v.wait_exit()
v.stop()
shutil.rmtree(work, ignore_errors=True)
finish()

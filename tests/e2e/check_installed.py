"""The installed program, started from an unrelated directory on the
installed sample: its snapshot and its window show the paths and the drum
with the image from images.dat. Run by tools/package_check.sh after the
.deb is installed:  check_installed.py /usr/bin/quelvist /usr/share/quelvist"""
import os
import subprocess
import tempfile

from harness import BINARY, child_env, DATA, Viewer, check, finish, is_blue, is_red, read_png

work = tempfile.mkdtemp(prefix="quelvist-installed-")
sample = os.path.join(DATA, "test.txt")
DRUM = (190, 235, 290, 285)


def drum_shows_image(image):
    # Strip 3 faces the viewer at the start: dark ground with green letters.
    dark = image.count(lambda r, g, b: r < 45 and g < 45 and b < 45, DRUM)
    green = image.count(lambda r, g, b: g > 200 and r < 170 and b < 190, DRUM)
    return dark > 300 and green > 30


out = os.path.join(work, "installed.png")
r = subprocess.run([BINARY, "--snapshot", out, sample], cwd=work, capture_output=True, text=True,
                   timeout=60, env=child_env())
check(r.returncode == 0, f"the installed program writes a snapshot ({r.stderr!r})")
if r.returncode == 0:
    image = read_png(out)
    check(image.count(is_blue) > 300 and image.count(is_red) > 300, "the sample's paths are drawn")
    check(drum_shows_image(image), "the drum shows the installed images.dat")

v = Viewer([sample], cwd=work)
window = v.start_windowed()
check(window is not None, "the installed program opens its window")
if window:
    shot = v.shot("installed-window")
    check(shot.count(is_blue) > 300 and shot.count(is_red) > 300, "the window shows the paths")
    v.key("Escape")
    check(v.wait_exit() == 1, "ESC ends it with status 1")
v.stop()
finish()

"""Drives the real viewer under the X server named by DISPLAY: starts it,
answers its dialogs, presses keys, picks menu entries, takes screenshots and
reads their pixels (and, for texts, their words with OCR)."""
import os
import re
import subprocess
import sys
import tempfile
import time

BINARY = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else "quelvist"
DATA = os.path.abspath(sys.argv[2]) if len(sys.argv) > 2 else "data"
OUT = os.environ.get("QUELVIST_SCREENSHOTS", os.path.join(tempfile.gettempdir(), "quelvist-e2e"))
os.makedirs(OUT, exist_ok=True)

failures = []


def child_env(**extra):
    """The environment for the program under test. In the sanitizer run,
    QUELVIST_CHILD_PRELOAD names the ASan runtime and Mesa's driver to preload
    into it (only into it), so that leak reports from inside the driver name
    their library even after it has been unloaded."""
    env = dict(os.environ, NO_AT_BRIDGE="1")
    preload = env.pop("QUELVIST_CHILD_PRELOAD", "")
    if preload:
        env["LD_PRELOAD"] = preload
    env.update(extra)
    return env


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message, flush=True)
    else:
        print("ok:", message, flush=True)


def finish():
    if failures:
        print(f"{len(failures)} checks failed")
        sys.exit(1)
    print("all checks passed")


def xdo(*args, check_rc=False):
    result = subprocess.run(["xdotool", *args], capture_output=True, text=True)
    if check_rc and result.returncode != 0:
        raise RuntimeError(f"xdotool {args}: {result.stderr}")
    return result.stdout.strip()


def visible_windows():
    ids = xdo("search", "--onlyvisible", "--name", "")
    return [int(w) for w in ids.split()] if ids else []


def viewer_windows():
    ids = xdo("search", "--onlyvisible", "--name", "^Quelvist$")
    return [int(w) for w in ids.split()] if ids else []


def geometry(window):
    out = xdo("getwindowgeometry", "--shell", str(window))
    values = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
    return {k: int(v) for k, v in values.items() if k in ("X", "Y", "WIDTH", "HEIGHT")}


def name_of(window):
    return xdo("getwindowname", str(window))


def wait_until(predicate, timeout=20.0, step=0.1):
    end = time.time() + timeout
    while time.time() < end:
        value = predicate()
        if value:
            return value
        time.sleep(step)
    return None


class Viewer:
    """One run of the viewer; dialogs are the visible windows it adds."""

    def __init__(self, args=(), cwd=None, env_extra=None):
        # Tests run one at a time, so any "Quelvist" window is ours once those
        # of earlier runs have gone (X may hand their ids out again).
        wait_until(lambda: not viewer_windows(), 10.0)
        self.before = set(visible_windows())
        self.proc = subprocess.Popen([BINARY, *args], cwd=cwd or DATA,
                                     env=child_env(**(env_extra or {})),
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.window = None

    def new_windows(self):
        return [w for w in visible_windows()
                if w not in self.before and geometry(w).get("WIDTH", 0) > 1]

    def wait_dialog(self, timeout=40.0):
        """The first dialog of this process (GTK marks its windows with the
        process id; window ids of ended processes can come back)."""
        def find():
            ids = xdo("search", "--onlyvisible", "--pid", str(self.proc.pid))
            for w in (int(i) for i in ids.split()):
                if geometry(w).get("WIDTH", 0) > 1 and name_of(w) != "Quelvist":
                    return w
            return None
        return wait_until(find, timeout)

    def wait_dialog_gone(self, dialog, timeout=10.0):
        return wait_until(lambda: dialog not in visible_windows(), timeout)

    def answer(self, dialog, *keys):
        xdo("windowfocus", "--sync", str(dialog))
        time.sleep(0.3)
        xdo("key", *keys)

    def answer_until_gone(self, dialog, *keys, tries=3):
        """Answers a dialog, again if a busy machine let the keys go astray."""
        for _ in range(tries):
            if dialog not in visible_windows():
                return True
            self.answer(dialog, *keys)
            if self.wait_dialog_gone(dialog, 8.0):
                return True
        return dialog not in visible_windows()

    def wait_window(self, timeout=30.0):
        def find():
            windows = viewer_windows()
            return windows[0] if windows else None
        self.window = wait_until(find, timeout)
        if self.window:
            time.sleep(1.0)  # first frames
        return self.window

    def start_windowed(self, timeout=30.0):
        """Answers No to the full-screen question (the recording is given on
        the command line or the file dialog was already handled)."""
        dialog = self.wait_dialog()
        if dialog is None:
            status = self.proc.poll()
            err = self.proc.stderr.read() if status is not None else ""
            print("no question dialog appeared; process status", status, repr(err[-400:]),
                  flush=True)
            screenshot(None, "no-dialog")
            return None
        if not self.answer_until_gone(dialog, "Escape"):
            print("the question dialog did not close", flush=True)
            screenshot(None, "dialog-stays")
            return None
        window = self.wait_window(timeout)
        if window is None:
            print("no Quelvist window; process status", self.proc.poll(), flush=True)
            screenshot(None, "no-window")
        return window

    def error_after_question(self):
        """Answers No to the question and returns the error dialog that
        follows for a recording that cannot be opened (or None)."""
        question = self.wait_dialog()
        if question is None or not self.answer_until_gone(question, "Escape"):
            return None
        return self.wait_dialog()

    def open_submenu(self, submenu, entry=0):
        """Opens the right-button menu near the window's top left, then the
        submenu at position submenu, and moves onto its entry."""
        g = geometry(self.window)
        x, y = g["X"], g["Y"]
        xdo("mousemove", str(x + 30), str(y + 60), "click", "3")
        time.sleep(0.5)
        xdo("mousemove", str(x + 40), str(y + 72 + 25 * submenu))
        time.sleep(0.6)
        xdo("mousemove", str(x + 200), str(y + 72 + 25 * (submenu + entry)))
        time.sleep(0.8)

    def close_menu(self):
        # A click outside the menu closes it (ESC would reach the viewer and quit).
        g = geometry(self.window)
        xdo("mousemove", str(g["X"] + 150), str(g["Y"] + 290), "click", "1")
        time.sleep(0.5)

    def key(self, *keys):
        xdo("windowfocus", "--sync", str(self.window))
        xdo("key", "--delay", "60", *keys)

    def shot(self, name):
        return screenshot(self.window, name)

    def settled_shot(self, name, timeout=20.0):
        """A screenshot once the picture has stopped changing for a second
        (outside the turning drum): keys sent in a burst have been handled."""
        time.sleep(1.0)
        previous = self.shot(name)
        end = time.time() + timeout
        while time.time() < end:
            time.sleep(1.0)
            current = self.shot(name)
            if differing(previous, current) == 0:
                return current
            previous = current
        return previous

    def wait_exit(self, timeout=10.0):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        # Let the server unmap the windows before the next run looks for its own.
        wait_until(lambda: not self.new_windows() and not viewer_windows(), 10.0)


class Image:
    def __init__(self, width, height, data):
        self.width, self.height, self.data = width, height, data

    def at(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def count(self, predicate, box=None):
        x0, y0, x1, y1 = box or (0, 0, self.width, self.height)
        n = 0
        for y in range(max(0, y0), min(self.height, y1)):
            row = y * self.width * 3
            for x in range(max(0, x0), min(self.width, x1)):
                i = row + x * 3
                if predicate(self.data[i], self.data[i + 1], self.data[i + 2]):
                    n += 1
        return n


DRUM_BOX = (180, 225, 300, 300)  # the turning drum in a 300x300 window


def differing(a, b, box=(0, 0, 300, 300), skip=DRUM_BOX):
    """Pixels that differ between two screenshots inside box, outside skip."""
    n = 0
    for y in range(box[1], box[3]):
        for x in range(box[0], box[2]):
            if skip[0] <= x < skip[2] and skip[1] <= y < skip[3]:
                continue
            n += a.at(x, y) != b.at(x, y)
    return n


def bounding_box(image, predicate, box=(0, 0, 300, 300)):
    xs, ys = [], []
    for y in range(box[1], box[3]):
        for x in range(box[0], box[2]):
            if predicate(*image.at(x, y)):
                xs.append(x)
                ys.append(y)
    return (min(xs), min(ys), max(xs), max(ys)) if xs else None


def read_ppm(raw):
    parts = re.match(rb"P6\s+(\d+)\s+(\d+)\s+(\d+)\s", raw)
    width, height = int(parts.group(1)), int(parts.group(2))
    return Image(width, height, raw[parts.end():parts.end() + width * height * 3])


def read_png(path):
    raw = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], capture_output=True,
                         check=True).stdout
    return read_ppm(raw)


def screenshot(window, name, box=None):
    """Takes a screenshot of a window (or the root) and keeps a PNG of it."""
    target = "root" if window is None else str(window)
    raw = subprocess.run(["import", "-window", target, "-depth", "8", "ppm:-"],
                         capture_output=True, check=True).stdout
    image = read_ppm(raw)
    path = os.path.join(OUT, name + ".png")
    subprocess.run(["convert", "ppm:-", path], input=raw, check=True)
    return image


def ocr(window, name, scale=300, crop=None):
    """The words in a window's screenshot (or in the part crop, WxH+X+Y)."""
    target = "root" if window is None else str(window)
    path = os.path.join(OUT, name + "-ocr.png")
    subprocess.run(["import", "-window", target, "-depth", "8", path], check=True)
    cropping = ["-crop", crop, "+repage"] if crop else []
    subprocess.run(["convert", path, *cropping, "-resize", f"{scale}%", "-colorspace", "Gray",
                    path], check=True)
    result = subprocess.run(["tesseract", path, "-", "--psm", "6"], capture_output=True, text=True)
    return " ".join(result.stdout.split())


def is_blue(r, g, b):
    return b > 200 and r < 90 and g < 90


def is_red(r, g, b):
    return r > 200 and g < 90 and b < 90


def is_grey_line(r, g, b):
    return abs(r - 77) < 12 and abs(g - 77) < 12 and abs(b - 77) < 12


def is_marker(r, g, b):
    return abs(r - 128) < 6 and g > 245 and abs(b - 128) < 6


def is_black(r, g, b):
    return r < 25 and g < 25 and b < 25


def write_recording(path, rows):
    """rows: (left h, v, t, shade, right h, v, t, shade) tuples."""
    with open(path, "w") as out:
        out.write("Export\nTime\tx\n")
        for lh, lv, lt, ls, rh, rv, rt, rs in rows:
            cols = [0, 0, 0, lh, lv, lt, 0, ls, 0, 0, rh, rv, rt, 0, rs]
            out.write("\t".join(str(c).replace(".", ",") for c in cols) + "\n")

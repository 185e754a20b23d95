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

# A command that runs the program (Wine for the Windows build). Under Wine
# without a window manager a window takes the keyboard only once clicked
# (after the program has created or destroyed windows), and OpenGL draws
# into a child X window: the picture is read off the screen.
RUNNER = []
UNDER_WINE = False


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


def menu_windows():
    ids = xdo("search", "--onlyvisible", "--name", "^freeglut menu$")
    return [int(w) for w in ids.split()] if ids else []


def submenu_in_place():
    """The submenu's window, once it stands at the right edge of the menu."""
    windows = sorted((geometry(w) for w in menu_windows()), key=lambda g: g["X"])
    if len(windows) == 2 and windows[1]["X"] == windows[0]["X"] + windows[0]["WIDTH"]:
        return windows[1]
    return None


def lit(image, g):
    """Whether a menu window has painted itself (it is black until then)."""
    box = (g["X"], g["Y"], g["X"] + g["WIDTH"], g["Y"] + g["HEIGHT"])
    return image.count(lambda r, g, b: (r, g, b) != (0, 0, 0), box) > g["WIDTH"] * g["HEIGHT"] // 2


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


class Trace:
    """The events the program reports in its QUELVIST_TRACE file: one line
    per finished event (ready, key, menu, frame, exit)."""

    def __init__(self, path):
        self.path = path
        self.lines = []
        self.offset = 0
        self.partial = ""

    def read(self):
        try:
            with open(self.path) as f:
                f.seek(self.offset)
                text = f.read()
                self.offset = f.tell()
        except FileNotFoundError:
            return self.lines
        text = self.partial + text
        parts = text.split("\n")
        self.partial = parts.pop()
        self.lines.extend(parts)
        return self.lines

    def find(self, prefix, start=0, count=1):
        """Index of the count-th line from start that begins with prefix."""
        seen = 0
        for i in range(start, len(self.read())):
            if self.lines[i].startswith(prefix):
                seen += 1
                if seen == count:
                    return i
        return None

    def wait(self, prefix, start=0, count=1, timeout=60.0):
        found = None
        if wait_until(lambda: self.find(prefix, start, count) is not None, timeout, 0.02):
            found = self.find(prefix, start, count)
        if found is None:
            tail = [line for line in self.lines[start:] if not line.startswith("frame")]
            print(f"trace: no {count} x {prefix!r} after line {start}; events: {tail[-8:]}",
                  flush=True)
        return found

    def mark(self):
        return len(self.read())

    def frame_samples(self, index):
        return int(self.lines[index].split()[2])

    def latest_samples(self):
        """The samples the curves drew in the latest frame reported."""
        lines = self.read()
        for i in range(len(lines) - 1, -1, -1):
            if lines[i].startswith("frame"):
                return self.frame_samples(i)
        return None

    def wait_frame(self, predicate, start=0, timeout=60.0):
        """Index of the first frame from start whose sample count satisfies
        predicate."""
        def find():
            for i in range(start, len(self.read())):
                if self.lines[i].startswith("frame") and predicate(self.frame_samples(i)):
                    return [i]
            return None
        found = wait_until(find, timeout, 0.02)
        return found[0] if found else None


class Viewer:
    """One run of the viewer; dialogs are the visible windows it adds."""

    def __init__(self, args=(), cwd=None, env_extra=None):
        # Tests run one at a time, so any "Quelvist" window is ours once those
        # of earlier runs have gone (X may hand their ids out again).
        wait_until(lambda: not viewer_windows(), 10.0)
        self.before = set(visible_windows())
        handle, trace_path = tempfile.mkstemp(prefix="quelvist-trace-", suffix=".txt")
        os.close(handle)
        self.trace = Trace(trace_path)
        env = dict(env_extra or {}, QUELVIST_TRACE=trace_path)
        self.proc = subprocess.Popen([*RUNNER, BINARY, *args], cwd=cwd or DATA, env=child_env(**env),
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
        xdo("key", *keys)

    def answer_until_gone(self, dialog, *keys, timeout=30.0):
        """Answers a dialog and waits until its window has gone."""
        self.answer(dialog, *keys)
        return self.wait_dialog_gone(dialog, timeout)

    def wait_window(self, timeout=60.0):
        """The viewer's window, once its first frame has been shown."""
        def find():
            windows = viewer_windows()
            return windows[0] if windows else None
        self.window = wait_until(find, timeout)
        ready = self.trace.wait("ready", 0, 1, timeout) if self.window else None
        if ready is None or self.wait_frames_after(ready) is None:
            self.window = None
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
        for _ in range(3):
            if self.try_submenu(submenu, entry):
                return True
            # Now and then freeglut never paints a freshly rebuilt submenu
            # (its window's visibility is lost); a user closes the menu and
            # opens it again.
            print(f"submenu {submenu} stayed unpainted; opening the menu again", flush=True)
            self.close_menu()
        return False

    def read_submenu(self, submenu, name, crop, expected, entry=0):
        """Opens a submenu and returns the words read off the screen's part
        crop (WxH+X+Y) once expected is among them. A menu window that went
        black again (seen under the sanitizers with both cores busy) is
        opened anew, as a user would."""
        words = ""
        for _ in range(5):
            self.open_submenu(submenu, entry)
            words = ocr_until(None, name, expected, crop=crop, timeout=6.0)
            if expected in words:
                return words
            print(f"menu read {words!r}; opening it again", flush=True)
            self.close_menu()
        self.open_submenu(submenu, entry)
        return words

    def try_submenu(self, submenu, entry):
        g = geometry(self.window)
        x, y = g["X"], g["Y"]
        parent = (x + 40, y + 72 + 25 * submenu)
        # Past the main menu, whose widest entry is "Open recording... (Ctrl+O)".
        target = (x + 300, y + 72 + 25 * (submenu + entry))
        # Every submenu has two entries or more: the one beside the target.
        beside = (target[0], target[1] + (25 if entry == 0 else -25))
        xdo("mousemove", str(x + 30), str(y + 60), "click", "3")
        wait_until(lambda: len(menu_windows()) >= 1, 30.0)
        xdo("mousemove", *map(str, parent))
        wait_until(lambda: submenu_in_place(), 30.0)

        # freeglut paints a menu window when its highlighted entry changes,
        # but not always when it is mapped: move over the neighbouring
        # entry and back until both windows show themselves.
        def painted():
            xdo("mousemove", *map(str, beside))
            xdo("mousemove", *map(str, target))
            image = screenshot(None, "menu")
            return all(lit(image, geometry(w)) for w in menu_windows())
        return wait_until(painted, 8.0)

    def pick(self):
        """Clicks the menu entry under the pointer; returns once the viewer
        has carried it out and shown a frame after it."""
        mark = self.trace.mark()
        xdo("click", "1")
        self.wait_frames_after(self.trace.wait("menu", mark))

    def close_menu(self):
        # A click outside the menu closes it (ESC would reach the viewer and quit).
        g = geometry(self.window)
        xdo("mousemove", str(g["X"] + 150), str(g["Y"] + 290), "click", "1")
        wait_until(lambda: not menu_windows(), 30.0)

    def wait_frames_after(self, index, frames=2):
        """Waits for frames shown after trace line index: the second one
        was begun after the first had been handed to the X server. On a
        slow renderer the frames while the view moves are lighter ("light
        frame" before their "frame" line): then for full ones after them."""
        if index is None:
            return None
        found = self.trace.wait("frame", index + 1, frames)
        # While the view turns by itself every frame is light: then the
        # latest after a few dozen.
        for _ in range(40):
            if found is None or not any(line.startswith("light frame")
                                        for line in self.trace.lines[index + 1:found]):
                break
            index = max(i for i in range(index + 1, found)
                        if self.trace.lines[i].startswith("light frame"))
            found = self.trace.wait("frame", index + 1, frames)
        return found

    def key(self, *keys):
        """Presses keys in the viewer's window and returns once it has
        handled all of them and shown a frame after the last."""
        mark = self.trace.mark()
        # freeglut reports a modifier as a key of its own: shift+Right is two.
        reported = [len(key.split("+")) for key in keys]
        if UNDER_WINE:
            for key, count in zip(keys, reported):
                before = self.trace.mark()
                # A corner no recording reaches: the click gives focus and picks nothing.
                xdo("mousemove", "--window", str(self.window), "296", "4", "click", "1")
                xdo("key", key)
                self.trace.wait("key", before, count)
        else:
            xdo("windowfocus", "--sync", str(self.window))
            xdo("key", *keys)
        last = self.trace.wait("key", mark, sum(reported))
        if keys[-1] != "Escape":
            self.wait_frames_after(last)

    def hold(self, key, until=None, seconds=None):
        """Holds key down until the viewer has reported it `until` times, or
        for `seconds` (the time a held key is meant to be held); returns
        how often the viewer reported it."""
        mark = self.trace.mark()
        xdo("windowfocus", "--sync", str(self.window))
        xdo("keydown", key)
        if until:
            self.trace.wait(f"key {key}", mark, until)
        else:
            time.sleep(seconds)
        xdo("keyup", key)
        self.wait_frames_after(self.trace.mark() - 1)
        return sum(line == f"key {key}" for line in self.trace.read()[mark:])

    def shot(self, name):
        if UNDER_WINE:
            g = geometry(self.window)
            return screenshot(None, name, (g["X"], g["Y"], g["WIDTH"], g["HEIGHT"]))
        return screenshot(self.window, name)

    def shot_when(self, name, predicate, timeout=30.0):
        """A screenshot once predicate(image) holds (the timer moves the
        picture on its own), or the last one taken."""
        image = self.shot(name)
        end = time.time() + timeout
        while not predicate(image) and time.time() < end:
            image = self.shot(name)
        return image

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


def viewer_or_finish(args, what):
    """Starts the viewer windowed on args; ends the test run if it does not
    open (nothing else can be checked then)."""
    v = Viewer(args)
    window = v.start_windowed()
    check(window is not None, what)
    if window is None:
        v.stop()
        finish()
    return v, window


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
    # import fails now and then while a window is being mapped or unmapped.
    for _ in range(5):
        result = subprocess.run(["import", "-window", target, "-depth", "8", "ppm:-"],
                                capture_output=True)
        if result.returncode == 0:
            break
    if result.returncode != 0:
        raise RuntimeError(f"import failed: {result.stderr[-300:]!r}")
    raw = result.stdout
    image = read_ppm(raw)
    if box:
        x0, y0, w, h = box
        rows = [image.data[((y0 + y) * image.width + x0) * 3:((y0 + y) * image.width + x0 + w) * 3]
                for y in range(h)]
        image = Image(w, h, b"".join(rows))
        raw = b"P6 %d %d 255\n" % (w, h) + image.data
    path = os.path.join(OUT, name + ".png")
    subprocess.run(["convert", "ppm:-", path], input=raw, check=True)
    return image


def ocr(window, name, scale=300, crop=None, light=False, sparse=False):
    """The words in a window's screenshot (or in the part crop, WxH+X+Y).
    light: the words are the program's own light texts on their dark
    backdrops, turned into black on white for OCR."""
    target = "root" if window is None else str(window)
    path = os.path.join(OUT, name + "-ocr.png")
    subprocess.run(["import", "-window", target, "-depth", "8", path], check=True)
    cropping = ["-crop", crop, "+repage"] if crop else []
    # The part read, as it was on the screen, for a look when a check fails.
    source = os.path.join(OUT, name + "-read.png")
    subprocess.run(["convert", path, *cropping, source], check=True)
    # Light text on its backdrop becomes dark text on white. Tesseract
    # misreads the small bitmap font differently at each contrast and size:
    # such texts are read three ways and the readings joined.
    variants = [["-negate", "-level", "0,60%"], ["-negate", "-level", "0,45%"],
                ["-negate", "-level", "0,60%", "-resize", "133%"]] if light else [[]]
    sharpening = ["-threshold", "50%"] if sparse else []
    readings = []
    for variant in variants[:1] if sparse else variants:
        subprocess.run(["convert", source, "-resize", f"{scale}%", "-colorspace", "Gray", *variant,
                        *sharpening, path], check=True)
        result = subprocess.run(["tesseract", path, "-", "--psm", "11" if sparse else "6"],
                                capture_output=True, text=True)
        readings.append(" ".join(result.stdout.split()))
    return " | ".join(readings)


def near(words, phrase, ratio=0.8):
    """Whether OCR's words hold phrase: spaces aside, letters may be misread
    now and then ("sarnples", "Tine"), digits must all be read as written
    or as their look-alikes ("TZ0000" for 120000)."""
    import difflib
    # Letters OCR reads for the small font's digits, and digits for letters:
    # both sides are read through the same table.
    look_alike = str.maketrans("outlizsd|", "001112501")
    text = re.sub(r"\s+", "", words).lower().translate(look_alike)
    want = re.sub(r"\s+", "", phrase).lower().translate(look_alike)
    digits = re.sub(r"\D", "", want)
    for start in range(len(text)):
        for length in range(len(want) - 2, len(want) + 3):
            part = text[start:start + length]
            if (re.sub(r"\D", "", part) == digits
                    and difflib.SequenceMatcher(None, part, want).ratio() >= ratio):
                return True
    return False


def ocr_until(window, name, expected, crop=None, scale=300, timeout=20.0, light=False,
              sparse=False):
    """The words of a window (or of the screen's part crop, WxH+X+Y), read
    again until expected is among them: a window draws itself after it
    appears."""
    end = time.time() + timeout
    words = ocr(window, name, scale, crop, light, sparse)
    while expected not in words and time.time() < end:
        words = ocr(window, name, scale, crop, light, sparse)
    return words


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


def cursor_pixels():
    """The opaque pixels of the pointer the X server shows now (XFixes; 0
    for a hidden one)."""
    import ctypes

    class CursorImage(ctypes.Structure):
        _fields_ = [("x", ctypes.c_short), ("y", ctypes.c_short), ("width", ctypes.c_ushort),
                    ("height", ctypes.c_ushort), ("xhot", ctypes.c_ushort),
                    ("yhot", ctypes.c_ushort), ("serial", ctypes.c_ulong),
                    ("pixels", ctypes.POINTER(ctypes.c_ulong)), ("atom", ctypes.c_ulong),
                    ("name", ctypes.c_char_p)]
    x11, xfixes = ctypes.CDLL("libX11.so.6"), ctypes.CDLL("libXfixes.so.3")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    x11.XFree.argtypes = [ctypes.c_void_p]
    xfixes.XFixesGetCursorImage.restype = ctypes.POINTER(CursorImage)
    xfixes.XFixesGetCursorImage.argtypes = [ctypes.c_void_p]
    display = x11.XOpenDisplay(None)
    image = xfixes.XFixesGetCursorImage(display)
    cursor = image.contents
    # ARGB in unsigned longs: the alpha byte says whether a pixel shows.
    count = sum(1 for i in range(cursor.width * cursor.height) if cursor.pixels[i] >> 24 & 0xff)
    x11.XFree(image)
    x11.XCloseDisplay(display)
    return count


def on_full_disk(folder, kilobytes, commands):
    """Runs the shell commands with folder mounted as a private tmpfs of that
    size (a disk that fills up), in a namespace of their own. None where the
    system allows no private mounts."""
    script = f"mount -t tmpfs -o size={kilobytes}k none {folder} && {commands}"
    r = subprocess.run(["unshare", "-rm", "sh", "-c", script], capture_output=True, text=True,
                       timeout=300, env=child_env())
    if r.returncode != 0 and "mount" in r.stderr:
        print(f"(no private tmpfs here, the full disk is not tried: {r.stderr.strip()})")
        return None
    return r


def write_recording(path, rows):
    """rows: (left h, v, t, shade, right h, v, t, shade) tuples."""
    with open(path, "w") as out:
        out.write("Export\nTime\tx\n")
        for lh, lv, lt, ls, rh, rv, rt, rs in rows:
            cols = [0, 0, 0, lh, lv, lt, 0, ls, 0, 0, rh, rv, rt, 0, rs]
            out.write("\t".join(str(c).replace(".", ",") for c in cols) + "\n")

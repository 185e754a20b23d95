"""Snapshots for figures: --snapshot on the command line and the s key."""
import os
import shutil
import subprocess
import tempfile
import time

from harness import (BINARY, child_env, DATA, Viewer, check, differing, finish, is_blue, is_red,
                     near, ocr_until, on_full_disk, read_png)

work = tempfile.mkdtemp(prefix="quelvist-snap-")
sample = os.path.join(DATA, "test.txt")


def run(*args, env=None):
    return subprocess.run([BINARY, *args], cwd=work, capture_output=True, text=True, timeout=60,
                          env=env or child_env())


out = os.path.join(work, "figure.png")
r = run("--snapshot", out, "--size", "640x480", sample)
check(r.returncode == 0, f"--snapshot exits 0 ({r.returncode}, {r.stderr!r})")
check(r.stdout == "" and r.stderr == "", "and prints nothing")
if os.path.exists(out):
    image = read_png(out)
    check((image.width, image.height) == (640, 480), f"--size sets the picture's size ({image.width}x{image.height})")
    check(image.count(is_blue) > 500 and image.count(is_red) > 500, "the snapshot shows both paths")
    shutil.copy(out, os.path.join(os.environ.get("QUELVIST_SCREENSHOTS", work), "snapshot-640x480.png"))

r = run("--snapshot", out, sample)
check(r.returncode == 0 and read_png(out).width == 300, "the default size is 300x300")

r = run("--snapshot", "/nonexistent-dir/figure.png", sample)
check(r.returncode == 2, f"an unwritable file gives status 2 ({r.returncode})")
check("could not write /nonexistent-dir/figure.png" in r.stderr, f"with a clear message ({r.stderr!r})")

r = run("--snapshot", out, "missing.txt")
check(r.returncode == 1 and r.stderr.strip() == "Could not open filename missing.txt.",
      f"a missing recording: the message on the terminal, status 1 ({r.returncode}, {r.stderr!r})")

# GLUT's own options and their values are GLUT's, wherever they stand; every
# mistake is a usage error (status 2), never a crash.
display = os.environ["DISPLAY"]
for args, status in ((["--snapshot"], 2), (["--snapshot", out], 2), (["--size", "big", sample], 2),
                     (["--snapshot", out, "-geometry", "400x300"], 2),
                     (["-geometry", "400x300", "--snapshot", out], 2),
                     (["--snapshot", out, "-display", display], 2),
                     (["--snapshot", out, sample, "-display"], 2),
                     (["-display", display, "--snapshot", out, sample], 0),
                     (["--snapshot", out, sample, "-geometry", "400x300", "-iconic"], 0),
                     (["--movie", "m.mp4"], 2), (["--fps", "30", sample], 2),
                     (["--movie", "m.mp4", "--fps", "0", sample], 2),
                     (["--movie", "m.mp4", "--rotate", "w", sample], 2),
                     (["--movie", "m.mp4", "--size", "301x300", sample], 2),
                     (["--snapshot", out, "--from", "5", "--to", "5", sample], 2),
                     (["--snapshot", out, "--from", "2,5", "--to", "4", sample], 0)):
    if os.path.exists(out):
        os.remove(out)
    r = run(*args)
    if status == 2:
        check(r.returncode == 2 and "quelvist:" in r.stderr, f"{args}: a usage error ({r.returncode}, {r.stderr!r})")
    else:
        check(r.returncode == 0 and read_png(out).width == 300, f"{args}: the snapshot ({r.returncode}, {r.stderr!r})")

# Mistyped and unknown options, values out of range, a second recording:
# a message that names the problem (and the option meant), status 2, no file.
for args, says in ((["--snapshot", out, "--gap", sample], "did you mean --gaps?"),
                   (["--snapshot", out, "--szie", "640x480", sample], "did you mean --size?"),
                   (["--snapshot", out, "-x", sample], "unknown option -x"),
                   (["--snapshot", out, sample, sample], "must contain {name}"),
                   ([sample, sample], "only one RECORDING"),
                   (["--snapshot", out, "--size", "4294967298x2", sample], "--size takes"),
                   (["--snapshot", out, "--gaps=1", sample], "--gaps takes no value"),
                   (["--snapshot", "--gaps", sample], "--snapshot needs a value"),
                   (["--snapshot=", sample], "--snapshot needs a file name"),
                   (["--movie", "m.mp4", "--fps", "1e10", sample], "--fps takes"),
                   (["--movie", "m.mp4", "--speed", "1e-18", sample], "more than a million frames")):
    if os.path.exists(out):
        os.remove(out)
    r = run(*args)
    check(r.returncode == 2 and says in r.stderr and not os.path.exists(out)
          and not os.path.exists(os.path.join(work, "m.mp4")),
          f"{args[2:]}: status 2, {says!r}, no file ({r.returncode}, {r.stderr.strip()!r})")
r = run("--snapshot=" + out, "--size=200x100", "--", sample)
check(r.returncode == 0 and (read_png(out).width, read_png(out).height) == (200, 100),
      f"--name=value and -- are understood ({r.returncode}, {r.stderr!r})")


def export(name, text, encoding="utf-8"):
    path = os.path.join(work, name)
    with open(path, "w", encoding=encoding, newline="") as f:
        f.write(text)
    return path


def line(time, left, right):
    return f"{time}\t0\t0\t" + "\t".join(left) + "\t0\t1\t0\t0\t" + "\t".join(right) + "\t0\t1\n"


HEADER = "Time\tc1\tc2\tLH\tLV\tLT\tc6\tLS\tc8\tc9\tRH\tRV\tRT\tc13\tRS\n"
rows = [(f"{i * 0.004:.3f}".replace(".", ","), f"{8 * (i % 50) / 50:.2f}".replace(".", ","),
         f"{(i % 30) / 5 - 3:.2f}".replace(".", ",")) for i in range(300)]
both = "".join(line(t, (h, v, "0,1"), ("-" + h, v, "0,1")) for t, h, v in rows)
right_only = "".join(line(t, ("", "", ""), ("-" + h, v, "0,1")) for t, h, v in rows)
preamble = "Time of recording:\t10:42:17\nSubject\tS01\n\n"

# Files that hold no samples (every reason is in the reader's tests): why,
# status 2, no picture written.
for name, text, encoding, says in (
        ("empty.txt", "", "utf-8", "the file is empty"),
        ("no-header.txt", both, "utf-8", "no line begins with Time"),
        ("utf16-no-mark.txt", HEADER + both, "utf-16-le", "This file is UTF-16 text"),
        ("semicolons.csv", "Time;LH;LV\n0,000;1,5;2\n", "utf-8", "separated by semicolons")):
    if os.path.exists(out):
        os.remove(out)
    r = run("--snapshot", out, export(name, text, encoding))
    check(r.returncode == 2 and says in r.stderr and not os.path.exists(out),
          f"{name}: status 2, {says!r}, no picture ({r.returncode}, {r.stderr.strip()!r})")
r = run("--snapshot", out, "--from", "1000", sample)
check(r.returncode == 2 and "No samples between 1000 s and the end (the recording ends at 59.998 s)"
      in r.stderr and not os.path.exists(out), f"--from past the end: status 2 ({r.stderr.strip()!r})")

# Exports that read right: the same picture with a preamble, a byte-order
# mark or as UTF-16; a right-eye-only export draws the right eye.
reference = os.path.join(work, "reference.png")
run("--snapshot", reference, export("both.txt", HEADER + both))
for name, text, encoding in (("preamble.txt", preamble + HEADER + both, "utf-8"),
                             ("utf16.txt", "\ufeff" + preamble + HEADER + both, "utf-16-le")):
    r = run("--snapshot", out, export(name, text, encoding))
    check(r.returncode == 0 and differing(read_png(out), read_png(reference)) == 0,
          f"{name}: the same picture as the plain export ({r.returncode}, {r.stderr!r})")
r = run("--snapshot", out, export("right-only.txt", HEADER + right_only))
check(r.returncode == 0 and read_png(out).count(is_red) > 200 and read_png(out).count(is_blue) == 0
      and read_png(reference).count(is_blue) > 200,
      f"a right-eye-only export draws the right eye alone ({r.returncode})")

# Shade columns that hold nothing (0 on every row, empty, or cut off) shade
# each path by sample order: the very picture of a file whose shade column
# holds i / (n - 1). A constant 1 draws as before: both paths fully coloured.
def shaded(shade_of):
    text = HEADER
    for i, (t, h, v) in enumerate(rows):
        s = shade_of(i)
        text += f"{t}\t0\t0\t{h}\t{v}\t0,1\t0\t{s}\t0\t0\t-{h}\t{v}\t0,1\t0\t{s}\n"
    return text


by_order = os.path.join(work, "by-order.png")
run("--snapshot", by_order, export("by-order.txt", shaded(lambda i: repr(i / (len(rows) - 1)))))
ordered = read_png(by_order)
for name, text in (("zero.txt", shaded(lambda i: "0")), ("empty-shade.txt", shaded(lambda i: "")),
                   ("cut-off.txt", HEADER.rsplit("\t", 2)[0] + "\n" + "".join(
                       "\t".join(l.split("\t")[:13]) + "\n"
                       for l in shaded(lambda i: "").splitlines()[1:]))):
    r = run("--snapshot", out, export(name, text))
    image = read_png(out) if r.returncode == 0 else None
    check(image is not None and differing(image, ordered, skip=(0, 0, 0, 0)) == 0
          and image.count(is_blue) > 100 and image.count(is_red) > 100,
          f"{name}: the paths shade by sample order, blue and red ({r.returncode}, {r.stderr!r})")
r = run("--snapshot", out, export("constant.txt", shaded(lambda i: "1")))
constant = read_png(out)
check(constant.count(is_blue) > ordered.count(is_blue) and constant.count(is_red) > 100,
      "a constant shade of 1 draws both paths fully coloured, as before")

# Never over the recording, whatever the name; never over a file of another
# kind without --force.
recording = export("recording.txt", HEADER + both)
os.link(recording, os.path.join(work, "hard-link.txt"))
notes = export("notes.txt", "my notes\n")
for args, status, says in ((["--snapshot", recording, recording], 2, "is the recording being read"),
                           (["--snapshot", "./hard-link.txt", recording], 2, "is the recording"),
                           (["--snapshot", notes, recording], 2, "give --force"),
                           (["--snapshot", work, recording], 2, "it is a folder"),
                           (["--snapshot", notes, "--force", recording], 0, "")):
    r = run(*args)
    check(r.returncode == status and says in r.stderr, f"{args}: status {status} ({r.stderr.strip()!r})")
with open(recording) as f:
    check(f.read() == HEADER + both, "the recording is untouched")
check(read_png(notes).width == 300, "--force writes over another kind of file")

# A full disk: the system's reason, and the good file of that name stays.
full = os.path.join(work, "full")
os.mkdir(full)
r = on_full_disk(full, 48, f"cp {reference} {full}/figure.png && head -c 40000 /dev/zero > "
                 f"{full}/filler; {BINARY} --snapshot {full}/figure.png --size 640x480 "
                 f"{recording}; echo status=$?; cmp {reference} {full}/figure.png && echo kept; "
                 f"ls {full}")
if r:
    check("status=2" in r.stdout and "No space left on device" in r.stderr,
          f"a full disk: status 2 and the system's reason ({r.stdout.split()}, {r.stderr.strip()!r})")
    check("kept" in r.stdout and "partial" not in r.stdout,
          f"the good file stays and no partial file is left ({r.stdout.split()})")

no_display = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
r = run("--help", env=no_display)
check(r.returncode == 0, "--help exits 0, even without a display")
for word in ("-f", "--snapshot", "--size", "F1..F5", "F11, F12", "ESC", "RECORDING"):
    check(word in r.stdout, f"--help mentions {word}")
# The manual page describes every option --help lists (both from the table).
import re  # noqa: E402
with open(os.path.join(os.path.dirname(DATA), "docs", "quelvist.1")) as f:
    manual = f.read().replace("\\-", "-")
listed = re.findall(r"^  (-{1,2}[a-z]+)", r.stdout, re.M)
check(len(listed) >= 12 and all(option in manual for option in listed),
      f"the manual page describes every option ({[o for o in listed if o not in manual]})")

# The s key writes the current view to a new file, prints its name and says
# so in the window for 3 seconds; the file holds the view without that line.
BOTTOM = "195x30+0+270"  # the status line's start, left of the turning drum


def message_gone(v, since):
    """Waits until the line of an s pressed after trace line since has gone
    and a frame has been shown without it."""
    return v.wait_frames_after(v.trace.wait("message gone", since, timeout=20))


v = Viewer([sample], cwd=work)
window = v.start_windowed()
check(window is not None, "the viewer starts")
if window:
    mark = v.trace.mark()
    v.key("s")
    check(v.trace.find("message saved quelvist-001.png", mark) is not None,
          "the saved file is reported")
    words = ocr_until(window, "s-key-line", "quelvist-001", crop=BOTTOM, timeout=2.5, light=True)
    check(near(words, "saved quelvist-001.png"), f"the window says what it saved ({words!r})")
    message_gone(v, mark)
    shot = v.shot("s-key-window")
    # Held down, s writes one file; other keys still repeat. How long the
    # server takes to repeat a key is read off F9 held first.
    started = time.time()
    repeats = v.hold("F9", until=5)
    repeat_time = time.time() - started
    check(repeats >= 5, f"a held F9 repeats ({repeats})")
    v.hold("s", seconds=2 * repeat_time)
    check(v.hold("F9", until=3) >= 3, "F9 repeats again after s was let go")
    v.key("Escape")
    v.wait_exit()
    printed = v.proc.stdout.read().split()
    check(printed == ["quelvist-001.png", "quelvist-002.png"],
          f"s prints the new names, one per press ({printed})")
    first = os.path.join(work, "quelvist-001.png")
    if os.path.exists(first):
        saved = read_png(first)
        check(differing(saved, shot) == 0,
              "the saved view equals the window once the line has gone (outside the turning drum)")
v.stop()

# A working directory that takes no file (removed while the viewer runs:
# root may write anywhere else): the reason in the window; then the user's
# Pictures folder, as GLib names it (user-dirs.dirs) or else ~/Pictures.
home = os.path.join(work, "home")
gone = os.path.join(work, "gone")
for folder in (home, os.path.join(home, ".config"), gone):
    os.mkdir(folder)
with open(os.path.join(home, ".config", "user-dirs.dirs"), "w") as f:
    f.write('XDG_PICTURES_DIR="$HOME/Bilder"\n')
v = Viewer([sample], cwd=gone, env_extra={"HOME": home, "XDG_CONFIG_HOME": os.path.join(home, ".config")})
window = v.start_windowed()
check(window is not None, "the viewer starts in a folder")
if window:
    os.rmdir(gone)
    v.key("F1", "F2", "F5")  # white text over white path starts defeats OCR
    saves = ((None, "could not save quelvist-001.png: No such file or directory"),
             ("Pictures", f"saved {home}/Pictures/quelvist-001.png"),
             ("Bilder", f"saved {home}/Bilder/quelvist-001.png"))
    for made, says in saves:
        if made:
            os.mkdir(os.path.join(home, made))
        mark = v.trace.mark()
        v.key("s")
        check(v.trace.find("message " + says, mark) is not None, f"s: {says!r}")
        if not made:
            words = ocr_until(window, "s-key-unwritable", "could not", crop=BOTTOM, timeout=2.5,
                              light=True)
            check(near(words, "could not save quelvist-001.png"), f"the window says so ({words!r})")
            message_gone(v, mark)
            check(v.shot("s-key-line-gone").count(lambda r, g, b: r > 200 and g > 200 and b > 200,
                                                   (0, 260, 160, 300)) == 0,
                  "the line goes after 3 seconds, though nothing else happens")
    check(all(os.path.exists(os.path.join(home, folder, "quelvist-001.png"))
              for folder in ("Pictures", "Bilder")), "both files are there")
    v.key("Escape")
    v.wait_exit()
    printed = v.proc.stdout.read().split()
    check(printed == [f"{home}/Pictures/quelvist-001.png", f"{home}/Bilder/quelvist-001.png"],
          f"their full paths are printed ({printed})")
v.stop()
finish()

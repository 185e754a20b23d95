"""Figures for a paper or a talk: any view from the command line, checked
against a projection computed here and against the keys that give the same
view; the PDF and SVG rendered back and compared with the PNG; a movie with
its clock and trail."""
import math
import os
import re
import struct
import subprocess
import sys
import tempfile

from harness import (BINARY, DATA, DRUM_BOX, Viewer, check, child_env, differing, finish, read_png,
                     write_recording, xdo)

work = tempfile.mkdtemp(prefix="quelvist-figures-")
BACKGROUND = (178, 178, 178)


def run(*args):
    return subprocess.run([BINARY, *args], cwd=work, capture_output=True, text=True, timeout=300,
                          env=child_env())


# A straight path of the left eye through all three axes, (-6, -4, -3) to
# (6, 4, 3) in (horizontal, vertical, torsion); the right eye at the origin.
line = os.path.join(work, "line.txt")
write_recording(line, [(-6 + 12 * i / 60, -4 + 8 * i / 60, -3 + 6 * i / 60, 0, 0, 0, 0, 0)
                       for i in range(61)])
BARE = ["--hide", "right,cross,edges,drum,help"]


def project(point, angles, distance, torsion_scale, size=300):
    """Window pixel (x, y from the top) of a sample (h, v, t): the plot turned
    by angleX, angleY, angleZ in that order after moving it distance away,
    seen through a 65 degree perspective."""
    h, v, t = point
    p = [h, torsion_scale * t, v]
    for axis, degrees in reversed(list(zip("xyz", angles))):
        c, s = math.cos(math.radians(degrees)), math.sin(math.radians(degrees))
        x, y, z = p
        p = {"x": [x, c * y - s * z, s * y + c * z], "y": [c * x + s * z, y, -s * x + c * z],
             "z": [c * x - s * y, s * x + c * y, z]}[axis]
    x, y, z = p[0], p[1], p[2] - distance
    f = 1 / math.tan(math.radians(65) / 2)
    return (size / 2 * (1 + f * x / -z), size / 2 * (1 - f * y / -z))


def path_matches(image, angles, distance, torsion_scale):
    """Every drawn pixel lies within 2 px of the projected line, and the
    projected line is drawn along its whole length."""
    a = project((-6, -4, -3), angles, distance, torsion_scale)
    b = project((6, 4, 3), angles, distance, torsion_scale)
    drawn = [(x, y) for y in range(300) for x in range(300) if image.at(x, y) != BACKGROUND]

    def off_line(x, y):
        dx, dy = b[0] - a[0], b[1] - a[1]
        k = max(0, min(1, ((x - a[0]) * dx + (y - a[1]) * dy) / (dx * dx + dy * dy or 1)))
        return math.hypot(x - a[0] - k * dx, y - a[1] - k * dy)

    stray = [p for p in drawn if off_line(*p) > 2]
    covered = all(any(image.at(min(299, max(0, round(a[0] + k / 20 * (b[0] - a[0])) + ox)),
                               min(299, max(0, round(a[1] + k / 20 * (b[1] - a[1])) + oy)))
                      != BACKGROUND for ox in (-1, 0, 1) for oy in (-1, 0, 1))
                  for k in range(1, 20))
    return len(drawn) > 20 and not stray and covered, len(drawn), len(stray)


# The view options against the projection.
for options, angles, distance, scale in (
        ([], (-90, 180, 0), 30, 1),
        (["--angles", "0,0,0"], (0, 0, 0), 30, 1),
        (["--angles", "30,60,-20", "--distance", "20", "--torsion-scale", "2"], (30, 60, -20), 20, 2),
        (["--view", "top", "--torsion-scale", "-1.5"], (0, 180, 0), 30, -1.5),
        (["--view", "side", "--distance=45"], (-90, 180, 90), 45, 1)):
    png = os.path.join(work, "view.png")
    r = run("--snapshot", png, *BARE, *options, line)
    ok, drawn, stray = path_matches(read_png(png), angles, distance, scale) if r.returncode == 0 \
        else (False, 0, 0)
    check(ok, f"{' '.join(options) or 'the start view'}: the path lies where it is projected "
              f"({drawn} pixels drawn, {stray} astray; {r.stderr.strip()[-120:]})")

# Wrong values: a message and status 2, nothing written.
for options in (["--view", "back"], ["--angles", "1,2"], ["--angles", "1,2,x"],
                ["--distance", "1"], ["--torsion-scale", "nan"], ["--hide", "left,nose"],
                ["--clock"], ["--view", "top", "--angles", "0,0,0"], ["--fit", "--distance", "9"]):
    png = os.path.join(work, "wrong.png")
    r = run("--snapshot", png, *options, line)
    check(r.returncode == 2 and "quelvist: " in r.stderr and not os.path.exists(png),
          f"{' '.join(options)}: status 2 and a message ({r.returncode}, {r.stderr.strip()!r})")

# The same view in the viewer, and the keys that give it: side view, left
# eye hidden, torsion raised twice (F11); --clean in both, as the viewer
# says at first that the recording reaches past the view.
# 50000 samples: enough for llvmpipe's full frames to be slower than 1/30 s.
recording = os.path.join(work, "long.txt")
subprocess.run(["python3", os.path.join(os.path.dirname(DATA), "tools", "make_recording.py"),
                "--rows", "50000", "--seed", "5", "-o", recording], check=True,
               stdout=subprocess.DEVNULL)
asked = os.path.join(work, "asked.png")
options = ["--clean", "--view", "side", "--hide", "left", "--torsion-scale", "2"]
run("--snapshot", asked, *options, recording)
start = os.path.join(work, "start.png")
run("--snapshot", start, "--clean", recording)
v = Viewer([*options, recording], cwd=work)
if v.start_windowed():
    check(differing(read_png(asked), v.shot("figures-viewer-options")) == 0,
          "the viewer starts with the view the options ask for")
    # Once every font's glyphs are kept (one font a frame), the label bar
    # still shows its image, wherever it has turned: a bar drawn with
    # another texture bound comes out white.
    v.trace.wait("frame 8 ")
    for n in range(4):
        bar = v.shot(f"figures-viewer-bar-{n}")
        drawn = bar.count(lambda r, g, b: abs(r - 178) + abs(g - 178) + abs(b - 178) > 12,
                          DRUM_BOX)
        white = bar.count(lambda r, g, b: min(r, g, b) > 225, DRUM_BOX)
        check(drawn > 500 and white < drawn / 2,
              f"the settled viewer's bar shows its image ({white} of {drawn} pixels white)")
    v.key("1", "F1", "F12", "F12")
    check(differing(read_png(start), v.shot("figures-viewer-keys")) == 0,
          "keys 1, F1 and F12 twice give the start view back")
    v.key("3", "F1", "F11", "F11")
    check(differing(read_png(asked), v.shot("figures-viewer-side")) == 0,
          "keys 3, F1 and F11 twice give the view the options ask for")
    # Two notches of the wheel: on a slow renderer the frames while it turns
    # are lighter (fewer rows, unsmoothed); the full frame follows, the same
    # as a snapshot at the distance the notches give (rounded to single
    # precision after each, as the viewer keeps it).
    mark = v.trace.mark()
    for _ in range(2):
        xdo("mousemove", "--window", str(v.window), "150", "150", "click", "4")
    v.wait_frames_after(v.trace.wait("wheel", mark, 2))
    distance = 30.0
    for _ in range(2):
        distance = struct.unpack("f", struct.pack("f", distance / 1.15))[0]
    nearer = os.path.join(work, "nearer.png")
    run("--snapshot", nearer, *options, "--distance", repr(distance), recording)
    lights = sum(line.startswith("light frame") for line in v.trace.read()[mark:])
    check(differing(read_png(nearer), v.shot("figures-viewer-wheel")) == 0,
          f"after the wheel ({lights} light frames) the full frame is the snapshot's")
    v.key("Escape")
    v.wait_exit()
v.stop()

# --clean leaves out the help lines; --hide drum the drum; nothing else changes.
recording = os.path.join(DATA, "test.txt")
plain, clean = os.path.join(work, "plain.png"), os.path.join(work, "clean.png")
run("--snapshot", plain, recording)
run("--snapshot", clean, "--clean", "--hide", "drum", recording)
a, b = read_png(plain), read_png(clean)
drum_box = (180, 225, 300, 300)
text = [(x, y) for y in range(45) for x in range(300) if a.at(x, y) != b.at(x, y)]


def dark(*p):
    return 0 < max(p) < 60  # the drum's face; the cross's labels are black


check(differing(a, b, (0, 45, 300, 300), drum_box) == 0 and len(text) > 100
      and all(a.at(x, y) == (255, 255, 255) for x, y in text)
      and a.count(dark, drum_box) > 500 and b.count(dark, drum_box) == 0,
      f"--clean --hide drum: no help lines ({len(text)} pixels of text gone), no drum, "
      "the same paths")


def rendered_like(png, other):
    """Both pictures blurred by a pixel and a half (the lines' antialiasing
    differs), then compared: at most 1 % of the pixels apart by over 20 %."""
    for path in (png, other):
        subprocess.run(["convert", path, "-blur", "0x1.5", path + ".blur.png"], check=True)
    r = subprocess.run(["compare", "-metric", "AE", "-fuzz", "20%", png + ".blur.png",
                        other + ".blur.png", "null:"], capture_output=True, text=True)
    size = read_png(png)
    apart = float(r.stderr.split()[0]) if r.stderr.strip() else float("inf")
    return apart <= 0.01 * size.width * size.height, apart


# Vector figures rendered back at the window's size match the PNG (which
# asks for the key to the colours that figures carry), and their texts are
# text; nystagmus's lines, strips and main-sequence panel among them.
nystagmus = os.path.join(work, "nystagmus.txt")
subprocess.run([sys.executable, os.path.join(os.path.dirname(DATA), "tools", "make_nystagmus.py"),
                "--varied", "-o", nystagmus], check=True)
for extra, source, words, (width, height) in (
        ([], recording, (), (500, 400)),
        (["--plot", "--scale", "--fit", "--view", "top"], recording, (), (500, 400)),
        (["--ortho", "--view", "subject", "--scale"], recording, (), (500, 400)),
        (["--plot", "--nystagmus", "--main-sequence"], nystagmus,
         ("Vmax", "quick phases/s", "beating", "SPV torsion", "amplitude"), (640, 520))):
    reference = os.path.join(work, "reference.png")
    size = f"{width}x{height}"
    run("--snapshot", reference, "--size", size, "--legend", *extra, source)
    for ending, render in (("pdf", ["pdftoppm", "-r", "72", "-png", "-singlefile"]),
                           ("svg", ["rsvg-convert", "-w", str(width), "-h", str(height), "-o"])):
        figure = os.path.join(work, f"figure.{ending}")
        r = run("--snapshot", figure, "--size", size, *extra, source)
        back = os.path.join(work, f"figure-{ending}.png")
        if ending == "pdf":
            subprocess.run(render + [figure, back[:-4]], check=True)
            text = subprocess.run(["pdftotext", figure, "-"], capture_output=True,
                                  text=True).stdout
        else:
            subprocess.run(render + [back, figure], check=True)
            text = open(figure, encoding="utf-8").read()
        alike, apart = rendered_like(reference, back) if r.returncode == 0 else (False, None)
        check(alike and "horizontal" in text and "vertical" in text and "left eye" in text
              and "right eye" in text and all(word in text for word in words),
              f"{ending.upper()} {' '.join(extra)}: rendered back it matches the PNG ({apart} "
              f"pixels apart), its labels are text ({r.stderr.strip()[-120:]})")

# Fonts that go with the figure, by Ghostscript: every font of a PDF
# embedded (pdffonts), the EPS carrying its font programs, an SVG's labels
# drawn as outlines of the same fonts (the words kept as their titles); a
# figure written again over its own without --force.
def pdf_fonts(path):
    """(name, embedded) of each font pdffonts lists."""
    lines = subprocess.run(["pdffonts", path], capture_output=True, text=True).stdout.splitlines()
    if len(lines) < 2:
        return []
    at = lines[0].index("emb")
    return [(line.split()[0], line[at:at + 3].strip()) for line in lines[2:]]


def eps_fonts(path):
    """(name, program) of each font the EPS uses: the font's descriptor
    names a FontFile object, and the file holds it with its data."""
    text = open(path, encoding="latin-1").read()
    objects = dict(re.findall(r"\n(\d+) 0 obj\n(.*?)endobj", text, re.S))
    fonts = []
    for number, body in objects.items():
        name = re.search(r"/BaseFont/([^/\s>]+)", body)
        if not name or "/Type/Font" not in body:
            continue
        descriptor = re.search(r"/FontDescriptor (\d+) 0 R", body)
        program = re.search(r"/FontFile\d? (\d+) 0 R", objects.get(descriptor.group(1), "")) \
            if descriptor else None
        data = objects.get(program.group(1), "") if program else ""
        fonts.append((name.group(1), program is not None and "stream" in data and len(data) > 1000))
    return fonts


figures = {ending: os.path.join(work, f"fonts.{ending}") for ending in ("pdf", "eps", "svg")}
for ending, figure in figures.items():
    for attempt in range(2):
        r = run("--snapshot", figure, "--size", "500x400", "--plot", recording)
        check(r.returncode == 0 and "not embedded" not in r.stderr and "not outlines" not in r.stderr,
              f"{ending.upper()} with Ghostscript, {'again over its own' if attempt else 'new'} "
              f"({r.stderr.strip()[-200:]})")
fonts = pdf_fonts(figures["pdf"])
check(len(fonts) >= 2 and all(embedded == "yes" for _, embedded in fonts),
      f"pdffonts: every font of the PDF embedded ({fonts})")
fonts = eps_fonts(figures["eps"])
check(len(fonts) >= 2 and all(program for _, program in fonts)
      and {name.split("+")[-1] for name, _ in fonts} >= {"NimbusMonoPS-Regular", "NimbusRoman-Regular"},
      f"the EPS carries the program of every font it uses ({fonts})")
svg = open(figures["svg"], encoding="utf-8").read()
outlined = re.findall(r"<path transform=\"matrix\(1 0 0 -1 [^\"]+\)\" fill=\"#[0-9a-f]{6}\" "
                      r"d=\"M[^\"]*\"><title>([^<]*)</title>", svg)
check("<text" not in svg and "+ horizontal" in outlined and "+ vertical" in outlined,
      f"the SVG's labels are outlines titled with their words ({outlined[:6]})")
back = os.path.join(work, "fonts-eps.png")
subprocess.run(["gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=png16m", "-r72",
                "-dEPSCrop", "-dTextAlphaBits=4", "-dGraphicsAlphaBits=4", f"-sOutputFile={back}",
                figures["eps"]], check=True)
reference = os.path.join(work, "fonts-reference.png")
run("--snapshot", reference, "--size", "500x400", "--plot", recording)
alike, apart = rendered_like(reference, back)  # without the scale: EPS has no transparency
check(alike, f"the EPS rendered back by Ghostscript matches the PNG ({apart} pixels apart)")
# A page wider than Letter and taller than A4 keeps all of itself (the key
# in the upper right, the time plot's right end).
large = os.path.join(work, "large.eps")
r = run("--snapshot", large, "--size", "840x860", "--plot", recording)
back = os.path.join(work, "large-eps.png")
subprocess.run(["gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=png16m", "-r72",
                "-dEPSCrop", "-dTextAlphaBits=4", "-dGraphicsAlphaBits=4", f"-sOutputFile={back}",
                large], check=r.returncode == 0)
run("--snapshot", reference, "--size", "840x860", "--plot", "--legend", recording)
alike, apart = rendered_like(reference, back) if r.returncode == 0 else (False, None)
check(alike, f"an EPS of 840x860 points rendered back matches the PNG whole ({apart} pixels apart)")

# Without Ghostscript the figure still works, its fonts named only, and a
# line says so and how to embed them.
for ending in ("pdf", "svg"):
    figure = os.path.join(work, f"plain.{ending}")
    r = subprocess.run([BINARY, "--snapshot", figure, recording], cwd=work, capture_output=True,
                       text=True, env=child_env(PATH="/nonexistent"))
    named = pdf_fonts(figure) if ending == "pdf" else []
    ok = all(embedded == "no" for _, embedded in named) and len(named) >= 2 if ending == "pdf" \
        else "<text" in open(figure, encoding="utf-8").read()
    check(r.returncode == 0 and ok and "Ghostscript was not found" in r.stderr
          and "apt install ghostscript" in r.stderr and "QUELVIST_GHOSTSCRIPT" in r.stderr,
          f"{ending.upper()} without Ghostscript: written, fonts named only, and said "
          f"({r.returncode}, {named}, {r.stderr.strip()!r})")

# A Ghostscript that fails, or writes something else, replaces nothing:
# the figure of that name stays, nothing partial is left.
kept = open(figures["pdf"], "rb").read()
for name, script in (("fails", "echo 'gs: broken' >&2; exit 1"),
                     ("writes junk", 'for a; do case "$a" in -sOutputFile=*) '
                                     'echo junk > "${a#-sOutputFile=}";; esac; done; cat > /dev/null')):
    fake = os.path.join(work, "fake-gs")
    with open(fake, "w") as f:
        f.write("#!/bin/sh\n" + script + "\n")
    os.chmod(fake, 0o755)
    r = subprocess.run([BINARY, "--snapshot", figures["pdf"], "--size", "500x400", recording],
                       cwd=work, capture_output=True, text=True,
                       env=child_env(QUELVIST_GHOSTSCRIPT=fake))
    check(r.returncode == 2 and "Ghostscript could not embed" in r.stderr
          and open(figures["pdf"], "rb").read() == kept
          and not [f for f in os.listdir(work) if ".partial-" in f],
          f"a Ghostscript that {name}: status 2, the figure as it was ({r.stderr.strip()!r})")

# Names and texts that PDF, PostScript and XML would take as their own
# syntax: a recording named with them, the Listing lines' parentheses.
odd = os.path.join(work, "p(q) & <r>\\.txt")
subprocess.run(["cp", os.path.join(DATA, "test.txt"), odd], check=True)
for ending in ("pdf", "svg", "eps"):
    figure = os.path.join(work, f"odd.{ending}")
    r = run("--snapshot", figure, "--size", "640x480", "--listing", "--fit", odd)
    if ending == "pdf":
        read = subprocess.run(["pdftotext", figure, "-"], capture_output=True, text=True)
        ok = read.returncode == 0 and read.stderr == "" and "fixation samples)" in read.stdout
    elif ending == "svg":
        import xml.dom.minidom  # noqa: E402
        try:
            ok = "fixation samples)" in xml.dom.minidom.parse(figure).toxml()
        except Exception as error:  # a broken file
            ok, read = False, error
    else:
        text = open(figure, encoding="latin-1").read() if r.returncode == 0 else ""
        ok = "samples\\)" in text and "(p(q" not in text
    check(r.returncode == 0 and ok, f"{ending.upper()}: a name and texts with ( ) & < > \\ "
                                    f"make a valid file ({r.stderr.strip()[-120:]})")

# A movie for a talk: the clock on every frame, the trail, nothing else.
# The left eye spends its first second far left, then two seconds right.
talk = os.path.join(work, "talk.txt")
with open(talk, "w") as out:
    out.write("Export\nTime\tx\n")
    for i in range(301):
        h = -12 + 4 * i / 100 if i < 100 else 2 + 8 * (i - 100) / 200
        cols = [i / 100, 0, 0, h, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0]
        out.write("\t".join(f"{c:.4f}".replace(".", ",") for c in cols) + "\n")
movie = os.path.join(work, "talk.mp4")
r = run("--movie", movie, "--clock", "--trail", "--clean", "--speed", "3", "--hide",
        "right,drum,cross,edges", talk)
frames = os.path.join(work, "frames")
os.mkdir(frames)
subprocess.run(["ffmpeg", "-v", "error", "-i", movie, os.path.join(frames, "%04d.png")],
               check=r.returncode == 0)
last = os.path.join(frames, max(os.listdir(frames) or ["none"]))
frame = read_png(last) if r.returncode == 0 else None
left_x = round(project((-8, 0, 0), (-90, 180, 0), 30, 1)[0])
right_x = round(project((6, 0, 0), (-90, 180, 0), 30, 1)[0])


def drawn(*p):
    return max(abs(c - 178) for c in p) > 40  # off the background, past the encoder's blur


check(frame is not None and frame.count(drawn, (left_x - 15, 140, left_x + 15, 160)) == 0
      and frame.count(drawn, (right_x - 15, 140, right_x + 15, 160)) > 5,
      "--trail: the last frame shows the last two seconds only")
clock = os.path.join(work, "clock.png")
# Its white letters alone, black on white.
subprocess.run(["convert", last, "-crop", "100x25+0+275", "+repage", "-colorspace", "Gray",
                "-threshold", "75%", "-negate", "-resize", "400%", clock], check=frame is not None)
words = subprocess.run(["tesseract", clock, "-", "--psm", "7"], capture_output=True,
                       text=True).stdout.strip()
check(words.replace(" ", "") == "t=3.00s", f"--clock: the last frame says t = 3.00 s ({words!r})")
finish()

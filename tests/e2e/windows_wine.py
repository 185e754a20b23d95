"""The Windows build under Wine: its unit tests, a snapshot equal to the Linux
build's, one scenario through the dialogs, keys and menu, and the installer.
Arguments: build-win/ folder, the Linux quelvist, the data folder."""
import glob
import os
import shutil
import subprocess
import sys
import tempfile

WIN = os.path.abspath(sys.argv[1])
LINUX_BINARY = os.path.abspath(sys.argv[2])
sys.argv = [sys.argv[0], os.path.join(WIN, "quelvist.exe"), sys.argv[3]]

import harness  # noqa: E402
from harness import (DATA, Viewer, check, differing, finish, geometry, is_blue, is_red,  # noqa: E402
                     name_of, near, ocr_until, read_png, screenshot, wait_until, write_recording,
                     xdo)

WINE = "/usr/lib/wine/wine64"
work = tempfile.mkdtemp(prefix="quelvist-wine-")
prefix = os.path.join(work, "prefix")
# Wine links the prefix's Pictures folder to the home folder: a home of its own.
home = os.path.join(work, "home")
os.mkdir(home)
os.environ.update(WINEPREFIX=prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=",
                  HOME=home)
harness.RUNNER = [WINE]
harness.UNDER_WINE = True
subprocess.run([WINE, "wineboot", "-i"], capture_output=True, timeout=300)


def wine(*args, cwd=None, env=None, timeout=120):
    return subprocess.run([WINE, *args], cwd=cwd, capture_output=True, text=True, timeout=timeout,
                          env=env)


def errors_of(stderr):
    """stderr without Wine's and freeglut's remarks about the display."""
    return [line for line in stderr.splitlines()
            if line and "CreateDC failed" not in line and "bad '-display'" not in line
            and not line.startswith("wine:")]


# The unit tests, built for Windows.
large = os.path.join(os.path.dirname(LINUX_BINARY), "tests", "large_recording.txt")
r = wine(os.path.join(WIN, "tests", "unit_tests.exe"), cwd=DATA,
         env=dict(os.environ, QUELVIST_SAMPLE="test.txt",
                  QUELVIST_LARGE_RECORDING="Z:" + large.replace("/", "\\")))
check(r.returncode == 0 and "[  PASSED  ]" in r.stdout,
      f"the unit tests pass under Wine ({r.stdout.strip().splitlines()[-1:]})")

# Both builds draw the same picture, pixel for pixel, of a time range too.
for size, extra in (("300x300", []), ("640x480", []), ("300x300", ["--from", "10", "--to", "20,5"]),
                    ("640x480", ["--plot", "--scale", "--fit"]), ("640x480", ["--listing", "--fit"])):
    name = size + "-".join(extra)
    win_png, linux_png = os.path.join(work, f"win-{name}.png"), os.path.join(work, f"linux-{name}.png")
    r = wine(os.path.join(WIN, "quelvist.exe"), "--snapshot", win_png, "--size", size, *extra,
             "test.txt", cwd=DATA)
    subprocess.run([LINUX_BINARY, "--snapshot", linux_png, "--size", size, *extra, "test.txt"],
                   cwd=DATA, env=harness.child_env(), check=True)
    same = os.path.exists(win_png) and read_png(win_png).data == read_png(linux_png).data
    check(r.returncode == 0 and same, f"--snapshot {size} {extra}: Windows and Linux pixels are equal")

# A vector figure from the Windows build, rendered back at its size, matches
# the Linux PNG but for the lines' antialiasing (both blurred by a pixel and
# a half, at most 1 % of the pixels apart by over 20 %).
win_pdf = os.path.join(work, "win.pdf")
r = wine(os.path.join(WIN, "quelvist.exe"), "--snapshot", "Z:" + win_pdf.replace("/", "\\"),
         "--size", "640x480", "--plot", "--scale", "--fit", "test.txt", cwd=DATA)
apart = None
if r.returncode == 0:
    subprocess.run(["pdftoppm", "-r", "72", "-png", "-singlefile", win_pdf, win_pdf[:-4]], check=True)
    for path in (win_pdf[:-4] + ".png", os.path.join(work, "linux-640x480--plot---scale---fit.png")):
        subprocess.run(["convert", path, "-blur", "0x1.5", path + ".blur.png"], check=True)
    apart = subprocess.run(["compare", "-metric", "AE", "-fuzz", "20%", win_pdf[:-4] + ".png.blur.png",
                            os.path.join(work, "linux-640x480--plot---scale---fit.png.blur.png"), "null:"],
                           capture_output=True, text=True).stderr.split()[0]
check(apart is not None and float(apart) <= 0.01 * 640 * 480,
      f"a PDF snapshot under Wine matches the Linux PNG ({apart} pixels apart; {r.stderr[-120:]!r})")

# The resources read back from the .exe: the manifest (long paths, real
# pixels on scaled screens, Windows 10/11, no elevation), the version, the icon.
exe = os.path.join(WIN, "quelvist.exe")
dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", exe], capture_output=True, text=True).stdout
with open(exe, "rb") as f:
    image = f.read()
wanted = [b"<longPathAware", b">PerMonitorV2<", b"8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a", b'level="asInvoker"',
          "ProductName".encode("utf-16-le"), "1.0.0".encode("utf-16-le"),
          "GLUT_ICON".encode("utf-16-le")]  # the icon freeglut gives its windows
check(all(f"ID: {kind}" in dump for kind in ("0x000018", "0x000010", "0x00000e", "0x000003"))
      and all(w in image for w in wanted),
      "quelvist.exe carries its manifest, version and icon resources")

# The report: the same numbers from both builds.
r = wine(os.path.join(WIN, "quelvist.exe"), "--report", "test.txt", cwd=DATA)
linux = subprocess.run([LINUX_BINARY, "--report", "test.txt"], cwd=DATA, capture_output=True,
                       text=True, env=harness.child_env())
check(r.returncode == 0 and r.stdout.replace("\r\n", "\n") == linux.stdout and linux.stdout,
      f"--report: Windows and Linux give the same numbers ({r.stdout[-200:]!r})")

# Every file through one door on Windows too: the recording (and its name
# in other case), a device, a folder and a read-only file are refused with
# the recording unchanged; what is written leaves no partial file; a batch
# sees x.png and X.PNG as one file.
outputs = os.path.join(work, "outputs")
os.mkdir(outputs)
shutil.copy(os.path.join(DATA, "test.txt"), os.path.join(outputs, "rec.txt"))
with open(os.path.join(outputs, "rec.txt"), "rb") as f:
    recording_bytes = f.read()
r = wine(os.path.join(WIN, "quelvist.exe"), "--events", "events.tsv", "rec.txt", cwd=outputs)
check(r.returncode == 0, f"--events under Wine ({r.stderr[-120:]!r})")
shutil.copy(os.path.join(outputs, "events.tsv"), os.path.join(outputs, "locked.tsv"))
os.chmod(os.path.join(outputs, "locked.tsv"), 0o444)
for target, says in (("rec.txt", "the recording"), ("REC.TXT", "the recording"),
                     ("NUL", "a device"), (".", "a folder"), ("locked.tsv", "read-only")):
    r = wine(os.path.join(WIN, "quelvist.exe"), "--events", target, "rec.txt", cwd=outputs)
    check(r.returncode == 2 and says in r.stderr, f"--events {target}: refused ({r.stderr[-120:]!r})")
for sub, name in (("a", "x.txt"), ("b", "X.TXT")):
    os.makedirs(os.path.join(outputs, sub))
    shutil.copy(os.path.join(DATA, "test.txt"), os.path.join(outputs, sub, name))
r = wine(os.path.join(WIN, "quelvist.exe"), "--snapshot", "out/{name}.png", "a/x.txt", "b/X.TXT",
         cwd=outputs)
check(r.returncode == 2 and "would both be written to" in r.stderr,
      f"a batch: out/x.png and out/X.png are one file on Windows ({r.stderr[-160:]!r})")
with open(os.path.join(outputs, "rec.txt"), "rb") as f:
    check(f.read() == recording_bytes and not [n for n in os.listdir(outputs) if ".partial-" in n],
          "the recording is unchanged and no partial file is left")

# A movie without ffmpeg on the PATH: the message, status 2, no file.
movie = os.path.join(work, "talk.mp4")
r = wine(os.path.join(WIN, "quelvist.exe"), "--movie", "Z:" + movie.replace("/", "\\"), "test.txt",
         cwd=DATA, env=dict(os.environ, QUELVIST_FFMPEG="no-ffmpeg-here"))
check(r.returncode == 2 and "ffmpeg could not be started" in r.stderr and
      not [f for f in os.listdir(work) if f.startswith("talk")],
      f"--movie without ffmpeg: status 2 and a message ({r.returncode}, {r.stderr[-200:]!r})")

# A recording deep in a study's folders (a path of more than 300
# characters): read, and its snapshot written beside it.
deep = os.path.join(work, *[f"study_folder_with_a_long_descriptive_name_{i}" for i in range(8)])
os.makedirs(deep)
shutil.copy(os.path.join(DATA, "test.txt"), deep)
deep_png = os.path.join(deep, "deep.png")
r = wine(os.path.join(WIN, "quelvist.exe"), "--snapshot", "Z:" + deep_png.replace("/", "\\"),
         "Z:" + os.path.join(deep, "test.txt").replace("/", "\\"), cwd=DATA)
check(len(deep) > 300 and r.returncode == 0 and os.path.exists(deep_png)
      and read_png(deep_png).data == read_png(os.path.join(work, "linux-300x300.png")).data,
      f"a recording in a folder of {len(deep)} characters opens with --snapshot ({r.returncode}, {r.stderr[-160:]!r})")

# An ffmpeg.exe left in the working folder is never started: a planted one
# that writes a marker, no ffmpeg beside quelvist.exe or on the PATH.
planted = os.path.join(work, "planted")
os.makedirs(planted, exist_ok=True)
shutil.copy(os.path.join(DATA, "test.txt"), planted)
source = os.path.join(planted, "marker.c")
with open(source, "w") as f:
    f.write('#include <stdio.h>\nint main(void) { FILE* m = fopen("marker.txt", "w");'
            ' if (m) fclose(m); return 1; }\n')
subprocess.run(["x86_64-w64-mingw32-gcc", source, "-o", os.path.join(planted, "ffmpeg.exe")], check=True)
r = wine(os.path.join(WIN, "quelvist.exe"), "--movie", "talk.mp4", "test.txt", cwd=planted)
check(r.returncode == 2 and "ffmpeg could not be started" in r.stderr
      and not os.path.exists(os.path.join(planted, "marker.txt")),
      f"an ffmpeg.exe in the working folder is never started ({r.returncode}, {r.stderr[-160:]!r})")

exe = "Z:" + os.path.join(WIN, "quelvist.exe").replace("/", "\\")
# A name with a lone surrogate (allowed on Windows, not in UTF-8) reaches the
# program as it was given: its message names the file by the same units.
# Wine itself cannot create such a file, so the open is expected to fail.
source = os.path.join(work, "lone.c")
with open(source, "w") as f:
    f.write('#include <windows.h>\n#include <wchar.h>\nint wmain(int argc, wchar_t** argv) {'
            ' wchar_t line[600]; swprintf(line, 600, L"\\"%ls\\" --snapshot x.png a\\xD800" L"b.txt", argv[1]);'
            ' STARTUPINFOW si = {sizeof si}; PROCESS_INFORMATION pi; DWORD code = 99;'
            ' if (!CreateProcessW(NULL, line, NULL, NULL, TRUE, 0, NULL, NULL, &si, &pi)) return 98;'
            ' WaitForSingleObject(pi.hProcess, INFINITE); GetExitCodeProcess(pi.hProcess, &code);'
            ' return (int)code; }\n')
subprocess.run(["x86_64-w64-mingw32-gcc", "-municode", source, "-o", os.path.join(work, "lone.exe")],
               check=True)
r = subprocess.run([WINE, os.path.join(work, "lone.exe"), exe], cwd=DATA, capture_output=True, timeout=120)
check(r.returncode == 1 and b"Could not open filename a\xed\xa0\x80b.txt" in r.stderr + r.stdout,
      f"a lone surrogate in a file name survives the command line ({r.returncode}, {r.stderr[-160:]!r})")

# Command lines as a prompt passes them on, unquoted by anyone (a batch
# file): the C runtime and CommandLineToArgvW split "" inside quotes
# differently, and the arguments are those of CommandLineToArgvW.
for line, status, output in (('--help """" y', 0, "Usage: quelvist"),
                             ('--snapshot "x""y.png" test.txt', 2, "quelvist:")):
    with open(os.path.join(work, "line.bat"), "w") as bat:
        bat.write(f'@"{exe}" {line}\r\n@exit %errorlevel%\r\n')
    try:
        r = wine("cmd", "/c", os.path.join(work, "line.bat"), cwd=DATA, timeout=60)
        result = (r.returncode, output in r.stdout + r.stderr)
    except subprocess.TimeoutExpired:  # a crash waits in Wine's debugger
        result = ("no end", False)
    check(result == (status, True), f"quelvist.exe {line}: status {status} ({result})")

# A size the screen cannot hold: refused, nothing written.
big = os.path.join(work, "big.png")
r = wine(os.path.join(WIN, "quelvist.exe"), "--snapshot", "Z:" + big.replace("/", "\\"), "--size",
         "3000x2000", "test.txt", cwd=DATA)
check(r.returncode == 2 and errors_of(r.stderr) and not os.path.exists(big),
      f"--size 3000x2000 on a smaller screen: status 2, a message, no file ({r.returncode}, "
      f"{errors_of(r.stderr)})")


def clipboard():
    """What Wine put on the clipboard (it offers it to X as CLIPBOARD)."""
    r = subprocess.run(["xclip", "-o", "-selection", "clipboard"], capture_output=True, timeout=10)
    return r.stdout.decode("utf-8", "replace") if r.returncode == 0 else None


def type_into_dialog(dialog, text, attempts=4):
    """Types text into the file dialog's name field, reads the field back
    (selected and copied) and types it again while it reads otherwise: a
    busy Wine can drop or swap a letter that xdotool types by remapping a
    spare key. True once the field holds text."""
    for _ in range(attempts):
        xdo("windowfocus", "--sync", str(dialog))
        xdo("key", "--delay", "100", "End", "shift+Home", "BackSpace")
        xdo("type", "--delay", "150", text)
        xdo("key", "--delay", "100", "End", "shift+Home", "ctrl+c")
        if wait_until(lambda: clipboard() == text or None, 20.0):
            return True
    return False


def key_unclicked(viewer, key):
    """Presses key without clicking the window first; true once it arrived."""
    mark = viewer.trace.mark()
    xdo("key", key)
    return viewer.trace.wait("key", mark, timeout=10) is not None


# One run through the dialogs, keys and the menu. The harness clicks the
# window before each key (a left click without moving turns nothing); the
# keys after the menu pick go without.
v = Viewer(cwd=DATA)
dialog = v.wait_dialog(120)
check(dialog is not None and name_of(dialog) == "Open", "the file dialog opens")
if dialog:
    words = ocr_until(dialog, "wine-file-dialog", "Textdateien")
    check("Textdateien" in words and "Documents" in words,
          f"it offers Textdateien (*.TXT), in Documents ({words[-80:]!r})")
    v.answer(dialog, "alt+t", "Down")  # the next file type
    words = ocr_until(dialog, "wine-file-dialog-all", "All files")
    check("all files (*.*)" in words.lower(), f"and All files (*.*) ({words[-80:]!r})")
    v.answer_until_gone(dialog, "Escape")
    question = v.wait_dialog(60)
    check(question is not None and name_of(question) == "", "the full-screen question follows")
    if question:
        words = ocr_until(question, "wine-question", "fullscreen")
        check("Do you want to change to fullscreen?" in words, f"the question ({words!r})")
        v.answer_until_gone(question, "n")
        window = v.wait_window(120)
        check(window is not None and geometry(window)["WIDTH"] == 300,
              "No gives the 300x300 window; Cancel read test.txt")
        if window:
            check(v.trace.lines[v.trace.find("ready")] == "ready 30000", "30000 samples read")
            said = [line for line in v.trace.lines if line.startswith("swap interval")]
            check(said in (["swap interval 0"], ["swap interval 1"]),
                  f"the swap interval is asked of Wine's WGL ({said})")
            v.key("A")  # ends the line saying the recording reaches past the view
            start = v.shot("wine-start")
            check(start.count(is_blue) > 300 and start.count(is_red) > 300, "both paths drawn")
            v.key("F1")
            check(v.shot("wine-F1").count(is_blue) < 5, "F1 hides the left path")
            v.key("F1")
            v.key("F10")
            v.key("F9")
            check(differing(start, v.shot("wine-zoom")) == 0, "F10 then F9 give the start view")
            v.key("a")
            first = v.trace.find("frame", v.trace.find("key a"))
            check(v.trace.frame_samples(first) <= 50, "a starts the replay from the first samples")
            v.key("plus", "plus", "plus")
            v.trace.wait_frame(lambda n: n > 1200, v.trace.mark())
            v.key("space")
            paused = v.trace.latest_samples()
            v.key("Right", "Right", "shift+t")
            trail = v.trace.latest_samples()
            check(995 <= trail <= 1001, f"paused, stepped, the trail shows 2 seconds ({trail})")
            v.key("shift+t")
            check(v.trace.latest_samples() == paused + 2,
                  f"Space pauses, Right steps ({paused} + 2)")
            v.key("r")
            check(differing(start, v.shot("wine-reset")) == 0, "r shows the whole paths again")
            mark = v.trace.mark()
            xdo("mousemove", "--window", str(window), "150", "150", "mousedown", "1",
                "mousemove", "--window", str(window), "190", "150", "mouseup", "1")
            v.trace.wait("drag", mark)
            xdo("click", "4")
            v.wait_frames_after(v.trace.wait("wheel away", mark))
            check(differing(start, v.shot("wine-drag")) > 100, "a drag turns and the wheel zooms")
            v.key("1")
            mark = v.trace.mark()
            xdo("click", "5")
            v.wait_frames_after(v.trace.wait("wheel toward", mark))
            check(differing(start, v.shot("wine-front")) == 0,
                  "1 and a notch toward give the start view back")
            # The time plot: a drag across it draws a range of times, a
            # click in it picks the sample at that time and draws them all.
            v.key("p")
            mark = v.trace.mark()
            xdo("mousemove", "--window", str(window), "100", "250", "mousedown", "1",
                "mousemove", "--window", str(window), "130", "250",
                "mousemove", "--window", str(window), "160", "250", "mouseup", "1")
            v.wait_frames_after(v.trace.wait("range", mark))
            check(0 < v.trace.latest_samples() < 30000,
                  f"p: a drag in the time plot draws a range ({v.trace.latest_samples()} samples)")
            mark = v.trace.mark()
            xdo("mousemove", "--window", str(window), "200", "250", "click", "1")
            v.wait_frames_after(v.trace.wait("pick", mark))
            check(v.trace.find("range none", mark) is not None and v.trace.latest_samples() == 30000,
                  "a click in it picks a sample and draws every sample again")
            v.key("p")
            mark = v.trace.mark()
            v.key("s")
            g = geometry(window)
            words = ocr_until(None, "wine-s-line", "quelvist-001",
                              crop=f"195x30+{g['X']}+{g['Y'] + 270}", timeout=2.5, light=True)
            check(near(words, "saved quelvist-001.png"), f"s says what it saved ({words!r})")
            v.wait_frames_after(v.trace.wait("message gone", mark, timeout=20))
            saved = os.path.join(DATA, "quelvist-001.png")
            check(os.path.exists(saved) and differing(read_png(saved), v.shot("wine-s")) == 0,
                  "s writes the view to quelvist-001.png, and the line goes")
            # Windows repeats a held key as presses without releases.
            repeats = v.hold("s", until=5)
            written = sorted(f for f in os.listdir(DATA) if f.startswith("quelvist-"))
            check(repeats >= 5 and written == ["quelvist-001.png", "quelvist-002.png"],
                  f"s held ({repeats} presses reported) writes one file ({written})")
            for name in written:
                os.remove(os.path.join(DATA, name))
            v.open_submenu(0)
            v.pick()  # "Hide left eye (F1)"
            check(v.shot("wine-menu").count(is_blue) < 5, "the menu's Hide left eye (F1) works")
            # The pointer stays where the pick left it.
            check(v.trace.wait("frame", v.trace.mark(), 100) is not None,
                  "frames go on after a menu pick")
            # The menus were rebuilt; their windows do not keep the keyboard.
            check(key_unclicked(v, "F1") and key_unclicked(v, "F1"),
                  "keys reach the window after menus were rebuilt, without a click")
            # Ctrl+O: the Win32 dialog again; another recording replaces
            # the sample, and the window's title names it.
            other = os.path.join(work, "other.txt")
            write_recording(other, [(-5, 0, 0, 1, 5, 0, 0, 1), (-15, 5, 0, 1, 15, 5, 0, 1),
                                    (-10, 10, 0, 1, 10, 10, 0, 1)])
            mark = v.trace.mark()
            xdo("mousemove", "--window", str(window), "296", "4", "click", "1")
            xdo("key", "ctrl+o")
            dialog = wait_until(lambda: next((w for w in v.new_windows() if name_of(w) == "Open"),
                                             None), 120)
            check(dialog is not None, "Ctrl+O opens the file dialog")
            if dialog:
                typed = "Z:" + other.replace("/", "\\")
                check(type_into_dialog(dialog, typed), f"the path reads back ({clipboard()!r})")
                v.answer_until_gone(dialog, "Return", timeout=120)
            opened = v.trace.wait("opened", mark, timeout=120)
            check(opened is not None and v.trace.lines[opened] == "opened 3"
                  and name_of(window) == "Quelvist - other.txt",
                  f"Ctrl+O shows the other recording, named in the title "
                  f"({v.trace.read()[mark:][-3:]}, {name_of(window)!r})")
            v.key("Escape")
            check(v.wait_exit(60) == 1, "ESC ends with status 1")
v.stop()

# Greek letters in a folder's name: typed into the dialog, and on the
# command line with -f; Yes and -f give full screen.
greek = os.path.join(work, "Ελληνικά")
chinese = os.path.join(work, "数据")
for folder in (greek, chinese):
    os.mkdir(folder)
    write_recording(os.path.join(folder, "Aufnahme.txt"),
                    [(-5, 0, 0, 1, 5, 0, 0, 1), (-15, 5, 0, 1, 15, 5, 0, 1)])
# The -f run works in a folder that goes away: s saves into Pictures.
gone = os.path.join(work, "gone")
os.mkdir(gone)
for label, args, typed, answer in (("typed Greek path, Yes", [], greek, "y"),
                                    ("-f with a Chinese path", ["-f", os.path.join(chinese, "Aufnahme.txt")],
                                     None, "n")):
    v = Viewer(args, cwd=gone if args else work)
    if typed:
        dialog = v.wait_dialog(120)
        if dialog:
            # Slowly, and read back: xdotool types a letter outside the
            # keymap by remapping a spare key, which a busy Wine may read
            # after the next remap.
            path = "Z:" + typed.replace("/", "\\") + "\\Aufnahme.txt"
            check(type_into_dialog(dialog, path), f"{label}: the path reads back as typed ({clipboard()!r})")
            v.answer_until_gone(dialog, "Return", timeout=120)
    question = v.wait_dialog(120)
    if question:
        v.answer_until_gone(question, answer, timeout=120)
    # Room for a slow Wine: the program says when its first frame is shown.
    v.trace.wait("ready", timeout=300)
    window = v.wait_window(120)
    check(window is not None, f"{label}: the recording opens ({v.trace.read()[:1]})")
    if window:
        # Wine shows full screen in a window of its own: the picture's
        # background reaches the screen's corners.
        def covers():
            image = screenshot(None, "wine-" + label.split()[0])
            corners = [image.at(x, y) for x, y in ((2, 2), (1277, 2), (2, 1021), (1277, 1021))]
            return image if all(c == (178, 178, 178) for c in corners) else None
        shot = wait_until(covers, 60.0)
        check(shot is not None, f"{label}: full screen")
        shot = shot or screenshot(None, "wine-" + label.split()[0])
        check(v.trace.lines[v.trace.find("ready")] == "ready 2", f"{label}: its 2 samples read")
        check(shot.count(is_blue) > 10 and shot.count(is_red) > 10, f"{label}: both paths drawn")
        if args:
            os.rmdir(gone)
            mark = v.trace.mark()
            v.key("s")
            said = v.trace.find("message saved C:\\users\\", mark)
            check(said is not None and v.trace.lines[said].endswith("\\Pictures\\quelvist-001.png")
                  and os.path.exists(os.path.join(home, "quelvist-001.png")),
                  f"{label}: s in a removed folder saves into Pictures and says where "
                  f"({v.trace.lines[said] if said is not None else v.trace.lines[mark:][-3:]})")
        v.key("Escape")
        check(v.wait_exit(60) == 1, f"{label}: ESC ends with status 1")
    v.stop()

# A missing file: the "Error" box, then status 1.
v = Viewer(["missing.txt"], cwd=work)
error = v.error_after_question()
check(error is not None and name_of(error) == "Error", "a missing file: the Error box")
if error:
    words = ocr_until(error, "wine-error", "Could not open")
    check("Could not open filename missing.txt." in words, f"with its message ({words!r})")
    v.answer_until_gone(error, "Return")
    check(v.wait_exit(60) == 1, "and status 1")
v.stop()

# At 144 dpi (a laptop at 150 %) the program, aware of the scale, keeps real
# pixels: the full screen is the screen's size and the help lines are drawn
# in the tall window's larger letters, sharp enough to read.
subprocess.run([WINE, "reg", "add", "HKCU\\Control Panel\\Desktop", "/v", "LogPixels", "/t",
                "REG_DWORD", "/d", "144", "/f"], capture_output=True, timeout=120)
subprocess.run(["/usr/lib/wine/wineserver", "-w"], timeout=120)
v = Viewer(["test.txt"])
question = v.wait_dialog(120)
if question:
    v.answer_until_gone(question, "y")
window = v.wait_window(120)
check(window is not None and (geometry(window)["WIDTH"], geometry(window)["HEIGHT"]) == (1280, 1024),
      f"at 144 dpi the full screen has the screen's pixels ({window and geometry(window)})")
if window:
    words = ocr_until(None, "wine-144dpi", "all keys and mouse", crop="560x140+130+20", light=True)
    check(near(words, "h - all keys and mouse") and near(words, "F9..F10 - zoom in/out"),
          f"and its help lines read ({words[-160:]!r})")
    v.key("Escape")
    v.wait_exit(60)
v.stop()

# The installer, silently into a fresh prefix; the installed program, run
# from another folder, finds its images.dat (the drum equals Linux's).
setup = glob.glob(os.path.join(WIN, "Quelvist-*-win64-setup.exe"))[0]
install_env = dict(os.environ, WINEPREFIX=os.path.join(work, "install-prefix"))
subprocess.run([WINE, "wineboot", "-i"], env=install_env, capture_output=True, timeout=300)
r = subprocess.run([WINE, setup, "/S"], env=install_env, capture_output=True, timeout=300)
installed = os.path.join(install_env["WINEPREFIX"], "drive_c", "Program Files", "Quelvist")
files = sorted(os.listdir(installed)) if os.path.isdir(installed) else []
check(r.returncode == 0 and {"quelvist.exe", "images.dat", "test.txt", "uninstall.exe"} <= set(files),
      f"/S installs into Program Files\\Quelvist ({files})")
reg = subprocess.run([WINE, "reg", "query",
                      r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quelvist"],
                     env=install_env, capture_output=True, text=True)
check("DisplayName" in reg.stdout, "it is listed in Add/Remove Programs")
# Each image of the program's icon file, as the installer carries it.
with open(os.path.join(DATA, "icons", "quelvist.ico"), "rb") as f:
    ico = f.read()
images = [ico[int.from_bytes(ico[6 + 16 * i + 12:6 + 16 * i + 16], "little"):][
    :int.from_bytes(ico[6 + 16 * i + 8:6 + 16 * i + 12], "little")]
    for i in range(int.from_bytes(ico[4:6], "little"))]
with open(setup, "rb") as f:
    installer = f.read()
check("Quelvist installer".encode("utf-16-le") in installer and all(i in installer for i in images),
      f"the installer says who made it and shows the program's icon ({len(images)} images)")
# The Start-menu entry is every user's; uninstalling leaves none behind.
programs = os.path.join(install_env["WINEPREFIX"], "drive_c", "ProgramData", "Microsoft", "Windows",
                        "Start Menu", "Programs", "Quelvist")
own = glob.glob(os.path.join(install_env["WINEPREFIX"], "drive_c", "users", "*", "AppData", "Roaming",
                             "Microsoft", "Windows", "Start Menu", "Programs", "Quelvist"))
check(os.path.exists(os.path.join(programs, "Quelvist.lnk")) and not own,
      f"the Start-menu entry is in every user's menu ({own})")
elsewhere = os.path.join(work, "elsewhere")
os.mkdir(elsewhere)
out = os.path.join(elsewhere, "installed.png")
r = subprocess.run([WINE, os.path.join(installed, "quelvist.exe"), "--snapshot", out,
                    os.path.join(installed, "test.txt")], cwd=elsewhere, env=install_env,
                   capture_output=True, text=True, timeout=120)
linux_png = os.path.join(work, "linux-300x300.png")
check(r.returncode == 0 and os.path.exists(out) and read_png(out).data == read_png(linux_png).data,
      f"the installed program shows the drum from its images.dat ({errors_of(r.stderr)})")
# The uninstaller copies itself away and runs on: its end is the folders gone.
subprocess.run([WINE, os.path.join(installed, "uninstall.exe"), "/S"], env=install_env,
               capture_output=True, timeout=300)
gone = wait_until(lambda: not os.path.exists(programs) and not os.path.exists(installed), 120)
check(gone, f"uninstalling removes the program and its Start-menu entry "
            f"({os.path.exists(programs)}, {os.path.exists(installed)})")
shutil.rmtree(work, ignore_errors=True)
finish()

"""A researcher replays a recording longer than the table: pages through it,
starts the replay, pauses, steps, changes the speed, shows the trail and
uses the Replay menu; the notice and the readout are read off the screen."""
import os
import re
import subprocess
import sys
import tempfile

from harness import DATA, check, finish, geometry, near, ocr_until, viewer_or_finish

folder = tempfile.mkdtemp(prefix="quelvist-replay-")
long_recording = os.path.join(folder, "long.txt")
subprocess.run([sys.executable, os.path.join(os.path.dirname(DATA), "tools", "make_recording.py"),
                "--rows", "120000", "--seed", "3", "-o", long_recording], check=True)

v, window = viewer_or_finish([long_recording], "the viewer starts on a 120000-sample recording")
g = geometry(window)
BOTTOM = f"195x70+{g['X']}+{g['Y'] + 230}"  # the notice and the readout


def bottom_text(name, expected):
    """The status lines, read with the paths and the cross hidden (white
    text over white path starts defeats OCR)."""
    v.key("F1", "F2", "F5")
    words = ocr_until(None, name, expected, crop=BOTTOM, timeout=10.0, light=True).replace("—", "-").replace("–", "-")
    words = re.sub(r" ?- ?", "-", words)
    v.key("F1", "F2", "F5")
    return words


check(v.trace.latest_samples() == 50000, "the first 50000 samples are drawn")
words = bottom_text("20-notice", "of 120000")
check(near(words, "1-50000 of 120000 (0.000-99.998 s of 239.998 s"), f"a line says which samples are shown ({words!r})")
v.key("Page_Down")
words = bottom_text("21-page-2", "50001")
check(near(words, "50001-100000 of 120000") and v.trace.latest_samples() == 50000,
      f"Page Down shows the next samples ({words!r})")
v.key("Page_Down", "Page_Down")
words = bottom_text("22-page-3", "100001")
check(near(words, "100001-120000 of 120000") and v.trace.latest_samples() == 20000,
      f"the last page holds the last 20000 and Page Down stops there ({words!r})")
v.key("Page_Up")
check(v.trace.latest_samples() == 50000, "Page Up goes back a page")

# Home and End show the first and the last page. t asks for a time in the
# status line and shows the page that holds it, its sample picked: at 500 Hz
# sample n (from 1) is at (n - 1) / 500 s, so 201,5 s is sample 100751; a
# time past the end picks the last sample; ESC gives up without quitting.
mark = v.trace.mark()
v.key("End")
check(v.trace.wait("page 100000", mark) is not None and v.trace.latest_samples() == 20000,
      "End shows the last page")
mark = v.trace.mark()
v.key("Home")
check(v.trace.wait("page 0", mark) is not None and v.trace.latest_samples() == 50000,
      "Home shows the first page")
v.key("t", "2", "0", "1", "comma", "5")
words = bottom_text("22-go-to-time", "201")
check(near(words, "Go to time") and re.search(r"201\D?5", words) is not None,
      f"t asks for the time in the status line ({words!r})")
mark = v.trace.mark()
v.key("Return")
picked = v.trace.wait("pick", mark)
check(v.trace.find("page 100000", mark) is not None and picked is not None
      and v.trace.lines[picked] == "pick 100751",
      f"Return shows the page that holds 201.5 s with its sample picked "
      f"({v.trace.lines[picked] if picked is not None else None})")
mark = v.trace.mark()
v.key("t", "9", "Escape")
check(v.trace.wait("time entry cancelled", mark) is not None and v.proc.poll() is None,
      "ESC gives up typing the time and leaves the viewer open")
mark = v.trace.mark()
v.key("t", "9", "9", "9", "9", "Return")
picked = v.trace.wait("pick", mark)
check(picked is not None and v.trace.lines[picked] == "pick 120000",
      f"a time past the end picks the last sample ({v.trace.lines[picked] if picked else None})")
v.key("Home", "Page_Down")

# The replay on the second page: fast forward, pause, step, slow down.
mark = v.trace.mark()
v.key("a", *["plus"] * 8)
v.trace.wait_frame(lambda n: 5000 < n < 50000, mark)
v.key("space")
paused = v.trace.latest_samples()
v.key("Right", "shift+Right", "Left")
check(v.trace.latest_samples() == paused + 10, f"paused at {paused}, Right, Shift+Right and Left step to "
      f"{paused + 10} ({v.trace.latest_samples()})")
v.key(*["minus"] * 6)
# The pace is measured as the replay runs: at another speed nothing is known
# until it has run at it.
words = bottom_text("23-readout-unmeasured", "paused")
check(re.search(r"/tick\W*paused", words) is not None,
      f"a speed changed while paused has no figure yet ({words!r})")
mark = v.trace.mark()
v.key("space")
check(v.trace.wait("pace", mark) is not None, "running, the pace is measured")
v.key("space")
paused = v.trace.latest_samples()


def readout_names(words, number):
    """At 500 Hz sample n is at (n - 1) / 500 s; 4 samples every 5 ms are 1.6
    times real time, and the replay runs at that pace or slower. The numbers
    are checked: OCR of the small bitmap font misreads a word or a decimal
    point now and then ("veal time", "111,798", "113 844")."""
    seconds = f"{(number - 1) / 500:.3f}".split(".")
    pace = re.search(r"tick\W*(\d)\D?(\d\d)\s?x", words)
    return (re.search(rf"{seconds[0]}\D?\s?{seconds[1]}", words) is not None
            and near(words, f"{number} of 120000")
            and pace is not None and 0 < float(f"{pace[1]}.{pace[2]}") <= 1.6 * 1.05
            and near(words, "paused"))


# A misread digit is read again at the next sample: other digits, other pixels.
for attempt in range(5):
    number = 50000 + v.trace.latest_samples()
    words = bottom_text("23-readout", f"sample {number}")
    if readout_names(words, number):
        break
    print(f"note: OCR read {words!r} at sample {number}; stepping on")
    v.key("Right")
    paused += 1
check(readout_names(words, number),
      f"the readout names the time, the sample, the count and the measured pace ({words!r})")
v.key("shift+t")
trail = v.trace.latest_samples()
check(995 <= trail <= 1001, f"the trail shows the last 2 seconds: {trail} samples at 500 Hz")
v.key("shift+t", "space")
check(v.trace.wait_frame(lambda n: n > paused, v.trace.mark()) is not None,
      "Space resumes the replay")

wx, wy = g["X"], g["Y"]
words = v.read_submenu(4, "24-menu-replay", f"220x340+{wx + 252}+{wy + 140}", "Last page")
for label in ("Stop build-up (a)", "Pause (Space)", "Step back (Left)", "Step forward (Right)",
              "Faster (+)", "Slower (-)", "Show trail (T)", "Next page (PgDn)",
              "Previous page (PgUp)", "Go to time... (t)", "First page (Home)", "Last page (End)"):
    check(label in words, f"the Replay menu offers {label!r}")
v.pick()  # the first entry: stop the build-up
check(v.trace.latest_samples() == 50000, "Stop build-up (a) shows the whole page again")

# The file is replaced by a folder: Page Up keeps the page and says why.
os.remove(long_recording)
os.mkdir(long_recording)
v.key("Page_Up")
v.key("F1", "F2", "F5")
words = ocr_until(None, "25-not-again", "again", crop=f"195x70+{wx}+{wy + 230}", timeout=10.0,
                 light=True)
v.key("F1", "F2", "F5")
check(near(words, "not read") and "50001" in words and v.trace.latest_samples() == 50000,
      f"a file that cannot be read again keeps its page, and the window says so ({words!r})")

v.stop()
finish()

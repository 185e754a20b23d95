"""Start-up as a user meets it: the file dialog, the full-screen question,
the window, and the error message for a file that cannot be opened."""
import os
import tempfile

from harness import (Viewer, check, finish, geometry, is_blue, is_red, name_of, ocr_until,
                     screenshot, wait_until, write_recording, xdo)

work = tempfile.mkdtemp(prefix="quelvist-start-")


def covers_screen(g):
    return g if (g["WIDTH"], g["HEIGHT"], g["X"], g["Y"]) == (1280, 1024, 0, 0) else None


# Cancel in the file dialog reads test.txt from the working directory (data/).
v = Viewer()
dialog = v.wait_dialog()
check(dialog is not None, "the file dialog opens")
if dialog:
    check(geometry(dialog)["WIDTH"] > 300, "the file dialog is a real dialog")
    words = ocr_until(dialog, "file-dialog", "Textdateien")
    check("Textdateien" in words, f"the filter is offered ({words[-120:]!r})")
    v.answer(dialog, "Escape")
    v.wait_dialog_gone(dialog)
    question = v.wait_dialog()
    check(question is not None and question != dialog, "the full-screen question follows")
    if question:
        check(name_of(question) == "", "the question has an empty title")
        words = ocr_until(question, "question", "fullscreen?")
        check("Do you want to change to fullscreen?" in words, f"the question's text ({words!r})")
        v.answer(question, "Escape")
        window = v.wait_window()
        check(window is not None, "No opens the Quelvist window")
        if window:
            g = geometry(window)
            check((g["WIDTH"], g["HEIGHT"]) == (300, 300), f"a 300x300 window ({g})")
            check((g["X"], g["Y"]) == (300, 200), f"at (300, 200) ({g})")
            check(question not in xdo("search", "--onlyvisible", "--name", "").split(),
                  "the question has left the screen")
            shot = v.shot("cancel-reads-test-txt")
            check(shot.count(is_blue) > 100, "the left path of test.txt is drawn in blue")
            check(shot.count(is_red) > 100, "the right path of test.txt is drawn in red")
v.stop()

# Return in the file dialog takes the proposed test.txt at once.
v = Viewer()
dialog = v.wait_dialog()
if dialog:
    v.answer_until_gone(dialog, "Return")
    window = v.start_windowed()
    check(window is not None, "Return in the file dialog opens the proposed test.txt")
    if window:
        shot = v.shot("return-takes-test-txt")
        check(shot.count(is_blue) > 100 and shot.count(is_red) > 100, "and shows it")
v.stop()

# A file picked by typing its path in the dialog is the one shown: only a
# left path, in blue, on the right half of the screen (positive x is left).
picked = os.path.join(work, "Picked.TXT")
write_recording(picked, [(-5, 0, 0, 1, 900, 0, 0, 1), (-15, 5, 0, 1, 900, 0, 0, 1)])
v = Viewer(cwd=work)
dialog = v.wait_dialog()
if dialog:
    v.answer(dialog, "ctrl+l")
    xdo("type", "--delay", "20", picked)
    xdo("key", "Return")
    v.wait_dialog_gone(dialog)
    window = v.start_windowed()
    check(window is not None, "the picked file opens")
    if window:
        shot = v.shot("picked-file")
        check(shot.count(is_blue, (150, 0, 300, 300)) > 20, "the picked file's path is drawn")
        check(shot.count(is_blue, (0, 0, 140, 300)) == 0, "nothing of it on the left half")
        check(shot.count(is_red) == 0, "no right path: it lies far outside the view")
v.stop()

# Yes gives full screen; so does "-f" with No.
for args, answer, label in ((["test.txt"], "alt+y", "Yes"), (["-f", "test.txt"], "Escape", "-f and No")):
    v = Viewer(args)
    question = v.wait_dialog()
    check(question is not None, f"{label}: the question is asked")
    if question:
        v.answer(question, answer)
        window = v.wait_window()
        check(window is not None, f"{label}: a window opens")
        if window:
            g = wait_until(lambda: covers_screen(geometry(window)), 30.0) or geometry(window)
            check(covers_screen(g), f"{label}: the window covers the screen ({g})")
            shot = screenshot(None, "fullscreen-" + label.replace(" ", "-"))
            check(shot.count(is_blue) > 500, f"{label}: the paths are drawn full screen")
    v.stop()

# "-F" and "-fullscreen" are not options: status 2 and the option meant,
# before any dialog or window.
for wrong, says in (("-F", "unknown option -F (did you mean -f?)"),
                    ("-fullscreen", "unknown option -fullscreen")):
    v = Viewer([wrong, "test.txt"])
    status = v.wait_exit()
    err = v.proc.stderr.read()
    check(status == 2 and says in err and not v.new_windows(),
          f"{wrong}: status 2, {says!r}, no window ({status}, {err.strip()!r})")
    v.stop()

# A missing file: the error message with the exact text, then status 1.
# A directory named without letters that OCR confuses (0 and O, 1 and l).
folder = os.path.join(work, "Recordings")
os.mkdir(folder)
for path, label in (("missing.txt", "missing"), ("Recordings", "directory")):
    v = Viewer([path], cwd=work)
    error = v.error_after_question()
    check(error is not None, f"{label}: an error dialog opens")
    if error:
        check(name_of(error) == "Error", f"{label}: titled Error ({name_of(error)!r})")
        words = ocr_until(error, "error-" + label, "Could not open")
        expected = f"Could not open filename {path}."
        check(expected in words, f"{label}: says {expected!r} ({words!r})")
        v.answer(error, "Return")
        status = v.wait_exit()
        check(status == 1, f"{label}: the process ends with status 1 ({status})")
        check(error not in xdo("search", "--onlyvisible", "--name", "").split(),
              f"{label}: the dialog has gone")
    v.stop()

# Cancel in a directory without test.txt: the same error, naming test.txt.
v = Viewer(cwd=work)
dialog = v.wait_dialog()
if dialog:
    v.answer(dialog, "Escape")
    v.wait_dialog_gone(dialog)
    question = v.wait_dialog()
    v.answer(question, "Escape")
    v.wait_dialog_gone(question)
    error = v.wait_dialog()
    words = ocr_until(error, "error-cancel", "Could not open") if error else ""
    check("Could not open filename test.txt." in words, f"Cancel falls back to test.txt ({words!r})")
    if error:
        v.answer(error, "Return")
    check(v.wait_exit() == 1, "and ends with status 1")
v.stop()

finish()

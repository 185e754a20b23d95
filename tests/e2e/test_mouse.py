"""Looking around with the mouse and the view keys: a horizontal drag turns
the plot about its vertical axis, which stays on the window's centre line; a
vertical drag tips it; key 1 brings the front view back; each notch of the
wheel changes the distance by a factor of 1.15, read off the axis cross's
length; neither the wheel nor F10 zooms through the centre. Full screen, the
pointer shows only while the mouse is in use."""
from harness import (Viewer, check, cursor_pixels, differing, finish, is_black, menu_windows,
                     viewer_or_finish, wait_until, xdo)

v, window = viewer_or_finish(["test.txt"], "the viewer starts on test.txt")


def drag(dx, dy):
    """Drags with the left button from the window's centre, in steps, and
    returns once the viewer has turned by all of it and shown a frame."""
    mark = v.trace.mark()
    xdo("mousemove", "--window", str(window), "150", "150", "mousedown", "1")
    for step in range(1, 5):
        xdo("mousemove", "--window", str(window), str(150 + dx * step // 4),
            str(150 + dy * step // 4))
    xdo("mouseup", "1")

    def moved():
        lines = v.trace.read()[mark:]
        moves = [line.split() for line in lines if line.startswith("drag")]
        return sum(int(m[1]) for m in moves) == dx and sum(int(m[2]) for m in moves) == dy

    check(wait_until(moved, 30.0), f"the viewer reports the drag by ({dx}, {dy})")
    last = max(i for i, line in enumerate(v.trace.read()) if line.startswith("drag"))
    v.wait_frames_after(last)


def wheel(button, notches):
    mark = v.trace.mark()
    xdo("mousemove", "--window", str(window), "150", "150")
    for _ in range(notches):
        xdo("click", button)
    v.wait_frames_after(v.trace.wait("wheel", mark, notches))


def centre_line(image):
    """Black pixels of the vertical axis, below the centre, on the centre line."""
    return image.count(is_black, (148, 165, 153, 215))


v.key("F1", "F2", "F4")  # the cross alone
start = v.shot("30-cross")
drag(60, 0)
turned = v.shot("31-dragged-sideways")
check(centre_line(start) > 40 and centre_line(turned) > 40 and differing(start, turned) > 100,
      f"a horizontal drag turns the plot about its vertical axis, which stays on the centre line "
      f"({centre_line(start)}, {centre_line(turned)}, {differing(start, turned)} pixels changed)")
drag(0, 40)
tipped = v.shot("32-dragged-down")
check(differing(turned, tipped) > 100, "a vertical drag tips the plot toward the viewer")
v.key("1")
check(differing(start, v.shot("33-front")) == 0, "key 1 gives the front view back")

def cross_width(image):
    """The horizontal axis's length in pixels: the dark run on the centre row."""
    xs = [x for x in range(300) if any(is_black(*image.at(x, y)) for y in (149, 150, 151))]
    return max(xs) - min(xs) if xs else 0


wheel("4", 2)  # X's button 4: the wheel turned away from the user
closer = v.shot("34-wheel-away")
# In the front view the axis lies in the screen plane: its length on screen
# goes as 1 / distance, so two notches make it 1.15^2 = 1.3225 times longer.
ratio = cross_width(closer) / max(cross_width(start), 1)
check(abs(ratio - 1.3225) < 0.03, f"two notches away zoom in by 1.15 each ({cross_width(start)} -> "
      f"{cross_width(closer)} pixels, {ratio:.3f})")
wheel("5", 2)
check(differing(start, v.shot("35-wheel-toward")) == 0, "two notches toward zoom out again")

# F10 held far past the centre, and the wheel: the plot never vanishes.
v.key(*["F10"] * 70)
near = v.shot("36-F10-bound")
wheel("4", 10)
nearest = v.shot("37-wheel-bound")
check(near.count(is_black) > 200 and differing(near, nearest) == 0,
      f"F10 and the wheel stop before the centre ({near.count(is_black)} axis pixels)")
check(v.trace.find("cursor") is None, "a window keeps its pointer as it is")
v.stop()

# Full screen the pointer is hidden while the mouse rests: moving, dragging
# and the menu show it, and 2 seconds after the mouse was last used it hides
# again.
v = Viewer(["-f", "test.txt"])
window = v.start_windowed()  # -f: full screen whatever the answer
check(window is not None, "the viewer starts full screen")
if window:
    check(v.trace.find("cursor") is None and cursor_pixels() == 0, "the pointer is hidden at start")
    for what, actions in (("moving", [("mousemove", "640", "500")]),
                          ("dragging", [("mousedown", "1", "mousemove", "700", "520"),
                                        ("mousemove", "760", "540", "mouseup", "1")]),
                          ("opening the menu", [("click", "3")])):
        mark = v.trace.mark()
        for action in actions:
            xdo(*action)
        shown = v.trace.wait("cursor shown", mark)
        check(shown is not None and wait_until(lambda: cursor_pixels() > 0, 10.0),
              f"{what} shows the pointer")
        if what == "dragging":
            check(v.trace.find("drag", mark) is not None, "and the drag turns the plot")
        if what == "opening the menu":
            check(wait_until(menu_windows, 10.0), "the menu opens")
            v.close_menu()
        hidden = v.trace.wait("cursor hidden", shown or mark, timeout=20.0)
        check(hidden is not None and wait_until(lambda: cursor_pixels() == 0, 10.0),
              f"after {what} the pointer hides again")
v.stop()
finish()

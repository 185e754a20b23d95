"""Looking around with the mouse and the view keys: a horizontal drag turns
the plot about its vertical axis, which stays on the window's centre line; a
vertical drag tips it; key 1 brings the front view back; the wheel zooms as
F10 and F9 do."""
from harness import check, differing, finish, is_black, viewer_or_finish, wait_until, xdo

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

wheel("4", 2)  # X's button 4: the wheel turned away from the user
closer = v.shot("34-wheel-away")
v.key("F9", "F9")
check(differing(start, v.shot("35-F9")) == 0, "two F9 undo two notches away")
v.key("F10", "F10")
check(differing(closer, v.shot("36-F10")) == 0 and differing(start, closer) > 100,
      "two notches away zoom in as two F10 do")
wheel("5", 2)
check(differing(start, v.shot("37-wheel-toward")) == 0, "two notches toward zoom out again")
v.stop()
finish()

// The mouse: the left button turns the plot by dragging, the wheel zooms
// (freeglut reports its notches as buttons 3 and 4 when no wheel handler is
// registered, on X11 and Windows alike). The right button is the menu's.
// Full screen, the pointer shows only while the mouse is in use.
#include "interaction/interaction.h"

#include "platform/platform.h"

#include <GL/freeglut.h>

#include <cstdlib>

namespace {

constexpr int WHEEL_AWAY = 3;   // away from the user: zoom in, as F10
constexpr int WHEEL_TOWARD = 4; // toward the user: zoom out, as F9

struct Drag {
    bool active;
    int x, y;
    int downX, downY; // where the button went down: a click moves less than 3 pixels
    bool inTimePlot;  // went down in the time plot: selects a range of times
};
Drag drag;
constexpr int CLICK_MOVEMENT = 3;

// Full screen hides the pointer while the mouse rests.
struct IdleCursor {
    bool hides; // full screen; a window keeps its pointer
    bool shown;
    bool menuOpen;
    double movedAt; // secondsNow() of the latest movement, press or release
};
IdleCursor cursor;

void updateCursor(double now) {
    if (!cursor.hides) return;
    const bool shows = cursorShows(now, cursor.movedAt, drag.active || cursor.menuOpen);
    if (shows == cursor.shown) return;
    cursor.shown = shows;
    useViewerWindow();
    glutSetCursor(shows ? GLUT_CURSOR_LEFT_ARROW : GLUT_CURSOR_NONE);
    traceEvent(shows ? "cursor shown" : "cursor hidden");
}

void noteMouseActivity() {
    cursor.movedAt = secondsNow();
    updateCursor(cursor.movedAt);
}

} // namespace

bool cursorShows(double now, double movedAt, bool held) {
    return held || now - movedAt < IDLE_CURSOR_SECONDS;
}

void hideCursorWhenIdle() {
    cursor = {true, false, false, -IDLE_CURSOR_SECONDS};
}

void updateIdleCursor(double now) {
    updateCursor(now);
}

void holdCursorForMenu(bool open) {
    cursor.menuOpen = open;
    noteMouseActivity();
}

void onPassiveMotion(int, int) {
    noteMouseActivity();
}

void onMouse(int button, int state, int x, int y) {
    touchPicture();
    endStartViewNotice();
    if (button == GLUT_LEFT_BUTTON) {
        const bool click =
            state == GLUT_UP && drag.active &&
            (x - drag.downX) * (x - drag.downX) + (y - drag.downY) * (y - drag.downY) <
                CLICK_MOVEMENT * CLICK_MOVEMENT;
        const bool wasInTimePlot = drag.active && drag.inTimePlot;
        if (state == GLUT_DOWN)
            drag = {true, x, y, x, y, timePlotHolds(x, y)};
        else
            drag.active = false;
        noteMouseActivity(); // after drag: a button held keeps the pointer shown
        if (state == GLUT_DOWN) return;
        useViewerWindow();
        if (wasInTimePlot && click)
            clickTimePlot(x, y);
        else if (wasInTimePlot)
            dragTimePlot(drag.downX, x, true);
        else if (click && !pickInMainSequence(x, y))
            pickAt(x, y);
        return;
    }
    if ((button == WHEEL_AWAY || button == WHEEL_TOWARD) && state == GLUT_DOWN) {
        useViewerWindow();
        zoomByWheel(view, button == WHEEL_AWAY ? 1 : -1);
        viewMovedAt = secondsNow();
        traceEvent("wheel %s", button == WHEEL_AWAY ? "away" : "toward");
        glutPostRedisplay();
    }
    noteMouseActivity();
}

void onMotion(int x, int y) {
    touchPicture();
    noteMouseActivity();
    if (!drag.active) return;
    if (drag.inTimePlot) {
        // The range follows the pointer once it has moved as a drag does.
        if (std::abs(x - drag.downX) >= CLICK_MOVEMENT) {
            useViewerWindow();
            dragTimePlot(drag.downX, x, false);
        }
        return;
    }
    const int dx = x - drag.x, dy = y - drag.y;
    turnByDrag(view, dx, dy);
    viewMovedAt = secondsNow();
    drag.x = x;
    drag.y = y;
    traceEvent("drag %d %d", dx, dy);
}

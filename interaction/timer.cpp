// The 5 ms timer that turns the view and the drum and runs the replay.
#include "interaction/interaction.h"

#include "recording/recording.h"
#include "scene/scene.h"

#include <GL/freeglut.h>

#include <cmath>

float keepAngleInRange(float angle) {
    // Far below the point where a step of 0.5 would be lost in rounding; fmod
    // is exact, so the picture does not change.
    if (std::fabs(angle) > ANGLE_WRAP_BOUND) return std::fmod(angle, 360.0f);
    return angle;
}

bool applyTimerStep(ViewState& state, int rowCount) {
    if (state.rotateX) state.angleX = keepAngleInRange(state.angleX - ANGLE_STEP);
    if (state.rotateY) state.angleY = keepAngleInRange(state.angleY + ANGLE_STEP);
    if (state.rotateZ) state.angleZ = keepAngleInRange(state.angleZ + ANGLE_STEP);
    state.drumAngle = keepAngleInRange(state.drumAngle + ANGLE_STEP);
    return advanceReplay(state, rowCount);
}

void useViewerWindow() {
    // Always made current again: GLUT can leave a menu's GL context current
    // while it names the viewer's window as the current one.
    if (viewerWindow) glutSetWindow(viewerWindow);
}

void onTimer(int value) {
    if (value != TIMER_TAG) return;
    useViewerWindow();
    if (applyTimerStep(view, recording.rowCount)) buildCurveList();
    rebuildPendingMenus();
    passOnWaitingSnapshot();
    glutTimerFunc(TIMER_PERIOD_MS, onTimer, TIMER_TAG);
}

// The 5 ms timer that turns the view and the drum and runs the replay.
#include "interaction/interaction.h"

#include "platform/platform.h"
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

ReplayPace replayPace;
double viewMovedAt = -1e9;
double pictureTouchedAt = -1e9;

void touchPicture() {
    pictureTouchedAt = secondsNow();
}
double (*frameOfTick)();

// The recording time from the newest sample drawn at count before to the one
// at after; a start again from the first sample advances nothing.
static double recordingTimeAdvanced(int32_t before, int32_t after) {
    if (before < 1 || after <= before || after > recording.rowCount) return 0;
    const double advanced = recording.rows[after - 1].col[0] - recording.rows[before - 1].col[0];
    return advanced > 0 ? advanced : 0;
}

static StepClock stepClock;

void onTimer(int value) {
    if (value != TIMER_TAG) return;
    useViewerWindow();
    const double now = secondsNow();
    bool rowsChanged = false;
    double advanced = 0; // recording time, step by step: a start again adds nothing
    for (int steps = timerStepsDue(stepClock, now); steps > 0; steps--) {
        const int32_t before = view.buildUpCount;
        rowsChanged |= applyTimerStep(view, recording.rowCount);
        advanced += recordingTimeAdvanced(before, view.buildUpCount);
        // The replay's whole picture (recording or range) is shown for one
        // step before it starts again: the frame shows it, and the steps
        // left are dropped.
        if (before != view.buildUpCount && replayAtItsEnd(view, recording.rowCount)) break;
    }
    if (rowsChanged) buildCurveList();
    const bool paceKnown = replayPace.figure > 0;
    measureReplayPace(replayPace, view, now, advanced);
    if (!paceKnown && replayPace.figure > 0) traceEvent("pace %.2f", replayPace.figure);
    updateIdleCursor(now);
    rebuildPendingMenus();
    passOnWaitingSnapshot();
    // The drum turns every step: there is always a new picture to show. The
    // timer wakes again when the next frame is due, not every step: waking
    // 200 times a second cost as much as a tenth of the frames.
    const double wait = frameOfTick ? frameOfTick() : TIMER_STEP_SECONDS;
    glutTimerFunc(wait > 0 ? static_cast<unsigned>(std::ceil(wait * 1000)) : 0, onTimer, TIMER_TAG);
}

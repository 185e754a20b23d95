// The one view record and its start values.
#include "view/view.h"

ViewState view;
int windowWidth;
int windowHeight;
bool snapshotRequested;
int viewerWindow;
unsigned framesShown;
PlotProjection framePlotProjection;

void resetViewMotion(ViewState& state) {
    state.angleX = -90;
    state.angleY = 180;
    state.angleZ = 0;
    state.mirrorTorsion = 0;
    state.rotateX = 0;
    state.rotateY = 0;
    state.rotateZ = 0;
    state.distance = 30;
    state.centreH = state.centreT = state.centreV = 0;
    state.torsionScale = 1;
    state.buildUpCount = -1;
    state.replayPaused = 0;
    state.replaySpeed = 0;
    state.replayWait = 0;
    state.rangeFirst = -1;
    state.rangeEnd = -1;
}

void setStartView(ViewState& state) {
    state.showLeftEye = 1;
    state.showRightEye = 1;
    state.showDifference = 0;
    state.showEdges = 1;
    state.showCross = 1;
    state.drumAngle = 0;
    state.showTrail = 0;
    state.showGaps = 0;
    state.pickedRow = -1;
    state.showHelp = 0;
    state.showScale = 0;
    state.showPlot = 0;
    state.showListing = 0;
    state.showEvents = 0;
    state.showVergence = 0;
    state.showDrum = 1;
    state.showHelpLines = 1;
    state.orthographic = 0;
    state.showLegend = 0;
    state.hideLegend = 0;
    state.showNystagmus = 0;
    state.showMainSequence = 0;
    resetViewMotion(state);
}

void zoomByWheel(ViewState& state, int notches) {
    // In double and rounded once: a notch toward the user then undoes one
    // away (30 / 1.15 * 1.15 is 30 again).
    double exact = state.distance;
    for (; notches > 0; notches--)
        exact /= 1.15;
    for (; notches < 0; notches++)
        exact *= 1.15;
    const float distance = static_cast<float>(exact);
    const float nearest = nearestDistance(state);
    // A distance already nearer (F10 has its own bound) is not pushed away.
    if (distance >= nearest || distance >= state.distance)
        state.distance = distance;
    else if (state.distance > nearest)
        state.distance = nearest;
}

float nearestDistance(const ViewState& state) {
    return state.orthographic ? NEAREST_ORTHO_DISTANCE : NEAREST_DISTANCE;
}

void toggleOrthographic(ViewState& state) {
    state.orthographic = 1 - state.orthographic;
    if (state.distance < nearestDistance(state)) state.distance = nearestDistance(state);
}

double farPlaneFor(float distance) {
    return distance <= 100 ? 200 : distance + 200.0;
}

double viewAspect(int width, int height) {
    return static_cast<double>(width) / (height > 0 ? height : 1);
}

void turnByDrag(ViewState& state, int dx, int dy) {
    // The side facing the viewer follows the pointer, as if grabbed.
    state.angleZ -= DRAG_DEGREES_PER_PIXEL * dx;
    state.angleX += DRAG_DEGREES_PER_PIXEL * dy;
}

void setPresetView(ViewState& state, int preset) {
    // angleX, angleY, angleZ of the front, top, side and subject's views.
    // The front view puts (h, t, v) at eye (-h, -v, -t); the subject's,
    // with torsion mirrored, at (h, v, t).
    static const float presets[4][3] = {{-90, 180, 0}, {0, 180, 0}, {-90, 180, 90}, {-90, 0, 0}};
    if (preset < 1 || preset > PRESET_SUBJECT) return;
    state.angleX = presets[preset - 1][0];
    state.angleY = presets[preset - 1][1];
    state.angleZ = presets[preset - 1][2];
    state.mirrorTorsion = preset == PRESET_SUBJECT;
}

void applyViewChoice(ViewState& state, const ViewChoice& choice) {
    setPresetView(state, choice.preset);
    if (choice.anglesGiven) {
        state.angleX = choice.angles[0];
        state.angleY = choice.angles[1];
        state.angleZ = choice.angles[2];
    }
    if (choice.distanceGiven) state.distance = choice.distance;
    if (choice.torsionScaleGiven) state.torsionScale = choice.torsionScale;
    if (choice.hidden & HIDE_LEFT_EYE) state.showLeftEye = 0;
    if (choice.hidden & HIDE_RIGHT_EYE) state.showRightEye = 0;
    if (choice.hidden & HIDE_DIFFERENCE) state.showDifference = 0;
    if (choice.hidden & HIDE_EDGES) state.showEdges = 0;
    if (choice.hidden & HIDE_CROSS) state.showCross = 0;
    if (choice.hidden & HIDE_DRUM) state.showDrum = 0;
    if (choice.hidden & HIDE_HELP) state.showHelpLines = 0;
    if (choice.orthographic) state.orthographic = 1;
    if (choice.legend) state.showLegend = 1;
    if (choice.hidden & HIDE_LEGEND) state.hideLegend = 1;
}

bool lightFrameWanted(const ViewState& state, double sinceViewMoved, double lastFullFrameSeconds) {
    const bool moving =
        state.rotateX || state.rotateY || state.rotateZ || sinceViewMoved < VIEW_STILL_SECONDS;
    return moving && lastFullFrameSeconds > LIGHT_FRAME_ABOVE_SECONDS;
}

int nextLightFrameStride(int stride, double seconds) {
    const double wanted = stride * seconds * FRAME_RATE_LIMIT;
    const double bounded = wanted < 1 ? 1 : wanted > 4.0 * stride ? 4.0 * stride : wanted;
    const int next = static_cast<int>(bounded + 0.999);
    return next > 64 ? 64 : next;
}

bool frameDue(FramePace& pace, double now) {
    if (now < pace.next) return false;
    const double interval = 1 / FRAME_RATE_LIMIT;
    pace.next = pace.next + interval > now ? pace.next + interval : now + interval;
    return true;
}

bool pictureMoving(const ViewState& state) {
    return state.showDrum || state.rotateX || state.rotateY || state.rotateZ ||
           (state.buildUpCount != -1 && !state.replayPaused);
}

int timerStepsDue(StepClock& clock, double now) {
    if (!clock.started) {
        clock.started = true;
        clock.reached = now;
        return 1;
    }
    const int steps = static_cast<int>((now - clock.reached) / TIMER_STEP_SECONDS);
    if (steps > MAX_TIMER_STEPS_AT_ONCE) {
        clock.reached = now;
        return MAX_TIMER_STEPS_AT_ONCE;
    }
    if (steps > 0) clock.reached += steps * TIMER_STEP_SECONDS;
    return steps > 0 ? steps : 0;
}

int timePlotHeight(int height, bool shown) {
    return shown && height > 0 ? height / 3 : 0;
}

void plotViewport(int viewport[4]) {
    const int panel = timePlotHeight(windowHeight, view.showPlot);
    viewport[0] = 0;
    viewport[1] = panel;
    viewport[2] = windowWidth;
    viewport[3] = windowHeight - panel;
}

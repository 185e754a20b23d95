// The one view record and its start values.
#include "view/view.h"

ViewState view;
int windowWidth;
int windowHeight;
bool snapshotRequested;
int viewerWindow;
unsigned framesShown;

void resetViewMotion(ViewState& state) {
    state.angleX = -90;
    state.angleY = 180;
    state.angleZ = 0;
    state.rotateX = 0;
    state.rotateY = 0;
    state.rotateZ = 0;
    state.distance = 30;
    state.torsionScale = 1;
    state.buildUpCount = -1;
    state.replayPaused = 0;
    state.replaySpeed = 0;
    state.replayWait = 0;
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
    resetViewMotion(state);
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
    // angleX, angleY, angleZ of the front, top and side views.
    static const float presets[3][3] = {{-90, 180, 0}, {0, 180, 0}, {-90, 180, 90}};
    if (preset < 1 || preset > 3) return;
    state.angleX = presets[preset - 1][0];
    state.angleY = presets[preset - 1][1];
    state.angleZ = presets[preset - 1][2];
}

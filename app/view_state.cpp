#include "app/app.h"

ViewState view;
int windowWidth;
int windowHeight;
char recordingPath[RECORDING_PATH_CAPACITY] = "test.txt";

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
}

void setStartView(ViewState& state) {
    state.showLeftEye = 1;
    state.showRightEye = 1;
    state.showDifference = 0;
    state.showEdges = 1;
    state.showCross = 1;
    state.drumAngle = 0;
    resetViewMotion(state);
}

// The replay's commands: start, pause, step, speed, trail and paging
// through recordings longer than the table.
#include "interaction/interaction.h"

#include "platform/platform.h"
#include "recording/recording.h"
#include "scene/scene.h"

#include <GL/freeglut.h>

bool isReplayCommand(int value) {
    return value >= REPLAY_START_STOP && value <= REPLAY_LAST;
}

int replayCommandForKey(unsigned char key) {
    switch (key) {
    case ' ':
        return REPLAY_PAUSE;
    case '+':
        return REPLAY_FASTER;
    case '-':
        return REPLAY_SLOWER;
    case 't':
        return REPLAY_TRAIL;
    default:
        return 0;
    }
}

int replayCommandForSpecialKey(int key) {
    switch (key) {
    case GLUT_KEY_LEFT:
        return REPLAY_BACK;
    case GLUT_KEY_RIGHT:
        return REPLAY_FORWARD;
    case GLUT_KEY_PAGE_DOWN:
        return REPLAY_NEXT_PAGE;
    case GLUT_KEY_PAGE_UP:
        return REPLAY_PREVIOUS_PAGE;
    default:
        return 0;
    }
}

bool applyReplayEffect(ViewState& state, int command, int stepSamples, int rowCount) {
    const int32_t count = state.buildUpCount;
    switch (command) {
    case REPLAY_START_STOP:
        startOrStopReplay(state);
        return true;
    case REPLAY_PAUSE:
        pauseOrResumeReplay(state);
        return false;
    case REPLAY_BACK:
        stepReplay(state, -stepSamples, rowCount);
        return state.buildUpCount != count;
    case REPLAY_FORWARD:
        stepReplay(state, stepSamples, rowCount);
        return state.buildUpCount != count;
    case REPLAY_FASTER:
        changeReplaySpeed(state, 1);
        return false;
    case REPLAY_SLOWER:
        changeReplaySpeed(state, -1);
        return false;
    case REPLAY_TRAIL:
        state.showTrail = 1 - state.showTrail;
        return state.buildUpCount != -1;
    default:
        return false;
    }
}

// Reads the next or previous page of a long recording; the replay, if it
// runs, starts again at the page's first sample.
static void showNeighbourPage(int direction) {
    const long long start = neighbourPageStart(recordingExtent, direction);
    if (start == recordingExtent.firstSample) return;
    if (readRecordingPage(recordingPath, start)) { // another page's rows
        listingPageRead();
        if (view.showEvents) refreshPageEvents();
        if (view.showNystagmus || view.showMainSequence) refreshPageNystagmus();
        view.pickedRow = -1;
        if (view.rangeFirst >= 0) traceEvent("range none");
        view.rangeFirst = view.rangeEnd = -1;
    }
    forgetCurveBlocks();
    if (view.buildUpCount != -1) view.buildUpCount = 1;
    buildCurveList();
}

void applyReplayCommand(int command, int stepSamples) {
    // Without a replay, Left and Right move the picked sample.
    if ((command == REPLAY_BACK || command == REPLAY_FORWARD) &&
        movePick(command == REPLAY_BACK ? -stepSamples : stepSamples))
        return;
    if (command == REPLAY_NEXT_PAGE || command == REPLAY_PREVIOUS_PAGE)
        showNeighbourPage(command == REPLAY_NEXT_PAGE ? 1 : -1);
    else if (applyReplayEffect(view, command, stepSamples, recording.rowCount))
        buildCurveList();
    buildMenus();
}

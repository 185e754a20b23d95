// The replay's commands: start, pause, step, speed, trail and paging
// through recordings longer than the table.
#include "interaction/interaction.h"

#include "platform/platform.h"
#include "recording/recording.h"
#include "scene/scene.h"

#include <GL/freeglut.h>

TimeEntry timeEntry;

bool isReplayCommand(int value) {
    return (value >= REPLAY_START_STOP && value <= REPLAY_LAST) ||
           (value >= REPLAY_GO_TO_TIME && value <= REPLAY_LAST_PAGE);
}

int replayCommandForKey(unsigned char key) {
    switch (key) {
    case ' ':
        return REPLAY_PAUSE;
    case '+':
        return REPLAY_FASTER;
    case '-':
        return REPLAY_SLOWER;
    case 'T':
        return REPLAY_TRAIL;
    case 't':
        return REPLAY_GO_TO_TIME;
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
    case GLUT_KEY_HOME:
        return REPLAY_FIRST_PAGE;
    case GLUT_KEY_END:
        return REPLAY_LAST_PAGE;
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

// What another page of the same recording changes: what was found on the
// old one, the pick and the range; the replay, if it runs, starts again at
// the page's first sample.
static void pageChanged(bool read) {
    if (read) { // another page's rows
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

// Reads the page of a long recording that starts at start.
static void showPage(long long start) {
    if (start == recordingExtent.firstSample) return;
    pageChanged(readRecordingPage(recordingPath, start));
    traceEvent("page %lld", recordingExtent.firstSample);
}

// Shows the page that holds the time, with its sample picked.
static void goToTime(double seconds) {
    const long long before = recordingExtent.firstSample;
    int row = -1;
    const bool read = readPageAtTime(recordingPath, seconds, &row);
    if (recordingExtent.firstSample != before) pageChanged(read);
    traceEvent("page %lld", recordingExtent.firstSample);
    if (read && row >= 0) pickRow(row);
}

void typeTime(unsigned char key) {
    const TimeEntryStep step = typeIntoTimeEntry(timeEntry, key);
    double seconds;
    if (step == TimeEntryStep::Go && timeEntrySeconds(timeEntry, seconds)) goToTime(seconds);
    if (step == TimeEntryStep::Cancel) traceEvent("time entry cancelled");
}

void applyReplayCommand(int command, int stepSamples) {
    // Without a replay, Left and Right move the picked sample.
    if ((command == REPLAY_BACK || command == REPLAY_FORWARD) &&
        movePick(command == REPLAY_BACK ? -stepSamples : stepSamples))
        return;
    if (command == REPLAY_NEXT_PAGE || command == REPLAY_PREVIOUS_PAGE)
        showPage(neighbourPageStart(recordingExtent, command == REPLAY_NEXT_PAGE ? 1 : -1));
    else if (command == REPLAY_FIRST_PAGE || command == REPLAY_LAST_PAGE)
        showPage(command == REPLAY_FIRST_PAGE ? 0 : lastPageStart(recordingExtent));
    else if (command == REPLAY_GO_TO_TIME) {
        startTimeEntry(timeEntry);
        traceEvent("time entry");
    } else if (applyReplayEffect(view, command, stepSamples, recording.rowCount))
        buildCurveList();
    buildMenus();
}

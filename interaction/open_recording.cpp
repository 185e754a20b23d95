// Opening another recording without a restart (Ctrl+O, the main menu): the
// system's file dialog as at start; the new recording replaces the old one
// and the view's angles, distance and switches stay.
#include "interaction/interaction.h"

#include "platform/platform.h"
#include "recording/recording.h"
#include "scene/scene.h"

#include <GL/freeglut.h>

#include <cstdio>
#include <cstring>

namespace {

// The name after the last / or \: the window's title shows it.
const char* fileNameOf(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; p++)
        if (*p == '/' || *p == '\\') name = p + 1;
    return name;
}

} // namespace

void openAnotherRecording() {
    static char path[RECORDING_PATH_CAPACITY];
    snprintf(path, sizeof path, "%s", recordingPath);
    if (!chooseRecordingFile(path, sizeof path)) {
        traceEvent("open cancelled");
        return;
    }
    // A file that cannot be shown leaves the old one, and the window says why.
    if (!openOtherRecording(path, recordingPageNotice, sizeof recordingPageNotice)) {
        traceEvent("open failed");
        return;
    }
    // A view fitted to the old samples (its centre moved) is fitted to the new.
    if (view.centreH != 0 || view.centreT != 0 || view.centreV != 0) fitPending = true;
    view.pickedRow = -1;
    if (view.rangeFirst >= 0) traceEvent("range none");
    view.rangeFirst = view.rangeEnd = -1;
    if (view.buildUpCount != -1) view.buildUpCount = 1;
    listingPageRead();
    if (view.showEvents) refreshPageEvents();
    if (view.showNystagmus || view.showMainSequence) refreshPageNystagmus();
    forgetCurveBlocks();
    forgetKeptPicture();
    buildCurveList();
    buildMenus();
    char title[300];
    snprintf(title, sizeof title, "Quelvist - %.250s", fileNameOf(recordingPath));
    glutSetWindowTitle(title);
    traceEvent("opened %d", recording.rowCount);
}

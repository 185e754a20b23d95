// Picking a sample: a click without movement takes the drawn sample nearest
// the pointer; Left and Right move the pick while no replay runs. The pick
// is marked in the picture, described in a line, traced, and the sample's
// line of the file is printed as it stands, to be pasted.
#include "interaction/interaction.h"

#include "analysis/analysis.h"
#include "platform/platform.h"
#include "recording/recording.h"
#include "scene/scene.h"

#include <GL/freeglut.h>

#include <cstdio>

PickedLine pickedLine;

namespace {

// A click picks within this many pixels of a drawn eye position.
constexpr double PICK_RADIUS = 10;

void announcePick() {
    if (view.pickedRow < 0) {
        traceEvent("pick none");
        return;
    }
    const long long sample = recordingExtent.firstSample + view.pickedRow;
    char line[RECORDING_LINE_BUFFER];
    pickedLine = {sample + 1, 0};
    if (findSampleLine(recordingPath, recordingSelection, sample, line, sizeof line,
                       &pickedLine.line)) {
        printf("%s\n", line);
        fflush(stdout);
    }
    traceEvent("pick %lld", sample + 1);
}

} // namespace

void pickAt(int x, int y) {
    const ShownSamples shown = drawnSamples();
    // GLUT counts rows from the top, GL from the bottom; the pixel's centre.
    view.pickedRow =
        nearestSample(shown, framePlotProjection, x + 0.5, windowHeight - y - 0.5, PICK_RADIUS);
    announcePick();
    glutPostRedisplay();
}

void pickRow(int row) {
    view.pickedRow = row >= 0 && row < recording.rowCount ? row : -1;
    announcePick();
    glutPostRedisplay();
}

bool movePick(int step) {
    if (view.pickedRow < 0 || view.buildUpCount != -1 || recording.rowCount < 1) return false;
    // Within the rows drawn: the page, or the range chosen in the time plot.
    const int first = view.rangeFirst >= 0 ? view.rangeFirst : 0;
    const int end = view.rangeFirst >= 0 && view.rangeEnd < recording.rowCount ? view.rangeEnd
                                                                               : recording.rowCount;
    int row = view.pickedRow + step;
    row = row < first ? first : row >= end ? end - 1 : row;
    view.pickedRow = row;
    announcePick();
    return true;
}

bool pickInMainSequence(int x, int y) {
    int panel[4], plot[4];
    if (!mainSequencePanel(panel, plot)) return false;
    const double wx = x, wy = windowHeight - 1 - y; // from the bottom left
    if (wx < panel[0] || wx > panel[2] || wy < panel[1] || wy > panel[3]) return false;
    // The nearest saccade's dot within reach picks its onset; a click beside
    // every dot picks nothing but stays in the panel.
    int best = -1;
    double nearest = MAIN_SEQUENCE_PICK_PIXELS * MAIN_SEQUENCE_PICK_PIXELS;
    for (int k = 0; k < pageEvents.count; k++) {
        const EyeEvent& e = pageEvents.events[k];
        const bool shown = e.eye == 0 ? view.showLeftEye : view.showRightEye;
        double px, py;
        if (e.kind != EventKind::Saccade || e.eye > 1 || !shown ||
            !mainSequencePoint(plot, e.amplitudeDeg, e.peakVelocity, px, py))
            continue;
        const double d = (px - wx) * (px - wx) + (py - wy) * (py - wy);
        if (d <= nearest) {
            nearest = d;
            best = e.firstRow;
        }
    }
    if (best >= 0) pickRow(best);
    return true;
}

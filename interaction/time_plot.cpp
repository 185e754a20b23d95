// The time plot's mouse: a click picks the sample at that time, a drag
// selects a range of times that the 3D view then draws alone.
#include "interaction/interaction.h"

#include "analysis/analysis.h"
#include "platform/platform.h"
#include "recording/recording.h"
#include "scene/scene.h"

#include <GL/freeglut.h>

#include <algorithm>

namespace {

// The time at window column x (GLUT's), within the plot's span.
double timeAt(const TimePlotFrame& f, int x) {
    const double part = (x + 0.5 - f.x0) / (f.x1 - f.x0);
    return f.t0 + std::clamp(part, 0.0, 1.0) * (f.t1 - f.t0);
}

// A click this near a slow phase's dot (pixels) picks that slow phase.
constexpr double SLOW_PHASE_DOT_RADIUS = 5;

void setRange(int first, int end) {
    view.rangeFirst = first;
    view.rangeEnd = end;
    // A running replay goes on within the range.
    if (view.buildUpCount != -1 && first >= 0 &&
        (view.buildUpCount <= first || view.buildUpCount > end))
        view.buildUpCount = first + 1;
    buildCurveList();
    glutPostRedisplay();
}

} // namespace

bool timePlotHolds(int, int y) {
    return windowHeight - y <= timePlotHeight(windowHeight, view.showPlot);
}

void clearTimePlotRange() {
    if (view.rangeFirst < 0) return;
    setRange(-1, -1);
    traceEvent("range none");
}

void clickTimePlot(int x, int y) {
    clearTimePlotRange();
    TimePlotFrame f;
    if (!timePlotFrame(f)) return;
    // A slow phase's dot picks its middle sample; elsewhere the sample at
    // the time clicked.
    const int slow = velocityDotAt(x, windowHeight - y - 1, SLOW_PHASE_DOT_RADIUS);
    if (slow >= 0) {
        const SlowPhase& s = pageNystagmus.slow[slow];
        pickRow((s.firstRow + s.endRow - 1) / 2);
        return;
    }
    pickRow(rowNearestTime(recording, 0, recording.rowCount, timeAt(f, x)));
}

void dragTimePlot(int x0, int x, bool done) {
    TimePlotFrame f;
    int first, end;
    if (!timePlotFrame(f) ||
        !rowsInTimeSpan(recording, 0, recording.rowCount, timeAt(f, x0), timeAt(f, x), first, end))
        return;
    if (first != view.rangeFirst || end != view.rangeEnd) setRange(first, end);
    if (done)
        traceEvent("range %lld %lld", recordingExtent.firstSample + first + 1,
                   recordingExtent.firstSample + end);
}

// Fitting the view to the samples drawn (key f, the menu, --fit), and the
// notice that the start view leaves some of them out.
#include "interaction/interaction.h"

#include "analysis/analysis.h"
#include "recording/recording.h"
#include "scene/scene.h"

bool fitPending;

namespace {

bool conventionHintEnded; // by the first key, click or menu pick after it showed

// The part of the window the samples fill after a fit.
constexpr double FIT_FILL = 0.9;

struct StartNotice {
    bool decided;  // looked at the first frame with a window
    bool outside;  // part of the samples lay outside the start view
    bool ended;    // the user has done something since
    ViewState was; // the view then; any change of pose ends the notice
};
StartNotice startNotice;

// What a fit or the start notice looks at: the recorded samples drawn, or
// every eye's when everything is hidden. Missing samples are left out even
// while the paths join over them: they are drawn where the file put them
// (often at 0), not where the eye was.
ShownSamples fittedSamples() {
    ShownSamples shown = drawnSamples();
    if (!shown.leftEye && !shown.rightEye) shown.leftEye = shown.rightEye = true;
    shown.skipMissing = true;
    return shown;
}

// The part of the window the 3D picture has (all of it without the time plot).
PlotLens windowLens() {
    int viewport[4];
    plotViewport(viewport);
    return {FIELD_OF_VIEW, viewport[2], viewport[3], view.orthographic != 0};
}

bool samePose(const ViewState& a, const ViewState& b) {
    return a.angleX == b.angleX && a.angleY == b.angleY && a.angleZ == b.angleZ &&
           a.distance == b.distance && a.torsionScale == b.torsionScale && a.centreH == b.centreH &&
           a.centreT == b.centreT && a.centreV == b.centreV;
}

} // namespace

void fitViewToSamples() {
    if (windowLens().width < 1 || windowLens().height < 1) return;
    PlotPose pose = plotPoseOf(view);
    if (!fitPlotPose(fittedSamples(), windowLens(), FIT_FILL, pose)) return;
    // The samples stay clear of the label drum's corner, the key and the
    // main-sequence panel, as the scale's numbers do; their boxes are in
    // window pixels, the lens's in the plot's viewport. Moving away from
    // one box only moves samples toward the middle, away from the others.
    int boxes[3][4], count = 0, panel[4];
    if (drumWindowBox(boxes[count])) count++;
    if (legendWindowBox(boxes[count])) count++;
    if (mainSequencePanel(boxes[count], panel)) count++;
    int viewport[4];
    plotViewport(viewport);
    for (int round = 0; round < 2; round++)
        for (int k = 0; k < count; k++) {
            const int* b = boxes[k];
            const int box[4] = {b[0] - viewport[0], b[1] - viewport[1], b[2] - viewport[0],
                                b[3] - viewport[1]};
            keepSamplesClearOf(fittedSamples(), windowLens(), box, pose);
        }
    setViewCentre(view, pose);
}

void applyPendingFit() {
    if (!fitPending || windowLens().width < 1 || windowLens().height < 1) return;
    fitPending = false;
    fitViewToSamples();
}

void endStartViewNotice() {
    startNotice.ended = startNotice.decided;
    conventionHintEnded = framesShown > 1;
}

const char* startViewNotice() {
    if (!startNotice.decided && windowLens().width > 0 && windowLens().height > 0) {
        startNotice.decided = true;
        startNotice.was = view;
        startNotice.outside = !allSamplesInView(fittedSamples(), plotPoseOf(view), windowLens());
    }
    if (!startNotice.outside || startNotice.ended || !samePose(startNotice.was, view))
        return nullptr;
    return "Part of the recording lies outside the view: f fits it";
}

const char* conventionHint() {
    // Fitted once for each page, after the first frame: start-up stays as fast.
    static char text[160];
    static long long fittedPage = -1;
    static int fittedRows = -1;
    if (framesShown < 1 || conventionHintEnded) return nullptr;
    if (fittedPage != recordingExtent.firstSample || fittedRows != recording.rowCount) {
        fittedPage = recordingExtent.firstSample;
        fittedRows = recording.rowCount;
        ListingPlane planes[2][2];
        fitPagePlanes(fileNumbers(), 0, fileNumbers().rowCount, kinematicsSettings, saccadeSettings,
                      planes);
        describeConventionHint(text, sizeof text, planes, kinematicsSettings.convention);
    }
    return text[0] ? text : nullptr;
}

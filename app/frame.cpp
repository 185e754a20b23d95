// One frame of the picture, the projection and bitmap text.
#include "app/app.h"

#include "analysis/analysis.h"
#include "interaction/interaction.h"
#include "platform/platform.h"
#include "recording/recording.h"
#include "scene/scene.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

#include <algorithm>
#include <cstdio>

static double reshapedAt = -1e9;

void onReshape(int width, int height) {
    reshapedAt = secondsNow();
    touchPicture();
    windowWidth = width;
    windowHeight = height;
    glViewport(0, 0, width, height);
    setEyeProjection(width, height);
    glLoadIdentity();
}

void applyPlotTransform() {
    glTranslatef(0, 0, -view.distance);
    glRotatef(view.angleX, 1, 0, 0);
    glRotatef(view.angleY, 0, 1, 0);
    glRotatef(view.angleZ, 0, 0, 1);
    // A mirrored plot turns its faces' windings: the cubes' fronts are
    // clockwise then (the frame sets counter-clockwise again after the plot).
    if (view.mirrorTorsion) glScalef(1, -1, 1);
    glFrontFace(view.mirrorTorsion ? GL_CW : GL_CCW);
    // The centre a fit chose; the cross and the rings stay at the data's origin.
    glTranslatef(-view.centreH, -view.torsionScale * view.centreT, -view.centreV);
}

bool replayReadoutShown = true;

bool pageNoticeShown = true;

ViewChoice viewChoiceAtStart;
bool cleanView;
bool movieClockShown;

// Which part of a long recording is shown, and the replay's readout; why
// nothing is drawn, and a page that could not be read; what s saved.
static void drawStatusLines() {
    char text[400];
    float y = -30.5f;
    if (timeEntry.active) {
        snprintf(text, sizeof text, "Go to time (s): %s_   Return: go, ESC: cancel",
                 timeEntry.text);
        y = drawStatusText(text, y);
    }
    if (recordingPageNotice[0] && !cleanView) y = drawStatusText(recordingPageNotice, y);
    if (movieClockShown && view.buildUpCount > 0) {
        const int newest = std::min(view.buildUpCount, recording.rowCount) - 1;
        snprintf(text, sizeof text, "t = %.2f s", recording.rows[newest > 0 ? newest : 0].col[0]);
        y = drawStatusText(text, y);
    }
    if (view.showListing && !cleanView) {
        // Each eye's plane, then the angle between them.
        if (listingPlanes[0][0].valid && listingPlanes[1][0].valid) {
            snprintf(text, sizeof text, "angle between the planes %.1f\xB0",
                     planeAngleDeg(listingPlanes[0][0], listingPlanes[1][0]));
            y = drawStatusText(text, y);
        }
        for (int eye = 1; eye >= 0; eye--) {
            describeListingPlane(text, sizeof text, eye, listingPlanes[eye][0]);
            y = drawStatusText(text, y);
        }
    }
    if (view.showNystagmus && pageNystagmus.found && !cleanView)
        for (int eye = 1; eye >= 0; eye--) {
            describeNystagmus(text, sizeof text, eye, pageNystagmus.summary[eye],
                              kinematicsSettings.signs);
            y = drawStatusText(text, y);
        }
    if (describeRecordingTrouble(text, sizeof text, recordingExtent, recordingSelection))
        y = drawStatusText(text, y);
    if (view.pickedRow >= 0 && view.pickedRow < recording.rowCount) {
        const long long sample = recordingExtent.firstSample + view.pickedRow + 1;
        describePickedSample(text, sizeof text, recording, view.pickedRow, sample,
                             pickedLine.sample == sample ? pickedLine.line : 0);
        y = drawStatusText(text, y);
    }
    if (view.buildUpCount != -1 && replayReadoutShown && !cleanView) {
        const int count = view.buildUpCount;
        const float time = recording.rows[count > 0 ? count - 1 : 0].col[0];
        const int shown = count < recording.rowCount ? count : recording.rowCount;
        describeReplay(text, sizeof text, view, time, recordingExtent.firstSample + shown,
                       recordingExtent.selectedSamples, replayPaceFigure(replayPace, view));
        y = drawStatusText(text, y);
    }
    const bool notices = pageNoticeShown && !cleanView;
    if (notices && describeRecordingPage(text, sizeof text, recordingExtent, recording))
        y = drawStatusText(text, y);
    if (const char* notice = notices ? startViewNotice() : nullptr) y = drawStatusText(notice, y);
    if (const char* hint = notices ? conventionHint() : nullptr) y = drawStatusText(hint, y);
    // Above the others, so that they stay put when it comes and goes.
    if (const char* message = snapshotMessage(secondsNow())) drawStatusText(message, y);
}

// The drum's end caps take the texture coordinate and normal current when
// drawn; the drum drawn alone (for a figure's image) starts from those the
// frame's drum started from.
static float drumTexCoord[4], drumNormal[3];

static void drawDrum() {
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, drumTexCoord);
    glGetFloatv(GL_CURRENT_NORMAL, drumNormal);
    glPushMatrix();
    glTranslatef(12, -15, -32);
    glRotatef(view.drumAngle, 1, 0, 0);
    glColor3f(1, 1, 1);
    glEnable(GL_LIGHTING);
    glCallList(LIST_DRUM);
    glDisable(GL_LIGHTING);
    glPopMatrix();
}

void drawDrumAlone() {
    int viewport[4];
    plotViewport(viewport);
    glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    setEyeProjection(viewport[2], viewport[3]);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glTexCoord4fv(drumTexCoord);
    glNormal3fv(drumNormal);
    drawDrum();
    glViewport(0, 0, windowWidth, windowHeight);
}

void drawPicture() {
    // The 3D picture has the window, or the part above the time plot.
    int viewport[4];
    plotViewport(viewport);
    glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    applyPendingFit();
    setPlotProjection(viewport[2], viewport[3]);
    glPushMatrix();
    applyPlotTransform();
    // What a click is measured against: the matrices the plot is drawn with.
    glGetDoublev(GL_MODELVIEW_MATRIX, framePlotProjection.modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, framePlotProjection.projection);
    glGetIntegerv(GL_VIEWPORT, framePlotProjection.viewport);
    drawEdgesAndCurves(); // clears the frame first, or draws the kept picture
    // The cross keeps the width the curves left: 0.5 with difference lines.
    // Black, so the texture changes nothing; without it the labels are
    // drawn from the kept glyphs.
    if (view.showCross) {
        glDisable(GL_TEXTURE_2D);
        drawCross();
        glEnable(GL_TEXTURE_2D);
    }
    drawEventMarks();
    drawQuickPhaseMarks();
    drawListingPlanes();
    drawScale();
    drawPickMark();
    glPopMatrix();
    glFrontFace(GL_CCW);
    setEyeProjection(viewport[2], viewport[3]);

    if (view.showDrum && vectorFigureText != VectorText::None)
        drawDrumImage();
    else if (view.showDrum)
        drawDrum();

    // Help lines in eye space, so they stay put while the plot turns. White
    // as the texture would tint it, drawn untextured (see textTint).
    glColor3f(textTint[0], textTint[1], textTint[2]);
    glDisable(GL_TEXTURE_2D);
    if (view.showHelpLines) drawHelpLines();
    drawStatusLines();
    drawGatheredStatusText();
    drawLegend();
    drawMainSequence();
    glViewport(0, 0, windowWidth, windowHeight);
    drawTimePlot();
    drawHelpOverlay();
    glEnable(GL_TEXTURE_2D);
}

static FramePace framePace;
static double lastFullFrameSeconds;

// GLUT's display callback draws nothing: every frame is drawn by the
// timer (showFrameWhenDue), which wakes when a frame is due and always has
// something new to show (the drum turns). A frame drawn while Windows paints the
// window (WM_PAINT, where GLUT calls this) read its own picture back as
// black under Wine, and a request is met by the next tick anyway.
void onDisplay() {
    touchPicture(); // painted again by the next frame
}

static bool lastFrameLight;

double showFrameWhenDue() {
    // One frame at most when due; a handler's change is shown by the next.
    // While nothing moves or changed, none: the timer looks again a frame
    // later.
    const double start = secondsNow();
    const bool wanted = snapshotRequested || framesShown == 0 || pictureMoving(view) ||
                        start - pictureTouchedAt < PICTURE_SETTLE_SECONDS || lastFrameLight;
    if (!wanted) return 1 / FRAME_RATE_LIMIT;
    if (!snapshotRequested && !frameDue(framePace, start)) return framePace.next - start;
    useViewerWindow();
    // Once the window shows, a font's glyph images a frame; texts are
    // glBitmap's until then, the same pixels.
    if (framesShown > 0) keepGlyphImagesOfNextFont();
    lightFrame =
        !snapshotRequested && lightFrameWanted(view, start - viewMovedAt, lastFullFrameSeconds);
    keepingHeld = start - reshapedAt < KEEPING_HELD_AFTER_RESHAPE_SECONDS;
    if (snapshotRequested) {
        snapshotRequested = false;
        saveViewToNewFile(); // draws the picture it writes
    } else {
        drawPicture();
    }
    // The frame's own time, not the wait for the display in the swap.
    glFinish();
    const double took = secondsNow() - start;
    glutSwapBuffers();
    lastFrameLight = lightFrame;
    if (lightFrame) {
        traceEvent("light frame %d", lightFrameStride);
        lightFrameStride = nextLightFrameStride(lightFrameStride, took);
    } else {
        lastFullFrameSeconds = took;
        // Unsmoothed lines draw about three times as fast: the first light
        // frame starts from there.
        lightFrameStride = nextLightFrameStride(1, took / 3);
    }
    lightFrame = false; // snapshots and movies draw full frames
    keepingHeld = false;
    framesShown++;
    if (framesShown == 1) {
        buildMenus(); // see initScene
        traceEvent("ready %d", recording.rowCount);
    }
    traceEvent("frame %u %d", framesShown, curveSampleCount);
    return framePace.next - secondsNow();
}

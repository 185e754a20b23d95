// One frame of the picture, the projection and bitmap text.
#include "app/app.h"

#include "interaction/interaction.h"
#include "platform/platform.h"
#include "recording/recording.h"
#include "scene/scene.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

#include <cstdio>
#include <cstring>

static double farPlane;

static void setProjection(int width, int height) {
    farPlane = farPlaneFor(view.distance);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(FIELD_OF_VIEW, viewAspect(width, height), 1, farPlane);
    glMatrixMode(GL_MODELVIEW);
}

void onReshape(int width, int height) {
    windowWidth = width;
    windowHeight = height;
    glViewport(0, 0, width, height);
    setProjection(width, height);
    glLoadIdentity();
}

void applyPlotTransform() {
    glTranslatef(0, 0, -view.distance);
    glRotatef(view.angleX, 1, 0, 0);
    glRotatef(view.angleY, 0, 1, 0);
    glRotatef(view.angleZ, 0, 0, 1);
    // The centre a fit chose; the cross and the rings stay at the data's origin.
    glTranslatef(-view.centreH, -view.torsionScale * view.centreT, -view.centreV);
}

bool replayReadoutShown = true;

// Status text at the bottom left, below the paths in the start view. A text
// wider than the window is broken where its parts are set apart by two
// spaces or more; lines stack upwards from the bottom. Returns the height
// for the next text.
static int partWidth(void* font, const char* part, size_t length) {
    char text[200];
    snprintf(text, sizeof text, "%.*s", static_cast<int>(length), part);
    return glutBitmapLength(font, reinterpret_cast<const unsigned char*>(text));
}

static float drawStatusText(const char* text, float y) {
    // Where x = -30 at depth 50 lands: the visible half-width there is
    // 31.85 times the aspect.
    const double left =
        windowWidth * (1 - 30 / (31.85 * viewAspect(windowWidth, windowHeight))) / 2;
    const int room = static_cast<int>(windowWidth - left) - 4;
    void* font = GLUT_BITMAP_TIMES_ROMAN_10;
    char lines[4][200];
    int count = 0;
    lines[0][0] = '\0';
    for (const char* part = text; *part && count < 4;) {
        const char* gap = strstr(part, "  ");
        size_t length = gap ? static_cast<size_t>(gap - part) : strlen(part);
        // A part wider than the window on its own is broken at a space.
        while (partWidth(font, part, length) > room) {
            size_t space = length - 1;
            while (space > 0 && part[space] != ' ')
                space--;
            if (space == 0) break;
            length = space;
        }
        char* line = lines[count];
        char joined[200];
        snprintf(joined, sizeof joined, "%s%s%.*s", line, *line ? "   " : "",
                 static_cast<int>(length), part);
        if (*line &&
            glutBitmapLength(font, reinterpret_cast<const unsigned char*>(joined)) > room) {
            if (++count == 4) break;
            snprintf(lines[count], sizeof lines[count], "%.*s", static_cast<int>(length), part);
        } else {
            snprintf(line, sizeof lines[count], "%s", joined);
        }
        part += length;
        while (*part == ' ')
            part++;
    }
    if (count < 4 && lines[count][0]) count++;
    for (int i = count - 1; i >= 0; i--, y += 1.8f)
        drawText(-30, y, -50, lines[i], font);
    return y;
}

bool pageNoticeShown = true;

// Which part of a long recording is shown, and the replay's readout; why
// nothing is drawn, and a page that could not be read.
static void drawStatusLines() {
    char text[400];
    float y = -30.5f;
    if (recordingPageNotice[0]) y = drawStatusText(recordingPageNotice, y);
    if (describeRecordingTrouble(text, sizeof text, recordingExtent, recordingSelection))
        y = drawStatusText(text, y);
    if (view.buildUpCount != -1 && replayReadoutShown) {
        const int count = view.buildUpCount;
        const float time = recording.rows[count > 0 ? count - 1 : 0].col[0];
        const int shown = count < recording.rowCount ? count : recording.rowCount;
        describeReplay(text, sizeof text, view, time, recordingExtent.firstSample + shown,
                       recordingExtent.selectedSamples, samplesPerSecond(recording));
        y = drawStatusText(text, y);
    }
    if (pageNoticeShown && describeRecordingPage(text, sizeof text, recordingExtent, recording))
        y = drawStatusText(text, y);
    if (const char* notice = pageNoticeShown ? startViewNotice() : nullptr)
        drawStatusText(notice, y);
}

void drawPicture() {
    if (farPlaneFor(view.distance) != farPlane) setProjection(windowWidth, windowHeight);
    applyPendingFit();
    glPushMatrix();
    applyPlotTransform();
    drawEdgesAndCurves(); // clears the frame first, or draws the kept picture
    // The cross keeps the width the curves left: 0.5 with difference lines.
    if (view.showCross) glCallList(LIST_CROSS);
    glPopMatrix();

    glPushMatrix();
    glTranslatef(12, -15, -32);
    glRotatef(view.drumAngle, 1, 0, 0);
    glColor3f(1, 1, 1);
    glEnable(GL_LIGHTING);
    glCallList(LIST_DRUM);
    glDisable(GL_LIGHTING);
    glPopMatrix();

    // Help lines in eye space, so they stay put while the plot turns. White
    // as the texture would tint it, drawn untextured (see textTint).
    glColor3f(textTint[0], textTint[1], textTint[2]);
    glDisable(GL_TEXTURE_2D);
    drawText(-30, 29, -50, "F1..F5  - show/hide,    F6..F8  - rotation x,y,z",
             GLUT_BITMAP_TIMES_ROMAN_10);
    drawText(-30, 27.2f, -50, "F9..F10 - zoom in/out, F11..F12 - rise/lower torsion",
             GLUT_BITMAP_TIMES_ROMAN_10);
    drawText(-30, 25.4f, -50, "a - build up lines, r - reset, ESC - exit",
             GLUT_BITMAP_TIMES_ROMAN_10);
    drawStatusLines();
    glEnable(GL_TEXTURE_2D);
}

void onDisplay() {
    useViewerWindow();
    if (snapshotRequested) {
        snapshotRequested = false;
        saveViewToNewFile(); // draws the picture it writes
    } else {
        drawPicture();
    }
    glutSwapBuffers();
    framesShown++;
    if (framesShown == 1) {
        buildMenus(); // see initScene
        traceEvent("ready %d", recording.rowCount);
    }
    traceEvent("frame %u %d", framesShown, curveSampleCount);
}

// One frame of the picture, the projection and bitmap text.
#include "app/app.h"

#include "interaction/interaction.h"
#include "platform/platform.h"
#include "recording/recording.h"
#include "scene/scene.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

void onReshape(int width, int height) {
    windowWidth = width;
    windowHeight = height;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(65, viewAspect(width, height), 1, 200);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void applyPlotTransform() {
    glTranslatef(0, 0, -view.distance);
    glRotatef(view.angleX, 1, 0, 0);
    glRotatef(view.angleY, 0, 1, 0);
    glRotatef(view.angleZ, 0, 0, 1);
}

void drawPicture() {
    glClear(GL_COLOR_BUFFER_BIT);

    glPushMatrix();
    applyPlotTransform();
    glColor3f(0.5f, 1.0f, 0.5f);
    if (view.showEdges) glCallList(LIST_EDGES);
    glEnable(GL_LINE_SMOOTH);
    glLineWidth(1.1f);
    glColor3f(1, 1, 1);
    glCallList(LIST_CURVES);
    glDisable(GL_LINE_SMOOTH);
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
    if (framesShown == 1) traceEvent("ready %d", recording.rowCount);
    traceEvent("frame %u %d", framesShown, curveSampleCount);
}

// The frame of reference: the axis cross and the rings of edge markers.
#include "scene/scene.h"

#include "view/view.h"

#include <GL/freeglut.h>

#include <cstring>

void drawText(float x, float y, float z, const char* text, void* font) {
    glRasterPos3f(x, y, z);
    addVectorText(text, font); // at the raster position before the letters move it
    if (drawKeptGlyphs(text, font)) return;
    drawPendingGlyphs(); // the texts before it stay under it
    size_t length = strlen(text);
    for (size_t i = 0; i < length; i++)
        glutBitmapCharacter(font, static_cast<unsigned char>(text[i])); // Latin-1 too
}

void drawCross() {
    glColor3f(0, 0, 0);
    glBegin(GL_LINES);
    glVertex3f(-10, 0, 0);
    glVertex3f(10, 0, 0);
    glVertex3f(0, -10, 0);
    glVertex3f(0, 10, 0);
    glVertex3f(0, 0, -10);
    glVertex3f(0, 0, 10);
    glEnd();
    beginTextBatch();
    drawText(-10, 0, 0, "-", GLUT_BITMAP_8_BY_13);
    drawText(10, 0, 0, "+ horizontal", GLUT_BITMAP_8_BY_13);
    drawText(0, 10, 0, "+ torsion", GLUT_BITMAP_8_BY_13);
    drawText(0, -10, 0, "-", GLUT_BITMAP_8_BY_13);
    drawText(0, 0, 10, "+ vertical", GLUT_BITMAP_8_BY_13);
    drawText(0, 0, -10, "-", GLUT_BITMAP_8_BY_13);
    endTextBatch();
}

// Counter-clockwise seen from +z, so its front faces +z.
void drawEdgeSquare() {
    glBegin(GL_QUADS);
    glVertex3f(-0.2f, -0.2f, 0);
    glVertex3f(0.2f, -0.2f, 0);
    glVertex3f(0.2f, 0.2f, 0);
    glVertex3f(-0.2f, 0.2f, 0);
    glEnd();
}

static void drawFaceAhead() {
    glPushMatrix();
    glTranslatef(0, 0, 0.2f);
    drawEdgeSquare();
    glPopMatrix();
}

// Six outward-facing squares, so culling hides the inner sides.
void drawEdgeCube() {
    glPushMatrix();
    for (int i = 0; i < 4; i++) {
        glRotatef(90, 0, 1, 0);
        drawFaceAhead();
    }
    glRotatef(90, 1, 0, 0);
    drawFaceAhead();
    glRotatef(180, 1, 0, 0);
    drawFaceAhead();
    glPopMatrix();
}

// Nine cubes: the centre, the four axis points at distance d, the corners.
void drawEdgeRing(float d) {
    glPushMatrix();
    drawEdgeCube();
    for (int i = 0; i < 4; i++) {
        glRotatef(90, 0, 1, 0);
        glPushMatrix();
        glTranslatef(0, 0, d);
        drawEdgeCube();
        glPopMatrix();
    }
    for (int i = 0; i < 4; i++) {
        glRotatef(90, 0, 1, 0);
        glPushMatrix();
        glTranslatef(d, 0, d);
        drawEdgeCube();
        glPopMatrix();
    }
    glPopMatrix();
}

void buildEdgeList() {
    glNewList(LIST_EDGES, GL_COMPILE);
    drawEdgeRing(9);
    drawEdgeRing(25);
    glEndList();
}

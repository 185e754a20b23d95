// The picked sample in the picture: a small cross at each eye's position in
// that eye's colour, and the grey line between them.
#include "scene/scene.h"

#include "recording/recording.h"
#include "view/view.h"

#include <GL/gl.h>

namespace {

void drawCrossAt(float x, float y, float z, float arm) {
    glVertex3f(x - arm, y, z);
    glVertex3f(x + arm, y, z);
    glVertex3f(x, y - arm, z);
    glVertex3f(x, y + arm, z);
    glVertex3f(x, y, z - arm);
    glVertex3f(x, y, z + arm);
}

} // namespace

void drawPickMark() {
    const int row = view.pickedRow;
    if (row < 0 || row >= recording.rowCount) return;
    const float* c = recording.rows[row].col;
    const float s = view.torsionScale;
    // About 8 pixels: the window shows 2 distance tan(32.5 deg) units top to bottom.
    int viewport[4];
    plotViewport(viewport);
    const float arm = viewport[3] > 0 ? 8 * 1.274f * view.distance / viewport[3] : 0.2f;
    glPushAttrib(GL_CURRENT_BIT | GL_LINE_BIT | GL_ENABLE_BIT);
    glDisable(GL_TEXTURE_2D);
    setLineWidth(2);
    glBegin(GL_LINES);
    // A hidden eye keeps its mark hidden too.
    if (view.showLeftEye) {
        glColor3f(0, 0, 1);
        drawCrossAt(c[3], s * c[5], c[4], arm);
    }
    if (view.showRightEye) {
        glColor3f(1, 0, 0);
        drawCrossAt(c[10], s * c[12], c[11], arm);
    }
    if (view.showLeftEye && view.showRightEye) {
        glColor3f(0.3f, 0.3f, 0.3f);
        glVertex3f(c[3], s * c[5], c[4]);
        glVertex3f(c[10], s * c[12], c[11]);
    }
    glEnd();
    glPopAttrib();
}

// The eye paths and the lines joining the two eyes, sample by sample.
#include "scene/scene.h"

#include "app/app.h"
#include "recording/recording.h"

#include <GL/gl.h>

void buildCurveList() {
    glNewList(LIST_CURVES, GL_COMPILE);
    const int count = view.buildUpCount != -1 ? view.buildUpCount : recording.rowCount;
    const float s = view.torsionScale;
    const RecordingRow* rows = recording.rows;
    if (view.showLeftEye) {
        glBegin(GL_LINE_STRIP);
        for (int i = 0; i < count; i++) {
            const float* c = rows[i].col;
            glColor3f(1 - c[7], 1 - c[7], 1);
            glVertex3f(c[3], s * c[5], c[4]);
        }
        glEnd();
    }
    if (view.showRightEye) {
        glBegin(GL_LINE_STRIP);
        for (int i = 0; i < count; i++) {
            const float* c = rows[i].col;
            glColor3f(1, 1 - c[14], 1 - c[14]);
            glVertex3f(c[10], s * c[12], c[11]);
        }
        glEnd();
    }
    if (view.showDifference) {
        glColor3f(0.3f, 0.3f, 0.3f);
        glLineWidth(0.5f);
        glBegin(GL_LINES);
        for (int i = 0; i < count; i++) {
            const float* c = rows[i].col;
            glVertex3f(c[3], s * c[5], c[4]);
            glVertex3f(c[10], s * c[12], c[11]);
        }
        glEnd();
    }
    glEndList();
}

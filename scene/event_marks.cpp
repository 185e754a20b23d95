// The page's events in the picture (key e): each saccade's samples drawn
// again with lines three times as wide in its eye's colour, and the
// samples before and after each blink marked with a small black cross.
#include "scene/scene.h"

#include "analysis/analysis.h"
#include "recording/recording.h"
#include "view/view.h"

#include <GL/gl.h>

#include <algorithm>

namespace {

void vertexOf(int row, int column) {
    const float* c = recording.rows[row].col + column;
    glVertex3f(c[0], view.torsionScale * c[2], c[1]);
}

} // namespace

void drawQuickPhaseMarks() {
    if (!view.showNystagmus || !pageNystagmus.found) return;
    const int first = curveContent.first;
    const int end = std::min(curveContent.count, recording.rowCount);
    const uint8_t shown[2] = {view.showLeftEye, view.showRightEye};
    glPushAttrib(GL_CURRENT_BIT | GL_LINE_BIT | GL_ENABLE_BIT);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_LINE_SMOOTH);
    setLineWidth(3.3f); // as saccades are marked
    for (int i = 0; i < pageNystagmus.quickCount; i++) {
        const QuickPhase& q = pageNystagmus.quick[i];
        if (!shown[q.eye]) continue;
        // From the sample before the run to the one after: the whole jump.
        const int a = std::max(first, q.firstRow - 1), b = std::min(end, q.endRow + 1);
        if (b - a < 2) continue;
        q.eye ? glColor3f(1, 0, 0) : glColor3f(0, 0, 1);
        glBegin(GL_LINE_STRIP);
        for (int row = a; row < b; row++)
            vertexOf(row, q.eye ? 10 : 3);
        glEnd();
    }
    glPopAttrib();
    restoreVectorLineWidth();
}

void drawEventMarks() {
    if (!view.showEvents) return;
    const int first = curveContent.first;
    const int end = std::min(curveContent.count, recording.rowCount);
    const uint8_t shown[2] = {view.showLeftEye, view.showRightEye};
    int viewport[4];
    plotViewport(viewport);
    // About 6 pixels: the window shows 2 distance tan(32.5 deg) units top to bottom.
    const float arm = viewport[3] > 0 ? 6 * 1.274f * view.distance / viewport[3] : 0.2f;
    glPushAttrib(GL_CURRENT_BIT | GL_LINE_BIT | GL_ENABLE_BIT);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_LINE_SMOOTH);
    for (int i = 0; i < pageEvents.count; i++) {
        const EyeEvent& e = pageEvents.events[i];
        if (!shown[e.eye]) continue;
        const int column = e.eye ? 10 : 3;
        if (e.kind == EventKind::Saccade) {
            const int a = std::max(first, e.firstRow), b = std::min(end, e.endRow);
            if (b - a < 2) continue;
            setLineWidth(3.3f); // three times the paths' 1.1
            e.eye ? glColor3f(1, 0, 0) : glColor3f(0, 0, 1);
            glBegin(GL_LINE_STRIP);
            for (int row = a; row < b; row++)
                vertexOf(row, column);
            glEnd();
        } else if (e.kind == EventKind::Blink) {
            setLineWidth(1.5f);
            glColor3f(0, 0, 0);
            glBegin(GL_LINES);
            for (int row : {e.firstRow - 1, e.endRow}) {
                if (row < first || row >= end) continue;
                const float* c = recording.rows[row].col + column;
                const float x = c[0], y = view.torsionScale * c[2], z = c[1];
                glVertex3f(x - arm, y, z);
                glVertex3f(x + arm, y, z);
                glVertex3f(x, y, z - arm);
                glVertex3f(x, y, z + arm);
            }
            glEnd();
        }
    }
    glPopAttrib();
}

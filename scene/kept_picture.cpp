// The picture of the edge markers and the curves, kept between frames. A
// replay adds a few rows a tick; drawing all of them again each frame is
// what makes software renderers slow. The kept colour buffer is drawn back
// and only the new rows are drawn on top.
#include "scene/scene.h"

#include "view/view.h"

#include <GL/gl.h>

#include <algorithm>
#include <vector>

namespace {

constexpr GLenum BGRA = 0x80E1; // GL_BGRA(_EXT): the renderers' own byte order

struct KeptPicture {
    bool valid;
    ViewState view; // as it was drawn
    int width, height;
    unsigned curveVersion;
    int count; // rows drawn
    std::vector<unsigned char> pixels;
};
KeptPicture kept;

bool drawnAsNow() {
    const ViewState& a = kept.view;
    const ViewState& b = view;
    return kept.valid && kept.width == windowWidth && kept.height == windowHeight &&
           kept.curveVersion == curveContent.version && curveContent.count >= kept.count &&
           a.angleX == b.angleX && a.angleY == b.angleY && a.angleZ == b.angleZ &&
           a.distance == b.distance && a.showEdges == b.showEdges;
}

// Reads the back buffer into the kept picture: all of it, or only the part
// box (x0, y0, x1, y1) that new rows can have changed.
void keep(int count, const int* box) {
    const int margin = 3; // smoothed lines reach past their end points
    int x0 = 0, y0 = 0, x1 = windowWidth, y1 = windowHeight;
    if (box) {
        x0 = std::max(0, box[0] - margin);
        y0 = std::max(0, box[1] - margin);
        x1 = std::min(windowWidth, box[2] + margin + 1);
        y1 = std::min(windowHeight, box[3] + margin + 1);
    } else {
        kept.pixels.resize(static_cast<size_t>(windowWidth) * windowHeight * 4);
    }
    if (x0 < x1 && y0 < y1) {
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glPixelStorei(GL_PACK_ROW_LENGTH, windowWidth);
        glPixelStorei(GL_PACK_SKIP_PIXELS, x0);
        glPixelStorei(GL_PACK_SKIP_ROWS, y0);
        glReadBuffer(GL_BACK);
        glReadPixels(x0, y0, x1 - x0, y1 - y0, BGRA, GL_UNSIGNED_BYTE, kept.pixels.data());
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
        glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
        glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    }
    kept.valid = true;
    kept.view = view;
    kept.width = windowWidth;
    kept.height = windowHeight;
    kept.curveVersion = curveContent.version;
    kept.count = count;
}

// Draws the kept picture over the whole back buffer, untextured.
void restore() {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_TEXTURE_2D);
    glRasterPos2f(-1, -1); // the window's lower left corner
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glDrawPixels(kept.width, kept.height, BGRA, GL_UNSIGNED_BYTE, kept.pixels.data());
    glEnable(GL_TEXTURE_2D);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

bool hasDepthBuffer() {
    static GLint bits = -1;
    if (bits < 0) glGetIntegerv(GL_DEPTH_BITS, &bits);
    return bits > 0;
}

} // namespace

void forgetKeptPicture() {
    kept.valid = false;
}

void drawEdgesAndCurves() {
    const int count = curveContent.count;
    // The trail drops old rows, and drawing the list in one go is the
    // reference the pictures are compared with: both draw everything.
    // While the view turns by itself no picture could be used again.
    const bool turning = view.rotateX || view.rotateY || view.rotateZ;
    const bool keeping = curveBlocksPerFlush > 0 && hasDepthBuffer() && curveContent.first == 0 &&
                         !turning && windowWidth > 0 && windowHeight > 0;
    const bool growing = keeping && drawnAsNow();
    if (growing) {
        restore();
    } else {
        // The depth buffer belongs to the kept picture; drawn without
        // keeping, the frame leaves it as it is.
        glClear(keeping ? GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT : GL_COLOR_BUFFER_BIT);
        glColor3f(0.5f, 1.0f, 0.5f);
        if (view.showEdges) glCallList(LIST_EDGES);
    }
    glEnable(GL_LINE_SMOOTH);
    glLineWidth(1.1f);
    glColor3f(1, 1, 1);
    if (keeping) {
        glDepthFunc(GL_LEQUAL);
        glEnable(GL_DEPTH_TEST);
    }
    int box[4];
    const bool boxed = growing && drawCurveRows(kept.count, count, box);
    if (!growing) drawCurves();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LINE_SMOOTH);
    if (keeping && (!growing || count > kept.count)) keep(count, boxed ? box : nullptr);
}

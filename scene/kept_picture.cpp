// The picture of the edge markers and the curves, kept between frames. A
// replay adds a few rows a tick; drawing all of them again each frame is
// what makes software renderers slow. The kept colour buffer is drawn back
// and only the new rows are drawn on top.
#include "scene/scene.h"

#include "platform/platform.h"
#include "view/view.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr GLenum BGRA = 0x80E1; // GL_BGRA(_EXT): the renderers' own byte order

struct KeptPicture {
    bool valid;
    ViewState view; // as it was drawn
    int width, height;
    int viewport[4]; // the part of the window the picture has
    unsigned curveVersion;
    int count; // rows drawn
    // Kept in a buffer beside the window where the platform has one (a
    // copy each way is a blit), else in a texture: drawing it back stays
    // inside the renderer, where glDrawPixels would upload the whole picture
    // again every frame.
    bool inBuffer;
    GLuint texture;
    int textureWidth, textureHeight; // powers of two where GL 1.1 wants them
};
KeptPicture kept;

// The window's own size where the renderer takes any size (a 1920x1080
// picture then needs 8 MB, not 16), else the next powers of two.
int textureSide(int n) {
    static int anySize = -1;
    if (anySize < 0) {
        const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
        anySize = extensions && strstr(extensions, "GL_ARB_texture_non_power_of_two") ? 1 : 0;
    }
    if (anySize) return n;
    int p = 1;
    while (p < n)
        p *= 2;
    return p;
}

void currentViewport(int viewport[4]) {
    glGetIntegerv(GL_VIEWPORT, viewport);
}

bool drawnAsNow() {
    const ViewState& a = kept.view;
    const ViewState& b = view;
    int viewport[4];
    currentViewport(viewport);
    return kept.valid && kept.width == windowWidth && kept.height == windowHeight &&
           std::equal(viewport, viewport + 4, kept.viewport) &&
           kept.curveVersion == curveContent.version && curveContent.count >= kept.count &&
           a.angleX == b.angleX && a.angleY == b.angleY && a.angleZ == b.angleZ &&
           a.distance == b.distance && a.showEdges == b.showEdges && a.centreH == b.centreH &&
           a.centreT == b.centreT && a.centreV == b.centreV && a.orthographic == b.orthographic &&
           a.mirrorTorsion == b.mirrorTorsion;
}

// A texture large enough for the window, made anew when it is not; false
// when the renderer has none that large.
bool textureFitsWindow() {
    static GLint largest = 0;
    if (largest == 0) glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    const int w = textureSide(windowWidth);
    const int h = textureSide(windowHeight);
    if (w > largest || h > largest) return false;
    if (kept.texture == 0) glGenTextures(1, &kept.texture);
    if (w == kept.textureWidth && h == kept.textureHeight) return true;
    glPushAttrib(GL_TEXTURE_BIT);
    glBindTexture(GL_TEXTURE_2D, kept.texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, BGRA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glPopAttrib();
    bindDrumTexture();
    kept.textureWidth = w;
    kept.textureHeight = h;
    return true;
}

// Where the picture is kept for the window's size: the buffer beside it,
// else a texture; false when neither can hold it.
bool storageFitsWindow() {
    bool fresh = false;
    const bool inBuffer = keptBufferAllowed && openKeptBuffer(windowWidth, windowHeight, &fresh);
    if (fresh || inBuffer != kept.inBuffer) kept.valid = false;
    kept.inBuffer = inBuffer;
    return inBuffer || textureFitsWindow();
}

// Both matrices the identity until popIdentityMatrices.
void pushIdentityMatrices() {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

void popIdentityMatrices() {
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

// Copies the window's rectangle (x, y, width, height) into the kept buffer
// (Draw) or back from it (Read), to the same place, as a plain copy.
void copyWithKeptBuffer(KeptBufferUse use, int x, int y, int width, int height) {
    glPushAttrib(GL_ENABLE_BIT | GL_VIEWPORT_BIT | GL_CURRENT_BIT | GL_PIXEL_MODE_BIT |
                 GL_COLOR_BUFFER_BIT);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glDisable(GL_SCISSOR_TEST);
    glViewport(0, 0, windowWidth, windowHeight);
    pushIdentityMatrices();
    keptBufferAs(use);
    glReadBuffer(GL_BACK);
    glDrawBuffer(GL_BACK);
    // The window's corner exactly, then moved by whole pixels.
    glRasterPos2f(-1, -1);
    glBitmap(0, 0, 0, 0, static_cast<float>(x), static_cast<float>(y), nullptr);
    glCopyPixels(x, y, width, height, GL_COLOR);
    keptBufferAs(KeptBufferUse::Off);
    popIdentityMatrices();
    glPopAttrib();
}

// Copies the rectangle x0..x1, y0..y1 of the back buffer into the texture.
void keepInTexture(int x0, int y0, int x1, int y1) {
    // Through memory: on llvmpipe glCopyTexSubImage2D is a blit whose
    // shader takes 30 ms to compile on first use; this takes about 1 ms for
    // a whole 300x300 frame, and far less for a box. A band of rows at a
    // time keeps the buffer small.
    const int bandRows = 64;
    static std::vector<unsigned char> band;
    band.resize(static_cast<size_t>(std::max(0, x1 - x0)) * bandRows * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glReadBuffer(GL_BACK);
    glPushAttrib(GL_TEXTURE_BIT);
    glBindTexture(GL_TEXTURE_2D, kept.texture);
    for (int y = y0; y < y1 && x0 < x1; y += bandRows) {
        const int rows = std::min(bandRows, y1 - y);
        glReadPixels(x0, y, x1 - x0, rows, BGRA, GL_UNSIGNED_BYTE, band.data());
        glTexSubImage2D(GL_TEXTURE_2D, 0, x0, y, x1 - x0, rows, BGRA, GL_UNSIGNED_BYTE,
                        band.data());
    }
    glPopAttrib();
    bindDrumTexture();
}

// Copies the back buffer into the kept picture: all of it, or only the part
// box (x0, y0, x1, y1) that new rows can have changed.
void keep(int count, const int* box) {
    const int margin = 3; // smoothed lines reach past their end points
    int viewport[4];
    currentViewport(viewport);
    int x0 = viewport[0], y0 = viewport[1], x1 = viewport[0] + viewport[2],
        y1 = viewport[1] + viewport[3];
    if (box) {
        x0 = std::max(x0, box[0] - margin);
        y0 = std::max(y0, box[1] - margin);
        x1 = std::min(x1, box[2] + margin + 1);
        y1 = std::min(y1, box[3] + margin + 1);
    }
    if (kept.inBuffer) {
        copyWithKeptBuffer(KeptBufferUse::Draw, x0, y0, x1 - x0, y1 - y0);
    } else {
        keepInTexture(x0, y0, x1, y1);
    }
    kept.valid = true;
    kept.view = view;
    kept.width = windowWidth;
    kept.height = windowHeight;
    std::copy(viewport, viewport + 4, kept.viewport);
    kept.curveVersion = curveContent.version;
    kept.count = count;
}

// Draws the kept picture over the viewport: a copy from the kept buffer, or
// one quad, each pixel centre on its texel's centre, the texel replacing the
// colour.
void restore() {
    if (kept.inBuffer) {
        const int* v = kept.viewport;
        copyWithKeptBuffer(KeptBufferUse::Read, v[0], v[1], v[2], v[3]);
        return;
    }
    glPushAttrib(GL_ENABLE_BIT | GL_TEXTURE_BIT | GL_CURRENT_BIT);
    pushIdentityMatrices();
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, kept.texture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    const int* v = kept.viewport;
    const float s0 = static_cast<float>(v[0]) / kept.textureWidth;
    const float s1 = static_cast<float>(v[0] + v[2]) / kept.textureWidth;
    const float t0 = static_cast<float>(v[1]) / kept.textureHeight;
    const float t1 = static_cast<float>(v[1] + v[3]) / kept.textureHeight;
    glBegin(GL_QUADS);
    glTexCoord2f(s0, t0);
    glVertex2f(-1, -1);
    glTexCoord2f(s1, t0);
    glVertex2f(1, -1);
    glTexCoord2f(s1, t1);
    glVertex2f(1, 1);
    glTexCoord2f(s0, t1);
    glVertex2f(-1, 1);
    glEnd();
    popIdentityMatrices();
    glPopAttrib();
    bindDrumTexture();
}

bool hasDepthBuffer() {
    static GLint bits = -1;
    if (bits < 0) glGetIntegerv(GL_DEPTH_BITS, &bits);
    return bits > 0;
}

} // namespace

bool lightFrame;
bool keepingHeld;
int lightFrameStride = 1;

bool pictureKeeping = true;
bool keptBufferAllowed = true;

bool keptPictureInBuffer() {
    return kept.valid && kept.inBuffer;
}

void forgetKeptPicture() {
    kept.valid = false;
}

void drawEdgesAndCurves() {
    const int count = curveContent.count;
    // The trail drops old rows, and drawing the list in one go is the
    // reference the pictures are compared with: both draw everything.
    // While the view turns by itself no picture could be used again.
    const bool turning = view.rotateX || view.rotateY || view.rotateZ;
    const bool keeping = !lightFrame && !keepingHeld && pictureKeeping && curveBlocksPerFlush > 0 &&
                         hasDepthBuffer() && curveContent.first == 0 && !turning &&
                         windowWidth > 0 && windowHeight > 0 && storageFitsWindow();
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
    if (!lightFrame) glEnable(GL_LINE_SMOOTH);
    setLineWidth(1.1f);
    glColor3f(1, 1, 1);
    if (keeping) {
        glDepthFunc(GL_LEQUAL);
        glEnable(GL_DEPTH_TEST);
    }
    int box[4];
    const bool boxed = growing && drawCurveRows(kept.count, count, box);
    if (lightFrame)
        drawCurvesThinned(lightFrameStride);
    else if (!growing)
        drawCurves();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LINE_SMOOTH);
    if (keeping && (!growing || count > kept.count)) keep(count, boxed ? box : nullptr);
}

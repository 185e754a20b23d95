// Bitmap text drawn from glyph images kept in a texture. freeglut draws each
// letter with glBitmap; Mesa gathers bitmaps in a cache 512 pixels wide and
// 32 high and draws the cache as one quad, so every text on a row of its
// own costs a draw with its own texture and shader (about 50 us on
// llvmpipe), and a still frame has a dozen such texts. The glyphs are
// drawn once with glBitmap and read back, and a text becomes one batch of
// textured quads on exactly the pixels glBitmap would set.
#include "scene/scene.h"

#include "view/view.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

struct Glyph {
    int x0, y0, width, height; // set pixels, from the floored raster position
    float s0, t0, s1, t1;
    float advance;
};

struct GlyphSet {
    void* font;
    bool tried, usable;
    GLuint texture;
    Glyph glyphs[256];
};

// The fonts the viewer's texts use; any other is drawn with glBitmap.
GlyphSet glyphSets[] = {{GLUT_BITMAP_8_BY_13, false, false, 0, {}},
                        {GLUT_BITMAP_TIMES_ROMAN_10, false, false, 0, {}},
                        {GLUT_BITMAP_HELVETICA_12, false, false, 0, {}},
                        {GLUT_BITMAP_HELVETICA_18, false, false, 0, {}}};

constexpr int PAD = 3; // empty pixels round each glyph's cell

int nextPowerOfTwo(int n) {
    int p = 1;
    while (p < n)
        p *= 2;
    return p;
}

// Draws characters first .. first+count-1 of the font into cells of the back
// buffer (16 to a row of cells), the baseline height above each cell's
// bottom, and reads the cells back into image (one byte per pixel, laid out
// as in the texture). The raster position moves between cells with empty
// bitmaps, so a row of cells is one draw of Mesa's cache. False when a
// pixel came back neither white nor black: the buffer did not hold what was
// drawn (a window the driver does not let us read yet).
bool drawAndReadCells(void* font, int first, int count, int cellWidth, int cellHeight, int baseline,
                      int cellsPerRow, std::vector<unsigned char>& image, int imageWidth) {
    glClear(GL_COLOR_BUFFER_BIT);
    glRasterPos2i(0, 0); // the window's corner, exactly
    int at[2] = {0, 0};
    for (int i = 0; i < count; i++) {
        const int cx = (i % cellsPerRow) * cellWidth + PAD;
        const int cy = (i / cellsPerRow) * cellHeight + baseline;
        glBitmap(0, 0, 0, 0, static_cast<float>(cx - at[0]), static_cast<float>(cy - at[1]),
                 nullptr);
        glutBitmapCharacter(font, first + i);
        at[0] = cx + glutBitmapWidth(font, first + i);
        at[1] = cy;
    }
    const int rows = (count + cellsPerRow - 1) / cellsPerRow;
    const int width = cellsPerRow * cellWidth, height = rows * cellHeight;
    std::vector<unsigned char> rgba(static_cast<size_t>(width) * height * 4);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    for (size_t i = 0; i < rgba.size(); i += 4) {
        const unsigned char r = rgba[i];
        if ((r != 0 && r != 255) || rgba[i + 1] != r || rgba[i + 2] != r) return false;
    }
    // The cells go to the texture's rows of 16 cells, character by character.
    for (int i = 0; i < count; i++) {
        const int c = first + i;
        const int sx = (i % cellsPerRow) * cellWidth, sy = (i / cellsPerRow) * cellHeight;
        const int tx = (c % 16) * cellWidth, ty = (c / 16) * cellHeight;
        for (int y = 0; y < cellHeight; y++)
            for (int x = 0; x < cellWidth; x++)
                image[static_cast<size_t>(ty + y) * imageWidth + tx + x] =
                    rgba[(static_cast<size_t>(sy + y) * width + sx + x) * 4];
    }
    return true;
}

// The set pixels of each cell; false when a glyph touches its cell's edge
// or a letter came back empty (the read-back did not show what was drawn).
bool measureGlyphs(GlyphSet& set, const std::vector<unsigned char>& image, int imageWidth,
                   int imageHeight, int cellWidth, int cellHeight, int baseline) {
    for (int c = 1; c < 256; c++) {
        const int tx = (c % 16) * cellWidth, ty = (c / 16) * cellHeight;
        int x0 = cellWidth, y0 = cellHeight, x1 = -1, y1 = -1;
        for (int y = 0; y < cellHeight; y++)
            for (int x = 0; x < cellWidth; x++)
                if (image[static_cast<size_t>(ty + y) * imageWidth + tx + x]) {
                    x0 = std::min(x0, x);
                    x1 = std::max(x1, x);
                    y0 = std::min(y0, y);
                    y1 = std::max(y1, y);
                }
        Glyph& g = set.glyphs[c];
        g.advance = static_cast<float>(glutBitmapWidth(set.font, c));
        g.width = x1 < 0 ? 0 : x1 - x0 + 1;
        g.height = x1 < 0 ? 0 : y1 - y0 + 1;
        if (g.width == 0) continue;
        if (x0 == 0 || y0 == 0 || x1 == cellWidth - 1 || y1 == cellHeight - 1) return false;
        g.x0 = x0 - PAD;
        g.y0 = y0 - baseline;
        g.s0 = static_cast<float>(tx + x0) / imageWidth;
        g.s1 = static_cast<float>(tx + x1 + 1) / imageWidth;
        g.t0 = static_cast<float>(ty + y0) / imageHeight;
        g.t1 = static_cast<float>(ty + y1 + 1) / imageHeight;
    }
    return set.glyphs['M'].width > 0 && set.glyphs['0'].width > 0;
}

// The cells a font's glyphs are drawn in: a glyph may reach below its
// baseline and past its advance by up to its height; the cell holds that
// much either way.
struct GlyphCells {
    int width, height, baseline, perRow, rows;
};
GlyphCells cellsOf(void* font, int windowW, int windowH) {
    int widest = 0;
    for (int c = 1; c < 256; c++)
        widest = std::max(widest, glutBitmapWidth(font, c));
    const int height = glutBitmapHeight(font);
    GlyphCells cells;
    cells.width = widest + height + 2 * PAD;
    cells.height = 2 * height + 2 * PAD;
    cells.baseline = height + PAD;
    cells.perRow = std::min(16, windowW / cells.width);
    cells.rows = windowH / cells.height;
    return cells;
}

// Draws, reads back and keeps the font's glyphs in cells of the back buffer
// (window pixels, white on black, left cleared); unusable when the read-back
// does not show them or no texture can hold them.
void keepGlyphsOf(GlyphSet& set, const GlyphCells& cells) {
    const int imageWidth = nextPowerOfTwo(16 * cells.width);
    const int imageHeight = nextPowerOfTwo(16 * cells.height);
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    if (imageWidth > largest || imageHeight > largest) return;
    std::vector<unsigned char> image(static_cast<size_t>(imageWidth) * imageHeight);
    const int perRead = cells.perRow * cells.rows;
    for (int first = 1; first < 256; first += perRead)
        if (!drawAndReadCells(set.font, first, std::min(perRead, 256 - first), cells.width,
                              cells.height, cells.baseline, cells.perRow, image, imageWidth))
            return;
    if (!measureGlyphs(set, image, imageWidth, imageHeight, cells.width, cells.height,
                       cells.baseline))
        return;
    glGenTextures(1, &set.texture);
    glBindTexture(GL_TEXTURE_2D, set.texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA8, imageWidth, imageHeight, 0, GL_ALPHA,
                 GL_UNSIGNED_BYTE, image.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    bindDrumTexture();
    set.usable = true;
}

const GlyphSet* glyphSetOf(void* font) {
    for (const GlyphSet& set : glyphSets)
        if (set.font == font && set.usable) return &set;
    return nullptr;
}

} // namespace

bool keepGlyphImagesOfNextFont() {
    // A font whose cell the window cannot hold yet is tried again later.
    GlyphSet* set = nullptr;
    GlyphCells cells = {};
    for (GlyphSet& candidate : glyphSets) {
        if (candidate.tried || set) continue;
        cells = cellsOf(candidate.font, windowWidth, windowHeight);
        if (cells.perRow > 0 && cells.rows > 0) set = &candidate;
    }
    if (!set) return false;
    set->tried = true;
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    beginWindowPixels();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glDisable(GL_BLEND);
    glDisable(GL_SCISSOR_TEST);
    glDrawBuffer(GL_BACK);
    glReadBuffer(GL_BACK);
    glClearColor(0, 0, 0, 1);
    glColor3f(1, 1, 1);
    keepGlyphsOf(*set, cells);
    glClear(GL_COLOR_BUFFER_BIT);
    endWindowPixels();
    glPopClientAttrib();
    glPopAttrib();
    return true;
}

void keepGlyphImages() {
    while (keepGlyphImagesOfNextFont()) {
    }
}

bool glyphImagesKept(void* font) {
    return glyphSetOf(font) != nullptr;
}

namespace {

// Quads waiting to be drawn: a batch of texts of one font, in drawing order.
struct GlyphQuad {
    float left, bottom, right, top;
    float s0, t0, s1, t1;
    float colour[4];
};
constexpr int PENDING_QUADS = 2048;
GlyphQuad pendingQuads[PENDING_QUADS];
int pendingCount;
const GlyphSet* pendingSet;
int batchDepth;

} // namespace

void drawPendingGlyphs() {
    if (pendingCount == 0) return;
    // The whole window: a bitmap is cut by the window, not by the viewport.
    // The current colour and texture coordinate are the frame's: the drum's end caps
    // and everything tinted after it take them.
    glPushAttrib(GL_TEXTURE_BIT | GL_POLYGON_BIT | GL_CURRENT_BIT);
    beginWindowPixels();
    glDisable(GL_CULL_FACE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, pendingSet->texture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.5f);
    glBegin(GL_QUADS);
    for (int i = 0; i < pendingCount; i++) {
        const GlyphQuad& q = pendingQuads[i];
        glColor4fv(q.colour);
        glTexCoord2f(q.s0, q.t0);
        glVertex2f(q.left, q.bottom);
        glTexCoord2f(q.s1, q.t0);
        glVertex2f(q.right, q.bottom);
        glTexCoord2f(q.s1, q.t1);
        glVertex2f(q.right, q.top);
        glTexCoord2f(q.s0, q.t1);
        glVertex2f(q.left, q.top);
    }
    glEnd();
    endWindowPixels();
    glPopAttrib();
    bindDrumTexture();
    pendingCount = 0;
}

void beginTextBatch() {
    batchDepth++;
}

void endTextBatch() {
    if (--batchDepth == 0) drawPendingGlyphs();
}

bool drawKeptGlyphs(const char* text, void* font) {
    const GlyphSet* set = glyphSetOf(font);
    if (!set || windowWidth < 1 || windowHeight < 1) return false;
    // Lists and feedback (vector figures) record glBitmap; textured, depth
    // tested or translucent text is left to it too.
    GLint renderMode = 0, list = 0;
    glGetIntegerv(GL_RENDER_MODE, &renderMode);
    glGetIntegerv(GL_LIST_INDEX, &list);
    if (renderMode != GL_RENDER || list != 0 || glIsEnabled(GL_TEXTURE_2D) ||
        glIsEnabled(GL_DEPTH_TEST))
        return false;
    GLint valid = 0;
    glGetIntegerv(GL_CURRENT_RASTER_POSITION_VALID, &valid);
    if (!valid) return true; // glBitmap draws nothing then either
    float raster[4], colour[4];
    glGetFloatv(GL_CURRENT_RASTER_POSITION, raster);
    glGetFloatv(GL_CURRENT_RASTER_COLOR, colour);
    if (colour[3] != 1) return false;
    if (pendingSet != set) drawPendingGlyphs();
    pendingSet = set;
    // As glBitmap: each letter at the raster position floored (after
    // Mesa's 0.0001, a raster position a hair under a pixel counts as on
    // it), which moves on by the letter's advance in floating point.
    constexpr float NUDGE = 0.0001f;
    float x = raster[0];
    const float y = std::floor(raster[1] + NUDGE);
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c; c++) {
        const Glyph& g = set->glyphs[*c];
        if (g.width > 0) {
            if (pendingCount == PENDING_QUADS) drawPendingGlyphs();
            GlyphQuad& q = pendingQuads[pendingCount++];
            q.left = std::floor(x + NUDGE) + g.x0;
            q.bottom = y + g.y0;
            q.right = q.left + g.width;
            q.top = q.bottom + g.height;
            q.s0 = g.s0;
            q.t0 = g.t0;
            q.s1 = g.s1;
            q.t1 = g.t1;
            std::copy(colour, colour + 4, q.colour);
        }
        x += g.advance;
    }
    if (batchDepth == 0) drawPendingGlyphs();
    glBitmap(0, 0, 0, 0, x - raster[0], 0, nullptr); // the raster position moves on
    return true;
}

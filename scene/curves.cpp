// The eye paths and the lines joining the two eyes, sample by sample.
//
// LIST_CURVES is assembled from blocks: every finished block of rows is
// compiled once into lists of its own (one per primitive), and LIST_CURVES
// calls them and adds the unfinished rest. Neighbouring strip blocks share
// their boundary row, so the strips have exactly the segments of one long
// strip. During the replay a tick then costs the same at row 100 and at row
// 50000; the blocks are compiled again only when what they show changes.
#include "scene/scene.h"

#include "view/view.h"
#include "recording/recording.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace {

constexpr int BLOCK_ROWS = 512;
constexpr int BLOCK_COUNT = (RECORDING_CAPACITY + BLOCK_ROWS - 1) / BLOCK_ROWS;

enum Part { LEFT, RIGHT, DIFFERENCE_LINES, PARTS };

struct BlockCache {
    unsigned firstList; // PARTS * BLOCK_COUNT names, reserved once
    int compiled;       // blocks 0 .. compiled-1 are up to date
    uint8_t showLeftEye, showRightEye, showDifference, showGaps;
    float torsionScale;
};
BlockCache cache;

// Every how many rows a light frame draws one (see drawCurvesThinned); the
// lists are always compiled from every row.
int emitStride = 1;

// The row after i that a strip of rows .. end-1 draws: every emitStride-th,
// and always the last.
int nextStripRow(int i, int end) {
    return i + emitStride < end || i == end - 1 ? i + emitStride : end - 1;
}

unsigned blockList(int block, Part part) {
    return cache.firstList + block * PARTS + part;
}

// The rows drawn are always the recording's.
bool missing(int row, int firstColumn) {
    return eyeSampleMissing(recording, row, firstColumn);
}

// Whether each eye's path is shaded by sample order (its shade column holds
// nothing), decided again whenever the table changes.
struct OrderShading {
    bool byOrder[2];
    unsigned recordingVersion;
    int rowCount;
    bool decided;
};
OrderShading orderShading;

void decideOrderShading() {
    OrderShading& o = orderShading;
    if (o.decided && o.recordingVersion == recordingVersion && o.rowCount == recording.rowCount)
        return;
    o = {{shadeColumnUnset(recording, 7), shadeColumnUnset(recording, 14)},
         recordingVersion,
         recording.rowCount,
         true};
}

// One eye's strip. With gaps on, a missing sample ends the strip and a new
// one starts after it; a present sample between two missing ones is left
// out, and no strip is left empty: renderers draw a strip of one vertex as a
// dot, and some join the strips around an empty one when compiling a list.
void eyeStrip(const RecordingRow* rows, int first, int end, float s, bool gaps, int column,
              bool left) {
    bool begun = false;  // a vertex was given since the strip began
    bool broken = false; // a missing sample came after it
    for (int i = first; i < end; i = nextStripRow(i, end)) {
        const float* c = rows[i].col;
        if (gaps) {
            if (missing(i, column)) {
                broken = true;
                continue;
            }
            const bool joined =
                (i > first && !missing(i - 1, column)) || (i + 1 < end && !missing(i + 1, column));
            if (!joined) continue;
            if (broken && begun) {
                glEnd();
                glBegin(GL_LINE_STRIP);
                begun = false;
            }
            broken = false;
        }
        const float shade = orderShading.byOrder[left ? 0 : 1] ? orderShade(i, recording.rowCount)
                                                               : c[column == 3 ? 7 : 14];
        if (left)
            glColor3f(1 - shade, 1 - shade, 1);
        else
            glColor3f(1, 1 - shade, 1 - shade);
        glVertex3f(c[column], s * c[column + 2], c[column + 1]);
        begun = true;
    }
}

void leftStrip(const RecordingRow* rows, int first, int end, float s, bool gaps) {
    eyeStrip(rows, first, end, s, gaps, 3, true);
}

void rightStrip(const RecordingRow* rows, int first, int end, float s, bool gaps) {
    eyeStrip(rows, first, end, s, gaps, 10, false);
}

void differenceLines(const RecordingRow* rows, int first, int end, float s, bool gaps) {
    for (int i = first; i < end; i += emitStride) {
        const float* c = rows[i].col;
        if (gaps && (missing(i, 3) || missing(i, 10))) continue;
        glVertex3f(c[3], s * c[5], c[4]);
        glVertex3f(c[10], s * c[12], c[11]);
    }
}

using EmitRows = void (*)(const RecordingRow* rows, int first, int end, float s, bool gaps);

void compilePart(int block, Part part, GLenum mode, EmitRows emit, int end, float s) {
    glNewList(blockList(block, part), GL_COMPILE);
    glBegin(mode);
    emit(recording.rows, block * BLOCK_ROWS, end, s, cache.showGaps);
    glEnd();
    glEndList();
}

void compileBlock(int block, float s) {
    const int end = (block + 1) * BLOCK_ROWS;
    // The strips run one row further, to the first row of the next block.
    compilePart(block, LEFT, GL_LINE_STRIP, leftStrip, end + 1, s);
    compilePart(block, RIGHT, GL_LINE_STRIP, rightStrip, end + 1, s);
    compilePart(block, DIFFERENCE_LINES, GL_LINES, differenceLines, end, s);
}

// What a build draws of one part: a list of the rows before its first whole
// block, calls of the blocks firstBlock .. blocks-1, a list of the rows after.
struct PartPlan {
    bool shown;
    int firstBlock, blocks;
};
PartPlan plan[PARTS];

unsigned headList(Part part) {
    return cache.firstList + PARTS * BLOCK_COUNT + 2 * part;
}

unsigned tailList(Part part) {
    return headList(part) + 1;
}

void emitRows(GLenum mode, EmitRows emit, int first, int end, float s) {
    // A strip of one vertex draws nothing (some renderers draw a dot).
    if (mode == GL_LINE_STRIP && end - first < 2) return;
    glBegin(mode);
    emit(recording.rows, first, end, s, cache.showGaps);
    glEnd();
}

// Plans rows first .. count-1 of a part and compiles its head and tail. A
// strip's tail that is only the last block's final row is left out.
void preparePart(Part part, GLenum mode, EmitRows emit, int first, int blocks, int count, float s) {
    const bool strip = mode == GL_LINE_STRIP;
    const int firstBlock = (first + BLOCK_ROWS - 1) / BLOCK_ROWS;
    plan[part] = {true, firstBlock, blocks};
    glNewList(headList(part), GL_COMPILE);
    if (firstBlock >= blocks) { // too short for a whole block: drawn row by row
        plan[part].blocks = firstBlock;
        emitRows(mode, emit, first, count, s);
        glEndList();
        glNewList(tailList(part), GL_COMPILE);
        glEndList();
        return;
    }
    const int headEnd = firstBlock * BLOCK_ROWS;
    // A strip's head joins the block.
    if (first < headEnd) emitRows(mode, emit, first, headEnd + (strip ? 1 : 0), s);
    glEndList();
    const int tail = blocks * BLOCK_ROWS;
    glNewList(tailList(part), GL_COMPILE);
    if (!strip || count - tail > 1) emitRows(mode, emit, tail, count, s);
    glEndList();
}

// Software renderers keep every segment of a frame until it is flushed: a
// flush now and then bounds that memory and time (it changes no pixel).
void callPart(Part part, int blocksPerFlush) {
    const PartPlan& p = plan[part];
    glCallList(headList(part));
    for (int b = p.firstBlock; b < p.blocks; b++) {
        glCallList(blockList(b, part));
        if (blocksPerFlush && (b - p.firstBlock + 1) % blocksPerFlush == 0) glFlush();
    }
    glCallList(tailList(part));
}

// Each part is drawn at a depth of its own, nearer than the parts before
// it: with the depth test on, rows added later to an earlier part then stay
// under the later parts, as if everything had been drawn again in order.
// Without the depth test the depths change nothing.
void atLayer(Part part) {
    const double depth = 0.75 - 0.25 * static_cast<int>(part);
    glDepthRange(depth, depth);
}

void callCurves(int blocksPerFlush) {
    if (plan[LEFT].shown) {
        atLayer(LEFT);
        callPart(LEFT, blocksPerFlush);
    }
    if (plan[RIGHT].shown) {
        atLayer(RIGHT);
        callPart(RIGHT, blocksPerFlush);
    }
    if (plan[DIFFERENCE_LINES].shown) {
        atLayer(DIFFERENCE_LINES);
        glColor3f(0.3f, 0.3f, 0.3f);
        setLineWidth(0.5f);
        callPart(DIFFERENCE_LINES, blocksPerFlush);
    }
    glDepthRange(0, 1);
}

// Brings blocks 0 .. wanted-1 up to date and returns wanted.
int prepareBlocks(int wanted) {
    if (!cache.firstList) cache.firstList = glGenLists(PARTS * BLOCK_COUNT + 2 * PARTS);
    const OrderShading was = orderShading;
    decideOrderShading();
    const bool anyByOrder = orderShading.byOrder[0] || orderShading.byOrder[1];
    if (was.byOrder[0] != orderShading.byOrder[0] || was.byOrder[1] != orderShading.byOrder[1] ||
        (anyByOrder && was.rowCount != orderShading.rowCount))
        cache.compiled = 0;
    if (cache.showLeftEye != view.showLeftEye || cache.showRightEye != view.showRightEye ||
        cache.showDifference != view.showDifference || cache.showGaps != view.showGaps ||
        cache.torsionScale != view.torsionScale) {
        cache.compiled = 0;
        cache.showLeftEye = view.showLeftEye;
        cache.showRightEye = view.showRightEye;
        cache.showDifference = view.showDifference;
        cache.showGaps = view.showGaps;
        cache.torsionScale = view.torsionScale;
    }
    for (; cache.compiled < wanted; cache.compiled++)
        compileBlock(cache.compiled, view.torsionScale);
    return wanted;
}

} // namespace

int curveSampleCount;
CurveContent curveContent;
int curveBlocksPerFlush = DEFAULT_BLOCKS_PER_FLUSH;

void drawCurves() {
    if (curveBlocksPerFlush > 0)
        callCurves(curveBlocksPerFlush);
    else
        glCallList(LIST_CURVES);
}

ShownSamples drawnSamples() {
    const bool either = view.showLeftEye || view.showRightEye || view.showDifference;
    return {&recording,
            curveContent.first,
            std::min(curveContent.count, recording.rowCount),
            either && (view.showLeftEye || view.showDifference),
            either && (view.showRightEye || view.showDifference),
            view.showGaps != 0,
            curveContent.torsionScale};
}

void forgetCurveBlocks() {
    cache.compiled = 0;
    curveContent.version++;
}

// Widens box (x0, y0, x1, y1 in window pixels) by where rows first .. end-1
// of the shown eyes land; false when one lies behind the eye (a box cannot
// be told then).
static bool boxOfRows(int first, int end, float s, int box[4]) {
    double mv[16], p[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, mv);
    glGetDoublev(GL_PROJECTION_MATRIX, p);
    glGetIntegerv(GL_VIEWPORT, viewport);
    for (int i = first; i < end; i++) {
        const float* c = recording.rows[i].col;
        for (int column : {3, 10}) {
            const double v[4] = {c[column], s * c[column + 2], c[column + 1], 1};
            double eye[4], clip[4];
            for (int r = 0; r < 4; r++)
                eye[r] = mv[r] * v[0] + mv[4 + r] * v[1] + mv[8 + r] * v[2] + mv[12 + r] * v[3];
            for (int r = 0; r < 4; r++)
                clip[r] =
                    p[r] * eye[0] + p[4 + r] * eye[1] + p[8 + r] * eye[2] + p[12 + r] * eye[3];
            if (clip[3] < 1e-6) return false;
            // Kept within a little of the viewport (which starts above the
            // time plot when it shows): a point near the eye's plane lands
            // far outside it.
            const double x = std::clamp(viewport[0] + (clip[0] / clip[3] + 1) * viewport[2] / 2,
                                        viewport[0] - 16.0, viewport[0] + viewport[2] + 16.0);
            const double y = std::clamp(viewport[1] + (clip[1] / clip[3] + 1) * viewport[3] / 2,
                                        viewport[1] - 16.0, viewport[1] + viewport[3] + 16.0);
            if (x < box[0]) box[0] = static_cast<int>(std::floor(x));
            if (y < box[1]) box[1] = static_cast<int>(std::floor(y));
            if (x > box[2]) box[2] = static_cast<int>(std::ceil(x));
            if (y > box[3]) box[3] = static_cast<int>(std::ceil(y));
        }
    }
    return true;
}

bool drawCurveRows(int keptCount, int count, int box[4]) {
    const CurveContent& c = curveContent; // as the list was built
    const float s = c.torsionScale;
    // A strip's new segments start at the last row drawn before.
    const int from = keptCount > 0 ? keptCount - 1 : 0;
    box[0] = box[1] = 1 << 30;
    box[2] = box[3] = -(1 << 30);
    const bool boxed = count <= from || boxOfRows(from, count, s, box);
    if (c.showLeftEye && count - from > 1) {
        atLayer(LEFT);
        emitRows(GL_LINE_STRIP, leftStrip, from, count, s);
    }
    if (c.showRightEye && count - from > 1) {
        atLayer(RIGHT);
        emitRows(GL_LINE_STRIP, rightStrip, from, count, s);
    }
    if (c.showDifference) {
        atLayer(DIFFERENCE_LINES);
        glColor3f(0.3f, 0.3f, 0.3f);
        setLineWidth(0.5f);
        if (count > keptCount) emitRows(GL_LINES, differenceLines, keptCount, count, s);
    }
    glDepthRange(0, 1);
    return boxed;
}

void drawCurvesThinned(int stride) {
    const CurveContent& c = curveContent; // as the list was built
    const int count = std::min(c.count, recording.rowCount);
    emitStride = std::max(1, stride);
    if (c.showLeftEye) emitRows(GL_LINE_STRIP, leftStrip, c.first, count, c.torsionScale);
    if (c.showRightEye) emitRows(GL_LINE_STRIP, rightStrip, c.first, count, c.torsionScale);
    if (c.showDifference) {
        glColor3f(0.3f, 0.3f, 0.3f);
        setLineWidth(0.5f);
        emitRows(GL_LINES, differenceLines, c.first, count, c.torsionScale);
    }
    emitStride = 1;
}

void buildCurveList() {
    int count = view.buildUpCount != -1 ? view.buildUpCount : recording.rowCount;
    // The trail shows only the replay's recent past.
    int first =
        view.showTrail && view.buildUpCount != -1 ? trailStart(recording, count, TRAIL_SECONDS) : 0;
    // A range dragged in the time plot, as --from and --to would choose it.
    if (view.rangeFirst >= 0) {
        first = std::max(first, static_cast<int>(view.rangeFirst));
        count = std::max(first, std::min(count, static_cast<int>(view.rangeEnd)));
    }
    // A block is finished once the row after it exists (rows past rowCount
    // are only reached when the table is empty: a single row, no block).
    const int blocks = prepareBlocks(count > 0 ? (count - 1) / BLOCK_ROWS : 0);
    const float s = view.torsionScale;

    for (PartPlan& p : plan)
        p.shown = false;
    if (view.showLeftEye) preparePart(LEFT, GL_LINE_STRIP, leftStrip, first, blocks, count, s);
    if (view.showRightEye) preparePart(RIGHT, GL_LINE_STRIP, rightStrip, first, blocks, count, s);
    if (view.showDifference)
        preparePart(DIFFERENCE_LINES, GL_LINES, differenceLines, first, blocks, count, s);
    glNewList(LIST_CURVES, GL_COMPILE);
    callCurves(0);
    glEndList();
    // Anything but more rows at the end makes the curves another picture.
    const CurveContent& was = curveContent;
    if (was.first != first || was.showLeftEye != view.showLeftEye ||
        was.showRightEye != view.showRightEye || was.showDifference != view.showDifference ||
        was.showGaps != view.showGaps || was.torsionScale != s || count < was.count)
        curveContent.version++;
    curveContent.first = first;
    curveContent.count = count;
    curveContent.showLeftEye = view.showLeftEye;
    curveContent.showRightEye = view.showRightEye;
    curveContent.showDifference = view.showDifference;
    curveContent.showGaps = view.showGaps;
    curveContent.torsionScale = s;
    const bool anyShown = view.showLeftEye || view.showRightEye || view.showDifference;
    curveSampleCount = anyShown ? count - first : 0;
}

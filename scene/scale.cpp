// The scale (key k): the axes of the cross extended thinly over the
// samples' range, tick marks and numbers in degrees along them. The ticks
// and numbers are placed in window pixels, so that they keep their size at
// every zoom and no number covers another or an axis label.
#include "scene/scene.h"

#include "analysis/analysis.h"
#include "recording/recording.h"
#include "view/view.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr int MOST_NUMBERS = 8;
constexpr int TICK_PIXELS = 4;
constexpr int MOST_LABELS = 10 + 3 * (MOST_NUMBERS + 1);

struct Number {
    double x, y;        // the tick, window pixels
    double nx, ny;      // the side of the axis the number stands on
    double value, step; // degrees
    char text[16];
};

// The help lines, the label drum, the legend, the main-sequence panel,
// and the cross's labels: the raster
// positions of buildCrossList, their texts in the 8 by 13 font drawn to the
// right of them.
void reserveCrossLabels(LabelBox* boxes, int& count) {
    static const struct {
        int axis;
        double at;
        const char* text;
    } labels[6] = {{0, -10, "-"}, {0, 10, "+ horizontal"}, {1, 10, "+ torsion"},
                   {1, -10, "-"}, {2, 10, "+ vertical"},   {2, -10, "-"}};
    double help[4];
    if (view.showHelpLines) {
        helpLinesWindowBox(help);
        boxes[count++] = {help[0], help[1], help[2], help[3]};
    }
    int drum[4];
    if (drumWindowBox(drum))
        boxes[count++] = {1.0 * drum[0], 1.0 * drum[1], 1.0 * drum[2], 1.0 * drum[3]};
    int legend[4];
    if (legendWindowBox(legend))
        boxes[count++] = {1.0 * legend[0], 1.0 * legend[1], 1.0 * legend[2], 1.0 * legend[3]};
    int panel[4], plot[4];
    if (mainSequencePanel(panel, plot))
        boxes[count++] = {1.0 * panel[0], 1.0 * panel[1], 1.0 * panel[2], 1.0 * panel[3]};
    if (!view.showCross) return;
    for (const auto& label : labels) {
        double p[3] = {0, 0, 0};
        p[label.axis] = label.at;
        double x, y;
        if (!projectWithMatrices(framePlotProjection, p, x, y)) continue;
        const double width = 8.0 * strlen(label.text);
        boxes[count++] = {x - 1, y - 4, x + width + 1, y + 11};
    }
}

// The axis's ends: the cross's +-10, widened to the samples' range.
void axisEnds(const double low[3], const double high[3], bool any, int axis, double& from,
              double& to) {
    const double s = axis == 1 ? view.torsionScale : 1;
    from = -10;
    to = 10;
    if (!any) return;
    from = std::min({from, s * low[axis], s * high[axis]});
    to = std::max({to, s * low[axis], s * high[axis]});
}

} // namespace

void drawScale() {
    if (!view.showScale) return;
    // The samples' range: found again only when the curves show other rows.
    static struct {
        unsigned curveVersion, recordingVersion;
        int first, count;
        bool any;
        double low[3], high[3];
    } range = {~0u, 0, -1, -1, false, {}, {}};
    if (range.curveVersion != curveContent.version || range.recordingVersion != recordingVersion ||
        range.first != curveContent.first || range.count != curveContent.count) {
        range.curveVersion = curveContent.version;
        range.recordingVersion = recordingVersion;
        range.first = curveContent.first;
        range.count = curveContent.count;
        range.any = shownSampleRange(drawnSamples(), range.low, range.high);
    }
    const double* low = range.low;
    const double* high = range.high;
    const bool any = range.any;

    // The thin extensions, under the plot transform.
    glPushAttrib(GL_CURRENT_BIT | GL_LINE_BIT | GL_ENABLE_BIT);
    glDisable(GL_TEXTURE_2D);
    setLineWidth(1);
    glColor3f(0.2f, 0.2f, 0.2f);
    glBegin(GL_LINES);
    for (int axis = 0; axis < 3; axis++) {
        double from, to;
        axisEnds(low, high, any, axis, from, to);
        double a[3] = {0, 0, 0}, b[3] = {0, 0, 0};
        a[axis] = from;
        b[axis] = -10;
        if (from < -10) {
            glVertex3dv(a);
            glVertex3dv(b);
        }
        a[axis] = 10;
        b[axis] = to;
        if (to > 10) {
            glVertex3dv(a);
            glVertex3dv(b);
        }
    }
    glEnd();
    glPopAttrib();

    // The numbers: the visible part of each axis gets its step, in
    // recorded degrees (the torsion axis is drawn scaled).
    Number numbers[3 * (MOST_NUMBERS + 2)];
    int numberCount = 0;
    for (int axis = 0; axis < 3; axis++) {
        double from, to, a, b;
        axisEnds(low, high, any, axis, from, to);
        if (!visibleAxisPart(framePlotProjection, axis, from, to, a, b)) continue;
        const double s = axis == 1 ? view.torsionScale : 1;
        if (s == 0) continue; // a flattened torsion axis has no degrees
        const double lowDegrees = std::min(a / s, b / s), highDegrees = std::max(a / s, b / s);
        // The origin is shared by the three axes and carries no number.
        const int most = MOST_NUMBERS + (lowDegrees <= 0 && highDegrees >= 0 ? 1 : 0);
        const double step = chooseTickStep(lowDegrees, highDegrees, most);
        if (!(step > 0)) continue;
        // The axis's direction on screen, and the side for its numbers.
        double p0[3] = {0, 0, 0}, p1[3] = {0, 0, 0}, x0, y0, x1, y1;
        p0[axis] = a;
        p1[axis] = b;
        if (!projectWithMatrices(framePlotProjection, p0, x0, y0) ||
            !projectWithMatrices(framePlotProjection, p1, x1, y1))
            continue;
        // An axis seen within 15 degrees of end on has its numbers nearly on
        // top of one another, and among the other axes' numbers.
        const double* m = framePlotProjection.modelview;
        const double* e = m + 4 * axis; // the axis's direction in eye space
        if (std::fabs(e[2]) > std::cos(15 * 3.14159265358979 / 180) * std::hypot(e[0], e[1], e[2]))
            continue;
        double dx = x1 - x0, dy = y1 - y0;
        const double length = std::hypot(dx, dy);
        if (length < 1) continue;
        dx /= length;
        dy /= length;
        // The cross's labels run to the right of their points, above a
        // level axis: numbers stand below a level axis, left of an upright one.
        double nx = dy, ny = -dx;
        if (std::fabs(dy) > std::fabs(dx) ? nx > 0 : ny > 0) {
            nx = -nx;
            ny = -ny;
        }
        for (long k = static_cast<long>(std::ceil(lowDegrees / step - 1e-9));
             k * step <= highDegrees + 1e-9 * step && numberCount < 3 * (MOST_NUMBERS + 2); k++) {
            if (k == 0) continue;
            double p[3] = {0, 0, 0}, x, y;
            p[axis] = s * k * step;
            if (!projectWithMatrices(framePlotProjection, p, x, y)) continue;
            Number& n = numbers[numberCount++];
            n = {x, y, nx, ny, k * step, step, ""};
            formatTickValue(n.text, sizeof n.text, n.value, step);
        }
    }
    // Nearest the origin first: each axis keeps its first numbers.
    std::sort(numbers, numbers + numberCount, [](const Number& a, const Number& b) {
        return std::fabs(a.value) < std::fabs(b.value);
    });

    void* font = addedTextFont();
    const int ascent = addedTextAscent(), descent = addedTextDescent();
    LabelBox boxes[MOST_LABELS + 3 * (MOST_NUMBERS + 2)];
    int boxCount = 0;
    reserveCrossLabels(boxes, boxCount);
    const int reserved = boxCount;
    // A number whose box would leave the 3D view is left out.
    const int* v = framePlotProjection.viewport;
    int order[3 * (MOST_NUMBERS + 2)];
    for (int i = 0; i < numberCount; i++) {
        const Number& n = numbers[i];
        const double width =
            glutBitmapLength(font, reinterpret_cast<const unsigned char*>(n.text)) + 4;
        const double height = ascent + descent + 2;
        // The box's centre stands off the axis by the tick and half the box.
        const double off =
            TICK_PIXELS + 3 + std::fabs(n.nx) * width / 2 + std::fabs(n.ny) * height / 2;
        const double cx = n.x + n.nx * off, cy = n.y + n.ny * off;
        const LabelBox box = {cx - width / 2, cy - height / 2, cx + width / 2, cy + height / 2};
        if (box.x0 < v[0] || box.y0 < v[1] || box.x1 > v[0] + v[2] || box.y1 > v[1] + v[3])
            continue;
        order[boxCount - reserved] = i;
        boxes[boxCount++] = box;
    }
    bool kept[MOST_LABELS + 3 * (MOST_NUMBERS + 2)];
    keepApartLabels(boxes, boxCount, reserved, kept);

    beginWindowPixels();
    glColor3f(0.1f, 0.1f, 0.1f);
    glBegin(GL_LINES);
    for (int i = 0; i < numberCount; i++) {
        const Number& n = numbers[i];
        glVertex2d(n.x - n.nx * TICK_PIXELS, n.y - n.ny * TICK_PIXELS);
        glVertex2d(n.x + n.nx * TICK_PIXELS, n.y + n.ny * TICK_PIXELS);
    }
    glEnd();
    for (int i = reserved; i < boxCount; i++) {
        if (!kept[i]) continue;
        const LabelBox& b = boxes[i];
        drawLabel(static_cast<int>(std::lround(b.x0 + 2)),
                  static_cast<int>(std::lround(b.y0 + 1 + descent)),
                  numbers[order[i - reserved]].text);
    }
    endWindowPixels();
}

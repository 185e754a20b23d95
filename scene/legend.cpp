// The key to the colours: which path is which eye, the difference lines,
// and in the Listing view the planes, with the events' marks while they
// show. Drawn with the scale (key k), with --legend, and in vector figures,
// in the plot's upper right corner, below the help lines where they reach
// that far; the scale's numbers and the status lines keep clear of it.
#include "scene/scene.h"

#include "analysis/analysis.h"
#include "view/view.h"

#include <GL/freeglut.h>

#include <algorithm>

namespace {

enum class Swatch { Line, WideLine, Plane, Cross };

struct LegendEntry {
    const char* text;
    Swatch swatch;
    float colour[4];
};

constexpr int MOST_ENTRIES = 8;
constexpr int SWATCH_PIXELS = 22;
constexpr int PADDING = 5;
constexpr int MARGIN = 6; // from the viewport's edges and the help lines

int legendEntries(LegendEntry* out) {
    int n = 0;
    if (view.showLeftEye) out[n++] = {"left eye", Swatch::Line, {0, 0, 1, 1}};
    if (view.showRightEye) out[n++] = {"right eye", Swatch::Line, {1, 0, 0, 1}};
    if (view.showDifference) out[n++] = {"difference", Swatch::Line, {0.3f, 0.3f, 0.3f, 1}};
    if (view.showListing) {
        // The planes' tints as drawListingPlanes lays them over the grey.
        if (view.showLeftEye && listingPlanes[0][0].valid)
            out[n++] = {"left Listing's plane", Swatch::Plane, {0.3f, 0.3f, 1, 0.25f}};
        if (view.showRightEye && listingPlanes[1][0].valid)
            out[n++] = {"right Listing's plane", Swatch::Plane, {1, 0.3f, 0.3f, 0.25f}};
    }
    if (view.showEvents && (view.showLeftEye || view.showRightEye)) {
        out[n++] = {"saccade (wide)", Swatch::WideLine, {0.2f, 0.2f, 0.2f, 1}};
        out[n++] = {"blink", Swatch::Cross, {0, 0, 0, 1}};
    }
    return n;
}

int legendTextWidth(const char* text) {
    return glutBitmapLength(addedTextFont(), reinterpret_cast<const unsigned char*>(text));
}

} // namespace

bool legendShown() {
    return !view.hideLegend && (view.showLegend || view.showScale);
}

bool legendWindowBox(int box[4]) {
    if (!legendShown()) return false;
    LegendEntry entries[MOST_ENTRIES];
    const int count = legendEntries(entries);
    if (count == 0) return false;
    int textWidth = 0;
    for (int i = 0; i < count; i++)
        textWidth = std::max(textWidth, legendTextWidth(entries[i].text));
    const int width = PADDING + SWATCH_PIXELS + PADDING + textWidth + PADDING;
    const int height = count * addedTextLineHeight() + PADDING;
    int viewport[4];
    plotViewport(viewport);
    const int right = viewport[0] + viewport[2] - MARGIN;
    int top = viewport[1] + viewport[3] - MARGIN;
    top = topBelowHelpLines(top, right - width, MARGIN);
    box[0] = right - width;
    box[1] = top - height;
    box[2] = right;
    box[3] = top;
    return box[0] >= viewport[0] && box[1] >= viewport[1];
}

void drawLegend() {
    int box[4];
    if (!legendWindowBox(box)) return;
    LegendEntry entries[MOST_ENTRIES];
    const int count = legendEntries(entries);
    const int line = addedTextLineHeight(), descent = addedTextDescent();
    beginWindowPixels();
    // A light panel: the eyes' blue and red read on it as on the plot's grey.
    glColor3f(0.96f, 0.96f, 0.96f);
    glRecti(box[0], box[1], box[2], box[3]);
    glColor3f(0.4f, 0.4f, 0.4f);
    drawBoxOutline(box[0], box[1], box[2], box[3]);
    for (int i = 0; i < count; i++) {
        const LegendEntry& e = entries[i];
        const int baseline = box[3] - (i + 1) * line + descent + 1;
        const double middle = baseline + addedTextAscent() / 2.0 - 1;
        const double x0 = box[0] + PADDING, x1 = x0 + SWATCH_PIXELS;
        glColor4fv(e.colour);
        switch (e.swatch) {
        case Swatch::Line:
        case Swatch::WideLine:
            setLineWidth(e.swatch == Swatch::WideLine ? 3.3f : 2);
            glBegin(GL_LINES);
            glVertex2d(x0, middle);
            glVertex2d(x1, middle);
            glEnd();
            setLineWidth(1);
            break;
        case Swatch::Plane:
            // Over the plot's grey, as the planes are.
            glColor3f(0.7f * (1 - e.colour[3]) + e.colour[0] * e.colour[3],
                      0.7f * (1 - e.colour[3]) + e.colour[1] * e.colour[3],
                      0.7f * (1 - e.colour[3]) + e.colour[2] * e.colour[3]);
            glRectd(x0, middle - 4, x1, middle + 4);
            break;
        case Swatch::Cross:
            glBegin(GL_LINES);
            glVertex2d(x0 + SWATCH_PIXELS / 2.0 - 5, middle);
            glVertex2d(x0 + SWATCH_PIXELS / 2.0 + 5, middle);
            glVertex2d(x0 + SWATCH_PIXELS / 2.0, middle - 5);
            glVertex2d(x0 + SWATCH_PIXELS / 2.0, middle + 5);
            glEnd();
            break;
        }
        glColor3f(0, 0, 0);
        drawText(static_cast<float>(x1 + PADDING), static_cast<float>(baseline), 0, e.text,
                 addedTextFont());
    }
    endWindowPixels();
}

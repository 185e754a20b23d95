// The texts the program adds (readout, notices, scale numbers, the time
// plot's numbers): in window pixels, on a dark half-transparent backdrop so
// that they read over the grey and over the paths, in a larger font in tall
// windows, and never under the label drum.
#include "scene/scene.h"

#include "view/view.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

int textWidth(void* font, const char* part, size_t length) {
    char text[200];
    snprintf(text, sizeof text, "%.*s", static_cast<int>(length), part);
    return glutBitmapLength(font, reinterpret_cast<const unsigned char*>(text));
}

// Breaks text into up to four lines no wider than room: at double spaces
// first, then at spaces. Returns the number of lines.
int breakIntoLines(const char* text, void* font, int room, char lines[4][200]) {
    int count = 0;
    lines[0][0] = '\0';
    for (const char* part = text; *part && count < 4;) {
        const char* gap = strstr(part, "  ");
        size_t length = gap ? static_cast<size_t>(gap - part) : strlen(part);
        // A part wider than the room on its own is broken at a space.
        while (textWidth(font, part, length) > room) {
            size_t space = length - 1;
            while (space > 0 && part[space] != ' ')
                space--;
            if (space == 0) break;
            length = space;
        }
        char* line = lines[count];
        char joined[200];
        snprintf(joined, sizeof joined, "%s%s%.*s", line, *line ? "   " : "",
                 static_cast<int>(length), part);
        if (*line && textWidth(font, joined, strlen(joined)) > room) {
            if (++count == 4) break;
            snprintf(lines[count], sizeof lines[count], "%.*s", static_cast<int>(length), part);
        } else {
            snprintf(line, sizeof lines[count], "%s", joined);
        }
        part += length;
        while (*part == ' ')
            part++;
    }
    if (count < 4 && lines[count][0]) count++;
    return count;
}

// The lines' spacing at depth 50: 1.8 units as always, but never closer
// than 8 pixels (the 3D view above the time plot is short), nor than the
// larger fonts' lines.
float lineStep(double pixelsPerUnit, void* font) {
    const double line = font == GLUT_BITMAP_TIMES_ROMAN_10 ? 0 : addedTextLineHeight() - 2;
    return static_cast<float>(std::max({line / pixelsPerUnit, 1.8, 8 / pixelsPerUnit}));
}

} // namespace

void* addedTextFont() {
    if (windowHeight > 900) return GLUT_BITMAP_HELVETICA_18;
    return windowHeight >= LEGIBLE_TEXT_FROM_HEIGHT ? GLUT_BITMAP_HELVETICA_12
                                                    : GLUT_BITMAP_TIMES_ROMAN_10;
}

int addedTextDescent() {
    void* font = addedTextFont();
    return font == GLUT_BITMAP_HELVETICA_18 ? 5 : font == GLUT_BITMAP_HELVETICA_12 ? 4 : 3;
}

int addedTextAscent() {
    void* font = addedTextFont();
    return font == GLUT_BITMAP_HELVETICA_18 ? 15 : font == GLUT_BITMAP_HELVETICA_12 ? 11 : 9;
}

int addedTextLineHeight() {
    void* font = addedTextFont();
    return font == GLUT_BITMAP_HELVETICA_18 ? 24 : font == GLUT_BITMAP_HELVETICA_12 ? 17 : 12;
}

void beginWindowPixels() {
    glPushAttrib(GL_CURRENT_BIT | GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_VIEWPORT_BIT |
                 GL_LINE_BIT);
    glViewport(0, 0, windowWidth, windowHeight);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, windowWidth, 0, windowHeight, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_LINE_SMOOTH);
    // Flat overlays have no back: the subject's view turns the faces'
    // winding while the plot is drawn, and the scale draws under it.
    glDisable(GL_CULL_FACE);
    setLineWidth(1);
}

void endWindowPixels() {
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopAttrib();
    restoreVectorLineWidth(); // the width the attributes gave back
}

void drawBoxOutline(int x0, int y0, int x1, int y1) {
    // Through the middles of the edge pixels: each side lights one row.
    glBegin(GL_LINE_LOOP);
    glVertex2d(x0 + 0.5, y0 + 0.5);
    glVertex2d(x1 - 0.5, y0 + 0.5);
    glVertex2d(x1 - 0.5, y1 - 0.5);
    glVertex2d(x0 + 0.5, y1 - 0.5);
    glEnd();
}

void drawBackdrop(int x0, int y0, int x1, int y1, float opacity) {
    glPushAttrib(GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0, 0, 0, opacity);
    glRecti(x0, y0, x1, y1);
    glPopAttrib();
}

void drawLabel(int x, int y, const char* text) {
    void* font = addedTextFont();
    const int width = glutBitmapLength(font, reinterpret_cast<const unsigned char*>(text));
    drawBackdrop(x - 2, y - addedTextDescent(), x + width + 2, y + addedTextAscent(),
                 TEXT_BACKDROP_OPACITY);
    glColor3f(1, 1, 1);
    drawText(static_cast<float>(x), static_cast<float>(y), 0, text, font);
}

namespace {

// The lines of the current frame, gathered so that every backdrop is drawn
// before any text: lines stand closer than the font's height, and a later
// backdrop would dim the tops of the letters below it.
struct StatusLine {
    int x, baseline;
    char text[200];
};
StatusLine statusLines[16];
int statusLineCount;
float statusColour[4];

} // namespace

float drawStatusText(const char* text, float y) {
    void* font = addedTextFont();
    int viewport[4];
    plotViewport(viewport);
    if (viewport[2] < 1 || viewport[3] < 1) return y;
    // Where x = -30 at depth 50 lands: the visible half-width there is
    // 31.85 times the aspect, the half-height 31.85 (50 tan 32.5 deg).
    const double halfHeight = 31.85;
    const double left =
        viewport[2] * (1 - 30 / (halfHeight * viewAspect(viewport[2], viewport[3]))) / 2;
    const int x = viewport[0] + static_cast<int>(std::floor(left));
    const double pixelsPerUnit = viewport[3] / (2 * halfHeight);
    const float step = lineStep(pixelsPerUnit, font);
    auto baseline = [&](float at) {
        return static_cast<int>(std::floor(viewport[1] + viewport[3] / 2.0 + at * pixelsPerUnit));
    };
    // Beside the label drum, lines end before it.
    int drum[4];
    int right = windowWidth - 4;
    if (drumWindowBox(drum) && baseline(y) - addedTextDescent() < drum[3]) right = drum[0] - 6;
    // Likewise beside the legend, for every line the text may take.
    int legend[4];
    if (legendWindowBox(legend) && baseline(y + 3 * step) + addedTextAscent() > legend[1])
        right = std::min(right, legend[0] - 6);
    char lines[4][200];
    const int count = breakIntoLines(text, font, right - x, lines);
    glGetFloatv(GL_CURRENT_COLOR, statusColour); // the help lines' colour, set by the frame
    for (int i = count - 1; i >= 0; i--, y += step) {
        if (statusLineCount == sizeof statusLines / sizeof statusLines[0]) continue;
        StatusLine& line = statusLines[statusLineCount++];
        line.x = x;
        line.baseline = baseline(y);
        snprintf(line.text, sizeof line.text, "%s", lines[i]);
    }
    return y;
}

void drawGatheredStatusText() {
    const int n = statusLineCount;
    statusLineCount = 0;
    if (n == 0) return;
    void* font = addedTextFont();
    const int ascent = addedTextAscent(), descent = addedTextDescent();
    beginWindowPixels();
    // The backdrops tile: each reaches up to the next line's when they
    // stand close, so that no row is darkened twice.
    for (int i = 0; i < n; i++) {
        const StatusLine& line = statusLines[i];
        const int bottom = line.baseline - descent;
        int top = line.baseline + ascent;
        if (i + 1 < n && statusLines[i + 1].baseline - descent < top &&
            statusLines[i + 1].baseline > line.baseline)
            top = statusLines[i + 1].baseline - descent;
        const int width = textWidth(font, line.text, strlen(line.text));
        drawBackdrop(line.x - 2, bottom, line.x + width + 2, top, TEXT_BACKDROP_OPACITY);
    }
    glColor4fv(statusColour);
    beginTextBatch();
    for (int i = 0; i < n; i++)
        drawText(static_cast<float>(statusLines[i].x), static_cast<float>(statusLines[i].baseline),
                 0, statusLines[i].text, font);
    endTextBatch();
    endWindowPixels();
}

namespace {

const char* const HELP_LINES[] = {"F1..F5  - show/hide,    F6..F8  - rotation x,y,z",
                                  "F9..F10 - zoom in/out, F11..F12 - rise/lower torsion",
                                  "a - build up lines, r - reset, ESC - exit",
                                  "h - all keys and mouse"};
constexpr float HELP_TOP = 29, HELP_STEP = 1.8f;

} // namespace

// The help lines' spacing at depth 50 in the 3D view: 1.8 units, or 8
// pixels where that is closer.
static float helpLineStep() {
    int viewport[4];
    plotViewport(viewport);
    return viewport[3] > 0 ? lineStep(viewport[3] / (2 * 31.85), GLUT_BITMAP_TIMES_ROMAN_10)
                           : HELP_STEP;
}

void drawHelpLines() {
    const float step = helpLineStep();
    beginTextBatch();
    for (int i = 0; i < 4; i++)
        drawText(-30, HELP_TOP - step * i, -50, HELP_LINES[i], GLUT_BITMAP_TIMES_ROMAN_10);
    endTextBatch();
}

void helpLinesWindowBox(double box[4]) {
    int viewport[4];
    plotViewport(viewport);
    // At depth 50 the view shows 31.85 units either side of its middle
    // upwards, 31.85 times the aspect sideways.
    const double halfHeight = 31.85, aspect = viewAspect(viewport[2], viewport[3]);
    int width = 0;
    for (const char* line : HELP_LINES)
        width = std::max(width, textWidth(GLUT_BITMAP_TIMES_ROMAN_10, line, strlen(line)));
    box[0] = viewport[0] + viewport[2] * (1 - 30 / (halfHeight * aspect)) / 2;
    box[2] = box[0] + width;
    const double pixelsPerUnit = viewport[3] / (2 * halfHeight);
    const double middle = viewport[1] + viewport[3] / 2.0;
    box[1] = middle + (HELP_TOP - 3 * helpLineStep()) * pixelsPerUnit - 3;
    box[3] = middle + HELP_TOP * pixelsPerUnit + 10;
}

int topBelowHelpLines(int top, int left, int margin) {
    if (!view.showHelpLines) return top;
    double help[4];
    helpLinesWindowBox(help);
    return help[2] > left ? std::min(top, static_cast<int>(help[1]) - margin) : top;
}

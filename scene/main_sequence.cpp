// The main-sequence panel (key m): each saccade of the page as a dot of
// peak velocity against amplitude on log-log axes, in its eye's colour,
// and each eye's fitted curve V = Vmax (1 - e^(-A/C)) with its numbers. A
// square in the plot's upper right corner, below the key to the colours
// where that shows.
#include "scene/scene.h"

#include "analysis/analysis.h"
#include "view/view.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int MARGIN = 6;
const float EYE_COLOURS[2][3] = {{0, 0, 1}, {1, 0, 0}};

int labelWidth(const char* text) {
    return glutBitmapLength(addedTextFont(), reinterpret_cast<const unsigned char*>(text));
}

void label(double x, double y, const char* text) {
    drawText(static_cast<float>(std::floor(x)), static_cast<float>(std::floor(y)), 0, text,
             addedTextFont());
}

} // namespace

bool mainSequencePanel(int panel[4], int plot[4]) {
    if (!view.showMainSequence) return false;
    int viewport[4];
    plotViewport(viewport);
    const int side = std::min(viewport[2], viewport[3]) * 2 / 5;
    if (side < 120) return false;
    int top = viewport[1] + viewport[3] - MARGIN;
    int legend[4];
    if (legendWindowBox(legend)) top = legend[1] - MARGIN;
    const int right = viewport[0] + viewport[2] - MARGIN;
    top = topBelowHelpLines(top, right - side, MARGIN);
    panel[0] = right - side;
    panel[1] = top - side;
    panel[2] = right;
    panel[3] = top;
    if (panel[1] < viewport[1]) return false;
    // Room for the numbers left of the axes and under them, and the curves'
    // lines above.
    const int line = addedTextLineHeight();
    plot[0] = panel[0] + labelWidth("1000") + 8;
    plot[1] = panel[1] + 2 * line + 4;
    plot[2] = panel[2] - 8;
    plot[3] = panel[3] - 3 * line - 2;
    return plot[2] - plot[0] > 40 && plot[3] - plot[1] > 40;
}

void drawMainSequence() {
    int panel[4], plot[4];
    if (!pageNystagmus.found || !mainSequencePanel(panel, plot)) return;
    const int line = addedTextLineHeight(), descent = addedTextDescent();
    beginWindowPixels();
    glColor3f(1, 1, 1);
    glRecti(panel[0], panel[1], panel[2], panel[3]);
    // Ticks at 1, 2 and 5 times the powers of ten; numbers at the powers.
    glColor3f(0.85f, 0.85f, 0.85f);
    glBegin(GL_LINES);
    for (double decade = 0.1; decade <= 1000; decade *= 10)
        for (double step : {1.0, 2.0, 5.0}) {
            double x, y;
            const double value = decade * step;
            if (mainSequencePoint(plot, value, MAIN_SEQUENCE_VELOCITIES[0], x, y)) {
                glVertex2d(std::floor(x) + 0.5, plot[1]);
                glVertex2d(std::floor(x) + 0.5, plot[3]);
            }
            if (mainSequencePoint(plot, MAIN_SEQUENCE_AMPLITUDES[0], value, x, y)) {
                glVertex2d(plot[0], std::floor(y) + 0.5);
                glVertex2d(plot[2], std::floor(y) + 0.5);
            }
        }
    glEnd();
    glColor3f(0, 0, 0);
    char text[64];
    for (double value : {0.1, 1.0, 10.0}) {
        double x, y;
        mainSequencePoint(plot, value, MAIN_SEQUENCE_VELOCITIES[0], x, y);
        snprintf(text, sizeof text, "%g", value);
        label(x - labelWidth(text) / 2.0, plot[1] - line + descent, text);
    }
    for (double value : {10.0, 100.0, 1000.0}) {
        double x, y;
        mainSequencePoint(plot, MAIN_SEQUENCE_AMPLITUDES[0], value, x, y);
        snprintf(text, sizeof text, "%g", value);
        label(plot[0] - 4 - labelWidth(text), y - addedTextAscent() / 2.0, text);
    }
    label(plot[2] - labelWidth("amplitude (\xB0)"), panel[1] + descent + 1, "amplitude (\xB0)");
    label(panel[0] + 3, panel[3] - 3 * line + descent, "peak velocity (\xB0/s)");
    // The saccades, then each eye's curve and its numbers.
    const uint8_t shown[2] = {view.showLeftEye, view.showRightEye};
    setPointSize(3);
    glBegin(GL_POINTS);
    for (int k = 0; k < pageEvents.count; k++) {
        const EyeEvent& e = pageEvents.events[k];
        double x, y;
        if (e.kind != EventKind::Saccade || e.eye > 1 || !shown[e.eye] ||
            !mainSequencePoint(plot, e.amplitudeDeg, e.peakVelocity, x, y))
            continue;
        glColor3fv(EYE_COLOURS[e.eye]);
        glVertex2d(std::floor(x) + 0.5, std::floor(y) + 0.5);
    }
    glEnd();
    setPointSize(1);
    for (int eye = 0; eye < 2; eye++) {
        if (!shown[eye]) continue;
        const MainSequence& m = pageNystagmus.mainSequence[eye];
        glColor3fv(EYE_COLOURS[eye]);
        if (m.valid) {
            setLineWidth(1.5f);
            glBegin(GL_LINE_STRIP);
            for (int i = 0; i <= 100; i++) {
                const double a =
                    MAIN_SEQUENCE_AMPLITUDES[0] *
                    std::pow(MAIN_SEQUENCE_AMPLITUDES[1] / MAIN_SEQUENCE_AMPLITUDES[0], i / 100.0);
                const double v = m.vmax * (1 - std::exp(-a / m.c));
                double x, y;
                if (mainSequencePoint(plot, a, v, x, y)) glVertex2d(x, y);
            }
            glEnd();
            setLineWidth(1);
            snprintf(text, sizeof text, "Vmax %.0f \xB0/s, C %.1f\xB0", m.vmax, m.c);
        } else {
            snprintf(text, sizeof text,
                     m.saccades < MAIN_SEQUENCE_FEWEST ? "n/a (%d saccades)"
                                                       : "n/a (%d saccades, C unknown)",
                     m.saccades);
        }
        label(panel[0] + 3, panel[3] - (eye + 1) * line + descent, text);
    }
    glColor3f(0.4f, 0.4f, 0.4f);
    drawBoxOutline(plot[0], plot[1], plot[2], plot[3]);
    endWindowPixels();
}

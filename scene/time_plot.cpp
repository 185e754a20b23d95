// The time plot (key p): across the bottom third of the window, three
// strips (horizontal, vertical, torsion against Time) with both eyes,
// each reduced to the least and greatest value of every pixel column, so
// that 50000 samples cost no more than the panel's width.
#include "scene/scene.h"

#include "analysis/analysis.h"
#include "recording/recording.h"
#include "view/view.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr int MOST_COLUMNS = 8192;
constexpr int STRIP_GAP = 4;
const char* const STRIP_NAMES[4] = {"horizontal (deg)", "vertical (deg)", "torsion (deg)",
                                    "vergence (deg)"};
const char* const TIME_AXIS_NAME = "time (s)";
const char* const VERGENCE_NAMES[3] = {"horizontal", "vertical", "cyclo"};
// Blue and red for the eyes; the vergences in colours of their own.
const float EYE_COLOURS[2][3] = {{0, 0, 1}, {1, 0, 0}};
const float VERGENCE_COLOURS[3][3] = {{0, 0.5f, 0}, {0.6f, 0, 0.6f}, {0.9f, 0.5f, 0}};

// The traces of the latest page, per eye (left, right) and strip (H, V, T),
// computed again only when the page or the panel's width changes.
struct Traces {
    unsigned recordingVersion;
    long long firstSample;
    int rowCount, columns;
    double t0, t1;
    TraceColumn column[2][3][MOST_COLUMNS];
    TraceColumn vergence[3][MOST_COLUMNS]; // horizontal, vertical, cyclo
};
Traces traces;

// The table's time span: its least and greatest Time, found again only
// when the table has changed.
bool timeSpan(double& t0, double& t1) {
    static unsigned version = ~0u;
    static int rows = -1;
    static double low, high;
    if (version != recordingVersion || rows != recording.rowCount) {
        version = recordingVersion;
        rows = recording.rowCount;
        low = INFINITY;
        high = -INFINITY;
        for (int i = 0; i < recording.rowCount; i++) {
            low = std::fmin(low, recording.rows[i].col[0]);
            high = std::fmax(high, recording.rows[i].col[0]);
        }
    }
    t0 = low;
    t1 = high;
    return t1 > t0;
}

void updateTraces(const TimePlotFrame& frame) {
    const int columns = std::min(frame.x1 - frame.x0, MOST_COLUMNS);
    if (traces.recordingVersion == recordingVersion &&
        traces.firstSample == recordingExtent.firstSample &&
        traces.rowCount == recording.rowCount && traces.columns == columns &&
        traces.t0 == frame.t0 && traces.t1 == frame.t1)
        return;
    traces.recordingVersion = recordingVersion;
    traces.firstSample = recordingExtent.firstSample;
    traces.rowCount = recording.rowCount;
    traces.columns = columns;
    traces.t0 = frame.t0;
    traces.t1 = frame.t1;
    // The file's horizontal, vertical and torsion fields follow each other.
    for (int eye = 0; eye < 2; eye++)
        for (int strip = 0; strip < 3; strip++)
            decimateTrace(recording, 0, recording.rowCount, eye ? 10 : 3, strip, frame.t0, frame.t1,
                          columns, traces.column[eye][strip]);
    for (int component = 0; component < 3; component++)
        decimateVergence(recording, 0, recording.rowCount, component, frame.t0, frame.t1, columns,
                         traces.vergence[component]);
}

int textWidth(const char* text) {
    return glutBitmapLength(addedTextFont(), reinterpret_cast<const unsigned char*>(text));
}

void drawTextAt(int x, int y, const char* text) {
    drawText(static_cast<float>(x), static_cast<float>(y), 0, text, addedTextFont());
}

double xOfTime(const TimePlotFrame& f, double t) {
    return f.x0 + (t - f.t0) / (f.t1 - f.t0) * (f.x1 - f.x0);
}

void drawTrace(const TraceColumn* column, int columns, int x0, double bottom, double scale,
               double low) {
    auto y = [&](float v) { return bottom + (v - low) * scale; };
    glBegin(GL_LINES);
    int previous = -1;
    for (int c = 0; c < columns; c++) {
        const TraceColumn& t = column[c];
        if (!t.filled) continue;
        const double x = x0 + c + 0.5;
        // A column of one value still shows a pixel.
        glVertex2d(x, y(t.low));
        glVertex2d(x, std::max(y(t.high), y(t.low) + 1));
        if (previous >= 0 && !t.brokenBefore) {
            glVertex2d(x0 + previous + 0.5, y(column[previous].last));
            glVertex2d(x, y(t.first));
        }
        previous = c;
    }
    glEnd();
}

// The traces a strip draws, each in its colour.
struct StripTraces {
    const TraceColumn* trace[3];
    const float* colour[3];
    int count;
};

// The strip's name in its upper left corner on a pale box, so that it reads
// over the traces in any strip height; the vergence strip names its traces
// after it, each in its colour.
void drawStripName(int strip, int top, int bottom, const TimePlotFrame& f,
                   const char* name = nullptr) {
    if (!name) name = STRIP_NAMES[strip];
    const int ascent = addedTextAscent(), descent = addedTextDescent();
    const int baseline = top - 2 - ascent;
    // A strip lower than the letters (a tiny window) is left unnamed rather
    // than written over the next.
    if (baseline - descent < bottom) return;
    int width = textWidth(name);
    const int space = textWidth("  ");
    if (strip == 3)
        for (const char* name : VERGENCE_NAMES)
            width += space + textWidth(name);
    const int x0 = f.x0 + 3;
    const int x1 = std::min(x0 + width + 4, f.x1 - 1);
    glPushAttrib(GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1, 1, 1, 0.8f);
    glRecti(x0, baseline - descent, x1, top - 1);
    glPopAttrib();
    glColor3f(0, 0, 0);
    int x = x0 + 2;
    drawTextAt(x, baseline, name);
    x += textWidth(name);
    if (strip != 3) return;
    for (int k = 0; k < 3; k++) {
        x += space;
        if (x + textWidth(VERGENCE_NAMES[k]) > f.x1) break;
        glColor3fv(VERGENCE_COLOURS[k]);
        drawTextAt(x, baseline, VERGENCE_NAMES[k]);
        x += textWidth(VERGENCE_NAMES[k]);
    }
}

// A strip's frame, its range at its top and bottom (right-aligned, in the
// margin) and its name in its corner.
void finishStrip(int top, int bottom, double low, double high, const TimePlotFrame& f, int strip,
                 const char* name = nullptr) {
    glColor3f(0.4f, 0.4f, 0.4f);
    drawBoxOutline(f.x0, bottom, f.x1, top);
    char text[32];
    glColor3f(0, 0, 0);
    const int digits = addedTextAscent() - 2; // digits stand on the baseline
    snprintf(text, sizeof text, "%.1f", high);
    drawTextAt(f.x0 - 4 - textWidth(text), top - digits, text);
    snprintf(text, sizeof text, "%.1f", low);
    if (top - bottom >= 2 * digits + 2) drawTextAt(f.x0 - 4 - textWidth(text), bottom + 1, text);
    drawStripName(strip, top, bottom, f, name);
}

// One strip: its frame, its traces in its own range, the degrees at its
// top and bottom and its name.
void drawStrip(int strip, const StripTraces& s, int top, int bottom, const TimePlotFrame& f) {
    double low = INFINITY, high = -INFINITY;
    for (int k = 0; k < s.count; k++) {
        for (int c = 0; c < traces.columns; c++) {
            const TraceColumn& t = s.trace[k][c];
            if (!t.filled) continue;
            low = std::fmin(low, t.low);
            high = std::fmax(high, t.high);
        }
    }
    if (!(low <= high)) low = -1, high = 1;
    if (high - low < 1e-3) low -= 0.5, high += 0.5;
    glColor3f(1, 1, 1);
    glRecti(f.x0, bottom, f.x1, top);
    // Saccades and blinks shaded under the traces while events are shown.
    for (int i = 0; view.showEvents && i < pageEvents.count; i++) {
        const EyeEvent& e = pageEvents.events[i];
        if (e.kind == EventKind::Loss || !(e.eye ? view.showRightEye : view.showLeftEye)) continue;
        e.kind == EventKind::Saccade ? glColor3f(0.8f, 0.95f, 0.8f) : glColor3f(0.82f, 0.82f, 0.9f);
        const double a = xOfTime(f, e.onset), b = xOfTime(f, e.onset + e.duration);
        glRectd(std::floor(a), bottom, std::ceil(b) + 1, top);
    }
    // Quick phases of nystagmus likewise while they are shown.
    for (int i = 0; view.showNystagmus && i < pageNystagmus.quickCount; i++) {
        const QuickPhase& q = pageNystagmus.quick[i];
        if (!(q.eye ? view.showRightEye : view.showLeftEye)) continue;
        glColor3f(0.98f, 0.85f, 0.7f);
        const double a = xOfTime(f, q.onset), b = xOfTime(f, q.onset + q.duration);
        glRectd(std::floor(a), bottom, std::ceil(b) + 1, top);
    }
    if (view.rangeFirst >= 0 && view.rangeEnd > view.rangeFirst &&
        view.rangeEnd <= recording.rowCount) {
        const double a = xOfTime(f, recording.rows[view.rangeFirst].col[0]);
        const double b = xOfTime(f, recording.rows[view.rangeEnd - 1].col[0]);
        glColor3f(1, 0.92f, 0.55f);
        glRectd(std::floor(std::min(a, b)), bottom, std::ceil(std::max(a, b)) + 1, top);
    }
    const double scale = (top - bottom - 2) / (high - low);
    for (int k = 0; k < s.count; k++) {
        glColor3fv(s.colour[k]);
        drawTrace(s.trace[k], traces.columns, f.x0, bottom + 1, scale, low);
    }
    finishStrip(top, bottom, low, high, f, strip);
}

// A slow-phase velocity strip's range: every velocity of the page and 0, at
// least 1 deg/s wide.
void velocityRange(int component, double& low, double& high) {
    low = high = 0;
    for (int k = 0; k < pageNystagmus.slowCount; k++) {
        const double v = pageNystagmus.slow[k].spv[component];
        if (!std::isfinite(v)) continue;
        low = std::fmin(low, v);
        high = std::fmax(high, v);
    }
    if (high - low < 1) low -= 0.5, high += 0.5;
}

// Where a velocity's dot stands in a strip from bottom to top.
double velocityDotY(double v, double low, double high, int top, int bottom) {
    return bottom + 3 + (v - low) * (top - bottom - 6) / (high - low);
}

// The strips from the top: the traces (three, four with the vergence),
// then the slow-phase velocities while nystagmus is shown.
int tracedStrips() {
    return view.showVergence ? 4 : 3;
}
int stripCount() {
    return tracedStrips() + (view.showNystagmus && pageNystagmus.found ? 3 : 0);
}
int stripHeight(const TimePlotFrame& f) {
    const int strips = stripCount();
    return (f.y1 - f.y0 - (strips - 1) * STRIP_GAP) / strips;
}
int stripTop(const TimePlotFrame& f, int strip) {
    return f.y1 - strip * (stripHeight(f) + STRIP_GAP);
}

// One component's slow-phase velocities: a dot per slow phase at its
// middle time, in its eye's colour, over a zero line, in the strip's own
// range (0 always in it).
void drawVelocityStrip(int component, int top, int bottom, const TimePlotFrame& f) {
    static const char* const names[3] = {"SPV horizontal (\xB0/s)", "SPV vertical (\xB0/s)",
                                         "SPV torsion (\xB0/s)"};
    double low, high;
    velocityRange(component, low, high);
    glColor3f(1, 1, 1);
    glRecti(f.x0, bottom, f.x1, top);
    auto y = [&](double v) { return velocityDotY(v, low, high, top, bottom); };
    glColor3f(0.6f, 0.6f, 0.6f);
    glBegin(GL_LINES);
    glVertex2d(f.x0, std::floor(y(0)) + 0.5);
    glVertex2d(f.x1, std::floor(y(0)) + 0.5);
    glEnd();
    setPointSize(3);
    glBegin(GL_POINTS);
    for (int k = 0; k < pageNystagmus.slowCount; k++) {
        const SlowPhase& s = pageNystagmus.slow[k];
        if (!std::isfinite(s.spv[component]) || !(s.eye ? view.showRightEye : view.showLeftEye))
            continue;
        glColor3fv(EYE_COLOURS[s.eye]);
        glVertex2d(std::floor(xOfTime(f, (s.start + s.end) / 2)) + 0.5,
                   std::floor(y(s.spv[component])) + 0.5);
    }
    glEnd();
    setPointSize(1);
    finishStrip(top, bottom, low, high, f, -1, names[component]);
}

// Seconds along the bottom edge, at steps of 1, 2 or 5 times a power of ten.
void drawSeconds(const TimePlotFrame& f) {
    char widest[32];
    formatTickValue(widest, sizeof widest, f.t1, (f.t1 - f.t0) / 8);
    const int room = (f.x1 - f.x0) / (textWidth(widest) + 12);
    const double step = chooseTickStep(f.t0, f.t1, std::clamp(room, 1, 8));
    if (!(step > 0)) return;
    glColor3f(0, 0, 0);
    const int baseline = f.y0 - 3 - addedTextAscent();
    const double first = std::ceil(f.t0 / step - 1e-9), last = std::floor(f.t1 / step + 1e-9);
    for (double k = first; k <= last; k++) {
        const double x = xOfTime(f, k * step);
        char text[32];
        formatTickValue(text, sizeof text, k * step, step);
        glBegin(GL_LINES);
        glVertex2d(std::floor(x) + 0.5, f.y0);
        glVertex2d(std::floor(x) + 0.5, f.y0 - 3);
        glEnd();
        // Centred on the tick.
        const int width = textWidth(text);
        const int left = static_cast<int>(x) - width / 2;
        if (left >= 0 && left + width <= windowWidth) drawTextAt(left, baseline, text);
    }
    // The axis's name in the margin left of it, level with its numbers and
    // clear of a number centred on its start.
    drawTextAt(f.x0 - textWidth("0.00") / 2 - 6 - textWidth(TIME_AXIS_NAME), baseline,
               TIME_AXIS_NAME);
}

} // namespace

bool timePlotFrame(TimePlotFrame& f) {
    const int panel = timePlotHeight(windowHeight, view.showPlot);
    if (panel < 1 || windowWidth < 1 || !timeSpan(f.t0, f.t1)) return false;
    // The margin holds the strips' degrees, and the time axis's name with
    // room for half a number centred on the axis's start.
    f.x0 =
        std::max(textWidth("-888.8"), textWidth(TIME_AXIS_NAME) + textWidth("0.00") / 2 + 6) + 10;
    f.x1 = windowWidth - 10;
    f.y0 = addedTextAscent() + addedTextDescent() + 5;
    f.y1 = panel - 4;
    return f.x1 - f.x0 > 8 && f.y1 - f.y0 > 3 * (STRIP_GAP + 3);
}

void drawTimePlot() {
    const int panel = timePlotHeight(windowHeight, view.showPlot);
    if (panel < 1) return;
    beginWindowPixels();
    glColor3f(0.85f, 0.85f, 0.85f);
    glRecti(0, 0, windowWidth, panel);
    TimePlotFrame f;
    if (!timePlotFrame(f)) {
        endWindowPixels();
        return;
    }
    updateTraces(f);
    const int plotted = tracedStrips();
    const int strips = stripCount(), height = stripHeight(f);
    for (int strip = 0; strip < strips; strip++) {
        const int top = stripTop(f, strip);
        if (strip >= plotted) {
            drawVelocityStrip(strip - plotted, top, top - height, f);
            continue;
        }
        StripTraces s = {};
        if (strip < 3) {
            const bool shown[2] = {view.showLeftEye != 0, view.showRightEye != 0};
            for (int eye = 0; eye < 2; eye++)
                if (shown[eye]) {
                    s.trace[s.count] = traces.column[eye][strip];
                    s.colour[s.count++] = EYE_COLOURS[eye];
                }
        } else {
            for (int component = 0; component < 3; component++) {
                s.trace[s.count] = traces.vergence[component];
                s.colour[s.count++] = VERGENCE_COLOURS[component];
            }
        }
        drawStrip(strip, s, top, top - height, f);
    }
    drawSeconds(f);
    // The cursor: the replay's newest sample, or the picked one.
    int row = view.pickedRow;
    if (view.buildUpCount != -1) row = std::min(view.buildUpCount, recording.rowCount) - 1;
    if (row >= 0 && row < recording.rowCount) {
        const double x = std::floor(xOfTime(f, recording.rows[row].col[0])) + 0.5;
        glColor3f(0, 0, 0);
        glBegin(GL_LINES);
        glVertex2d(x, f.y0);
        glVertex2d(x, f.y1);
        glEnd();
    }
    endWindowPixels();
}

int velocityDotAt(int x, int y, double radius) {
    TimePlotFrame f;
    if (!view.showNystagmus || !pageNystagmus.found || !timePlotFrame(f)) return -1;
    const int height = stripHeight(f);
    int nearest = -1;
    double best = radius * radius;
    for (int component = 0; component < 3; component++) {
        const int top = stripTop(f, tracedStrips() + component), bottom = top - height;
        if (y < bottom - radius || y > top + radius) continue;
        double low, high;
        velocityRange(component, low, high);
        for (int k = 0; k < pageNystagmus.slowCount; k++) {
            const SlowPhase& s = pageNystagmus.slow[k];
            if (!std::isfinite(s.spv[component]) || !(s.eye ? view.showRightEye : view.showLeftEye))
                continue;
            // The pixel centre the dot is drawn on.
            const double dx = std::floor(xOfTime(f, (s.start + s.end) / 2)) + 0.5 - x;
            const double dy =
                std::floor(velocityDotY(s.spv[component], low, high, top, bottom)) + 0.5 - y;
            if (dx * dx + dy * dy <= best) {
                best = dx * dx + dy * dy;
                nearest = k;
            }
        }
    }
    return nearest;
}

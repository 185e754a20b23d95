// The measuring tools' computations against numbers worked out by hand.
#include "analysis/analysis.h"
#include "view/view.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

RecordingTable table;

void setEyes(int row, float h, float v, float t) {
    float* c = table.rows[row].col;
    c[3] = c[10] = h;
    c[4] = c[11] = v;
    c[5] = c[12] = t;
}

} // namespace

// In the front view (angles -90, 180, 0) a point (H, T, V) lands at eye
// coordinates (-H, -V, -T - distance): positive horizontal to the left,
// positive vertical downwards. With gluPerspective(65) at distance 30 the
// window shows 30 tan(32.5 deg) = 19.11 either side of the centre.
TEST(Fit, ProjectionAndViewOfTheFrontView) {
    ViewState state;
    setStartView(state);
    const PlotPose pose = plotPoseOf(state);
    const PlotLens lens = {FIELD_OF_VIEW, 300, 300};
    struct Case {
        double h, v, t;
        double x, y; // window pixels from the bottom left
    };
    const double f = 150 / std::tan(32.5 * 3.14159265358979 / 180) / 30; // pixels per degree
    const Case cases[] = {{0, 0, 0, 150, 150},
                          {10, 0, 0, 150 - 10 * f, 150},
                          {0, 10, 0, 150, 150 - 10 * f},
                          {-4, -6, 0, 150 + 4 * f, 150 + 6 * f}};
    for (const Case& c : cases) {
        const double p[3] = {c.h, c.t, c.v};
        double x, y;
        ASSERT_TRUE(projectPlotPoint(pose, lens, p, x, y));
        EXPECT_NEAR(c.x, x, 1e-6) << c.h << " " << c.v;
        EXPECT_NEAR(c.y, y, 1e-6) << c.h << " " << c.v;
    }
    table.rowCount = 2;
    setEyes(0, 10, 0, 0);
    setEyes(1, 10, 19, 0);
    EXPECT_TRUE(allSamplesInView({&table, 0, 2, true, true, false}, pose, lens));
    setEyes(1, 10, 22, 0);
    EXPECT_FALSE(allSamplesInView({&table, 0, 2, true, true, false}, pose, lens));
}

// The orthographic view draws every depth as the perspective draws the
// view's centre: at distance 30, 150 / (30 tan 32.5 deg) pixels a degree,
// whatever the torsion. The subject's view puts (H, T, V) at eye (H, V, T):
// positive horizontal to the right, vertical up. A fit in the orthographic
// view fills 90 % of the window with the samples, wherever their torsion;
// the samples are kept clear of a box by moving away.
TEST(Fit, OrthographicAndSubjectViews) {
    ViewState state;
    setStartView(state);
    const double f = 150 / std::tan(32.5 * 3.14159265358979 / 180) / 30;
    struct Case {
        int preset;
        double h, v, t;
        double x, y;
    };
    const Case cases[] = {{1, 10, 0, 8, 150 - 10 * f, 150},
                          {1, 10, 0, -8, 150 - 10 * f, 150},
                          {1, -4, -6, 20, 150 + 4 * f, 150 + 6 * f},
                          {PRESET_SUBJECT, 10, 5, 8, 150 + 10 * f, 150 + 5 * f},
                          {PRESET_SUBJECT, -4, -6, -20, 150 - 4 * f, 150 - 6 * f}};
    const PlotLens lens = {FIELD_OF_VIEW, 300, 300, true};
    for (const Case& c : cases) {
        setPresetView(state, c.preset);
        const double p[3] = {c.h, c.t, c.v};
        double x, y;
        ASSERT_TRUE(projectPlotPoint(plotPoseOf(state), lens, p, x, y));
        EXPECT_NEAR(c.x, x, 1e-6) << c.preset << " " << c.h << " " << c.v << " " << c.t;
        EXPECT_NEAR(c.y, y, 1e-6) << c.preset << " " << c.h << " " << c.v << " " << c.t;
    }
    // The subject's view in perspective: positive torsion is nearer, so
    // drawn further out.
    double x, y, xFar, yFar;
    const double near[3] = {10, 8, 0}, far[3] = {10, -8, 0};
    setPresetView(state, PRESET_SUBJECT);
    projectPlotPoint(plotPoseOf(state), {FIELD_OF_VIEW, 300, 300}, near, x, y);
    projectPlotPoint(plotPoseOf(state), {FIELD_OF_VIEW, 300, 300}, far, xFar, yFar);
    EXPECT_NEAR(150 + 10 * 150 / std::tan(32.5 * 3.14159265358979 / 180) / 22, x, 1e-6);
    EXPECT_GT(x, xFar);

    // A 10 by 6 degree box of samples at torsion -20 and 20, fitted in the
    // orthographic front view: 90 % of 300 pixels is 270 for the 10 degrees.
    setPresetView(state, 1);
    table = {};
    table.rowCount = 2;
    setEyes(0, 10, 4, -20);
    setEyes(1, 20, 10, 20);
    PlotPose pose = plotPoseOf(state);
    ASSERT_TRUE(fitPlotPose({&table, 0, 2, true, true, false}, lens, 0.9, pose));
    EXPECT_NEAR(15, pose.centre[0], 1e-9);
    EXPECT_NEAR(7, pose.centre[2], 1e-9);
    const double p0[3] = {10, -20, 4}, p1[3] = {20, 20, 10};
    projectPlotPoint(pose, lens, p0, x, y);
    EXPECT_NEAR(285, x, 1e-6);
    projectPlotPoint(pose, lens, p1, x, y);
    EXPECT_NEAR(15, x, 1e-6);
    // Kept clear of the lower left 40 pixels square: the sample at (15, y)
    // moves out of it as the view widens.
    const int box[4] = {0, 0, 40, 300};
    const double before = pose.distance;
    EXPECT_TRUE(keepSamplesClearOf({&table, 0, 2, true, true, false}, lens, box, pose));
    projectPlotPoint(pose, lens, p1, x, y);
    EXPECT_GT(x, 40);
    EXPECT_GT(pose.distance, before);
}

// Picking with plain matrices: the modelview and projection are the
// identity, so a point (x, y, z) lands at ((x + 1) 100, (y + 1) 100) in a
// 200 x 200 viewport. Torsion (y) is scaled as the curves were drawn.
TEST(Pick, NearestDrawnSampleWithinReach) {
    PlotProjection frame = {};
    for (int k = 0; k < 4; k++)
        frame.modelview[k * 5] = frame.projection[k * 5] = 1;
    frame.viewport[2] = frame.viewport[3] = 200;
    table = {};
    table.rowCount = 3;
    // Row 0: left eye at pixel (100, 100), right at (150, 100); row 1: left
    // at (100, 140) (torsion 0.2, scale 2), right empty cells read as 0, at
    // (100, 100); row 2: both eyes all 0, at (100, 100).
    table.rows[0].col[10] = 0.5f;
    table.rows[1].col[5] = 0.2f;
    table.missingFields[1] = 7u << 10;
    struct Case {
        double x, y;
        bool left, right, skipMissing;
        int row;
    };
    const Case cases[] = {
        {102, 101, true, true, false, 2},   // the later of two samples drawn on one spot
        {149, 104, true, true, false, 0},   // the right eye
        {149, 104, true, false, false, -1}, // the right eye hidden
        {100, 138, true, true, false, 1},   // torsion times the scale
        {150, 108, true, true, false, 0},   // 8 pixels away
        {150, 111, true, true, false, -1},  // 11 pixels away
        {100, 60, true, true, false, -1},   {100, 100, false, true, false, 2},
        {100, 100, false, true, true, -1}, // with gaps: rows 1 (empty cells) and 2 (zeros) lost
    };
    for (const Case& c : cases) {
        ShownSamples shown = {&table, 0, 3, c.left, c.right, c.skipMissing, 2};
        EXPECT_EQ(c.row, nearestSample(shown, frame, c.x, c.y, 10)) << c.x << " " << c.y;
    }
}

// Steps of 1, 2 or 5 times a power of ten: the smallest that puts no more
// than `most` multiples (0 included) on the span, counted by hand.
TEST(Scale, TickSteps) {
    struct Case {
        double low, high;
        int most;
        double step;
        int count;
    };
    const Case cases[] = {
        {-10, 10, 9, 5, 5},      // 2 would give 11
        {-4.6, 4.6, 9, 1, 9},    // -4 .. 4
        {0.5, 9.5, 8, 2, 4},     // 1 would give 9
        {0, 59.998, 8, 10, 6},   // 5 would give 12
        {-0.3, 0.35, 8, 0.1, 7}, // -0.3 .. 0.3
        {100, 2000, 8, 500, 4},  // 200 would give 10
        {0.9, 18.9, 8, 5, 3},    // 2 gives 9: no step gives 4 to 8
        {-250, -20, 8, 50, 5},   // -250 .. -50
        {1, 1, 8, 0, 0},         // no span
    };
    for (const Case& c : cases) {
        const double step = chooseTickStep(c.low, c.high, c.most);
        EXPECT_NEAR(c.step, step, 1e-12) << c.low << " " << c.high;
        EXPECT_EQ(c.count, tickCount(c.low, c.high, step)) << c.low << " " << c.high;
    }
    const struct {
        double value, step;
        const char* text;
    } numbers[] = {{2.5, 0.5, "2.5"},    {-10, 5, "-10"},      {0.1 * 3, 0.1, "0.3"},
                   {-1e-17, 0.1, "0.0"}, {0.15, 0.05, "0.15"}, {1500, 500, "1500"}};
    for (const auto& n : numbers) {
        char text[16];
        formatTickValue(text, sizeof text, n.value, n.step);
        EXPECT_STREQ(n.text, text);
    }
}

// Ten samples one second apart in five columns of 9/5 s: two to a column.
// The left eye's horizontal positions, row 6 lost (all zero).
TEST(TimePlot, ColumnsRowsAndSpans) {
    table = {};
    table.rowCount = 10;
    const float h[10] = {1, 3, 2, 2, 7, -1, 0, 4, 6, 6};
    for (int i = 0; i < 10; i++) {
        table.rows[i].col[0] = static_cast<float>(i);
        table.rows[i].col[3] = h[i];
        table.rows[i].col[4] = i == 6 ? 0 : 1;
    }
    TraceColumn columns[5];
    decimateTrace(table, 0, 10, 3, 0, 0, 9, 5, columns);
    const TraceColumn expected[5] = {{1, 3, 1, 3, 1, 0},
                                     {2, 2, 2, 2, 1, 0},
                                     {-1, 7, 7, -1, 1, 0},
                                     {4, 4, 4, 4, 1, 1},
                                     {6, 6, 6, 6, 1, 0}};
    for (int c = 0; c < 5; c++) {
        const TraceColumn& e = expected[c];
        const TraceColumn& a = columns[c];
        EXPECT_EQ(e.low, a.low) << c;
        EXPECT_EQ(e.high, a.high) << c;
        EXPECT_EQ(e.first, a.first) << c;
        EXPECT_EQ(e.last, a.last) << c;
        EXPECT_EQ(e.filled, a.filled) << c;
        EXPECT_EQ(e.brokenBefore, a.brokenBefore) << c;
    }
    // Twenty columns of 0.45 s: rows land in columns 0, 2, 4, 6, 8, 11, ...
    TraceColumn fine[20];
    decimateTrace(table, 0, 10, 3, 0, 0, 9, 20, fine);
    EXPECT_TRUE(fine[2].filled && !fine[1].filled && fine[11].filled && !fine[10].filled);

    EXPECT_EQ(3, rowNearestTime(table, 0, 10, 3.4));
    EXPECT_EQ(4, rowNearestTime(table, 0, 10, 3.6));
    EXPECT_EQ(9, rowNearestTime(table, 0, 10, 40));
    int first, end;
    ASSERT_TRUE(rowsInTimeSpan(table, 0, 10, 7.5, 2.5, first, end));
    EXPECT_EQ(3, first);
    EXPECT_EQ(8, end);
    EXPECT_FALSE(rowsInTimeSpan(table, 0, 10, 20, 30, first, end));

    // Vergence: the left eye at H 3, V 1, T 0.5, the right at H 1, V 2,
    // T 1.5 (row 6 of the left eye lost): 2, 1 and 1, broken at row 6.
    for (int i = 0; i < 10; i++) {
        float* c = table.rows[i].col;
        if (i != 6) c[3] = 3, c[4] = 1, c[5] = 0.5f;
        c[10] = 1, c[11] = 2, c[12] = 1.5f;
    }
    for (int component = 0; component < 3; component++) {
        decimateVergence(table, 0, 10, component, 0, 9, 5, columns);
        const float expectedValue = component == 0 ? 2 : 1;
        EXPECT_EQ(expectedValue, columns[0].low) << component;
        EXPECT_EQ(expectedValue, columns[4].high) << component;
        EXPECT_TRUE(columns[3].brokenBefore && columns[3].filled) << component;
    }
}

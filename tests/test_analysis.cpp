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

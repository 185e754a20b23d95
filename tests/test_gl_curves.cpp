// The eye curves: what LIST_CURVES emits (feedback) and what a frame shows.
#include "gl_support.h"
#include "recording_text.h"

#include "interaction/interaction.h"
#include "scene/scene.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const std::vector<Sample> samples = {
    {-5, 4, 1, 0, 6, -3, 2, 0},
    {0, 2, 0.5f, 0.5f, 4, -4, 1, 0.25f},
    {5, 6, -1, 1, 2, -6, -2, 1},
};

struct Counted {
    int leftOrRight = 0;
    int grey = 0;
};

void expectAt(const std::array<float, 7>& v, double x, double y, double z) {
    auto w = projectPlotPoint(x, y, z);
    EXPECT_NEAR(w[0], v[0], 0.01);
    EXPECT_NEAR(w[1], v[1], 0.01);
}

} // namespace

TEST(Curves, StripsCarryPositionsAndShadesPerVertex) {
    startSceneWith(recordingText(samples));
    loadPlotMatrices();
    auto items = feedbackOf(LIST_CURVES);
    ASSERT_EQ(4u, items.size()); // two segments per strip
    for (const auto& item : items)
        EXPECT_TRUE(item.token == GL_LINE_TOKEN || item.token == GL_LINE_RESET_TOKEN);
    for (int seg = 0; seg < 2; seg++) {
        for (int end = 0; end < 2; end++) {
            const Sample& s = samples[seg + end];
            const auto& l = items[seg].vertices[end];
            expectAt(l, s.leftH, s.leftT, s.leftV);
            EXPECT_FLOAT_EQ(1 - s.leftShade, l[3]);
            EXPECT_FLOAT_EQ(1 - s.leftShade, l[4]);
            EXPECT_FLOAT_EQ(1, l[5]);
            const auto& r = items[2 + seg].vertices[end];
            expectAt(r, s.rightH, s.rightT, s.rightV);
            EXPECT_FLOAT_EQ(1, r[3]);
            EXPECT_FLOAT_EQ(1 - s.rightShade, r[4]);
            EXPECT_FLOAT_EQ(1 - s.rightShade, r[5]);
        }
    }
}

TEST(Curves, DifferenceLinesAndSwitches) {
    startSceneWith(recordingText(samples));
    applyCommand(3);
    loadPlotMatrices();
    auto items = feedbackOf(LIST_CURVES);
    ASSERT_EQ(7u, items.size());
    for (int i = 0; i < 3; i++) {
        const auto& line = items[4 + i];
        EXPECT_TRUE(line.token == GL_LINE_TOKEN || line.token == GL_LINE_RESET_TOKEN);
        expectAt(line.vertices[0], samples[i].leftH, samples[i].leftT, samples[i].leftV);
        expectAt(line.vertices[1], samples[i].rightH, samples[i].rightT, samples[i].rightV);
        for (int c = 3; c < 6; c++)
            EXPECT_NEAR(0.3, line.vertices[0][c], 1e-6);
    }
    GLfloat width = 0;
    glCallList(LIST_CURVES);
    glGetFloatv(GL_LINE_WIDTH, &width);
    EXPECT_FLOAT_EQ(0.5f, width); // left for the cross after the list

    applyCommand(1);
    applyCommand(2);
    EXPECT_EQ(3u, feedbackOf(LIST_CURVES).size()); // difference lines only
    applyCommand(3);
    EXPECT_EQ(0u, feedbackOf(LIST_CURVES).size()); // all off: empty
}

TEST(Curves, TorsionScaleStretchesFlattensAndMirrors) {
    startSceneWith(recordingText(samples));
    for (float scale : {1.5f, 0.0f, -0.5f}) {
        view.torsionScale = scale;
        buildCurveList();
        loadPlotMatrices();
        auto items = feedbackOf(LIST_CURVES);
        ASSERT_EQ(4u, items.size());
        expectAt(items[0].vertices[0], samples[0].leftH, scale * samples[0].leftT,
                 samples[0].leftV);
        expectAt(items[3].vertices[1], samples[2].rightH, scale * samples[2].rightT,
                 samples[2].rightV);
    }
}

TEST(Curves, BuildUpCountLimitsTheRows) {
    startSceneWith(recordingText(samples));
    view.buildUpCount = 2;
    buildCurveList();
    loadPlotMatrices();
    EXPECT_EQ(2u, feedbackOf(LIST_CURVES).size());
    // Single vertices draw nothing (the GL may report them as zero-length
    // lines); the difference switch adds one real line.
    auto extent = [](const FeedbackItem& item) {
        return std::hypot(item.vertices[1][0] - item.vertices[0][0],
                          item.vertices[1][1] - item.vertices[0][1]);
    };
    view.buildUpCount = 1;
    buildCurveList();
    for (const auto& item : feedbackOf(LIST_CURVES))
        EXPECT_EQ(0.0, extent(item));
    view.showDifference = 1;
    buildCurveList();
    auto items = feedbackOf(LIST_CURVES);
    int real = 0;
    for (const auto& item : items) {
        if (extent(item) == 0) continue;
        real++;
        expectAt(item.vertices[1], samples[0].rightH, samples[0].rightT, samples[0].rightV);
    }
    EXPECT_EQ(1, real);

    // Key a on an empty recording draws row 0, all zeros: nothing visible.
    startSceneWith("Time\n");
    view.buildUpCount = 1;
    view.showDifference = 1;
    buildCurveList();
    for (const auto& item : feedbackOf(LIST_CURVES))
        EXPECT_EQ(0.0, extent(item));
}

// Pixels of a whole frame at the start view: the paths lie where an
// independent projection of their samples puts them, in their colours.
TEST(CurvesFrame, PathsAppearWhereTheyShould) {
    // Shade 1 throughout: pure blue and pure red.
    std::vector<Sample> rows = {{-12, -8, 0, 1, 12, 8, 0, 1}, {-4, -8, 0, 1, 4, 8, 0, 1}};
    startSceneWith(recordingText(rows));
    Frame frame = drawFrame();
    EXPECT_EQ(178, frame.at(5, 150).r); // 0.7 grey background
    EXPECT_EQ(178, frame.at(5, 150).g);

    auto findColour = [&](double x, double y, double z, Rgb want) {
        auto w = projectPlotPoint(x, y, z);
        int px = static_cast<int>(w[0]), py = static_cast<int>(w[1]);
        for (int dy = -1; dy <= 1; dy++) {
            Rgb got = frame.at(px, py + dy);
            if (got.r == want.r && got.g == want.g && got.b == want.b) return true;
        }
        return false;
    };
    EXPECT_TRUE(findColour(-8, 0, -8, {0, 0, 255})) << "left path midpoint";
    EXPECT_TRUE(findColour(8, 0, 8, {255, 0, 0})) << "right path midpoint";
    // The start view mirrors: positive horizontal is on the left, positive
    // vertical at the bottom.
    auto left = projectPlotPoint(-8, 0, -8);
    EXPECT_GT(left[0], 150);
    EXPECT_GT(left[1], 150);

    // After a resize the same points follow the new projection.
    Frame wide = drawFrame(300, 200);
    auto w = projectPlotPoint(-8, 0, -8, 300, 200);
    bool found = false;
    for (int dy = -1; dy <= 1; dy++) {
        Rgb got = wide.at(static_cast<int>(w[0]), static_cast<int>(w[1]) + dy);
        found = found || (got.r == 0 && got.g == 0 && got.b == 255);
    }
    EXPECT_TRUE(found);
}

TEST(CurvesFrame, ShadeBlendsFromWhiteToBlue) {
    std::vector<Sample> rows = {{-10, 5, 0, 0.5f, 0, 0, 0, 0}, {10, 5, 0, 0.5f, 0, 0, 0, 0}};
    startSceneWith(recordingText(rows));
    view.showRightEye = 0;
    buildCurveList();
    Frame frame = drawFrame();
    auto w = projectPlotPoint(0, 0, 5);
    bool found = false;
    for (int dy = -1; dy <= 1; dy++) {
        Rgb got = frame.at(static_cast<int>(w[0]), static_cast<int>(w[1]) + dy);
        found = found || (std::abs(got.r - 128) <= 1 && got.r == got.g && got.b == 255);
    }
    EXPECT_TRUE(found) << "shade 0.5 is (0.5, 0.5, 1)";
}

// Infinite and huge values in a few samples: the other samples are still
// drawn, and drawing finishes.
TEST(CurvesFrame, InfiniteAndHugeSamplesLeaveTheRestDrawn) {
    std::string text = "Time\n";
    auto row = [&](const char* lh, const char* lv, const char* lt) {
        text +=
            std::string("0\t0\t0\t") + lh + "\t" + lv + "\t" + lt + "\t0\t1\t0\t0\t0\t0\t0\t0\t1\n";
    };
    row("-12", "-8", "0");
    row("-4", "-8", "0"); // the segment checked below
    row("-4", "-7", "0");
    row("1e400", "5", "0");
    row("-1e400", "1e400", "1e400");
    row("3e38", "-3e38", "3e38");
    row("1e-400", "5", "1e39");
    row("8", "8", "0");
    row("12", "8", "0");
    startSceneWith(text);
    view.torsionScale = 3; // huge torsion times 3 overflows to infinity
    buildCurveList();
    Frame frame = drawFrame();
    auto w = projectPlotPoint(-8, 0, -8);
    bool found = false;
    for (int dy = -1; dy <= 1; dy++) {
        Rgb c = frame.at(static_cast<int>(w[0]), static_cast<int>(w[1]) + dy);
        found = found || (c.r == 0 && c.g == 0 && c.b == 255);
    }
    EXPECT_TRUE(found) << "the first segment is still drawn";
    auto end = projectPlotPoint(10, 0, 8);
    found = false;
    for (int dy = -1; dy <= 1; dy++) {
        Rgb c = frame.at(static_cast<int>(end[0]), static_cast<int>(end[1]) + dy);
        found = found || (c.r == 0 && c.g == 0 && c.b == 255);
    }
    EXPECT_TRUE(found) << "the last segment is still drawn";
}

// Blinks and lost tracking, as exports write them: all three positions 0,
// empty cells, or "NaN" positions beside a torsion value. With gaps on, each
// eye's path breaks there and no grey line joins a missing sample.
TEST(Curves, GapsBreakThePathsAtMissingSamples) {
    const std::vector<Sample> rows = {
        {-5, 4, 1, 0, 6, -3, 2, 0},  {0, 0, 0, 0, 4, -4, 1, 0}, // left eye lost
        {5, 6, -1, 0, 2, -6, -2, 0}, {0, 0, 0, 0, 0, 0, 0, 0},  // a blink
        {3, 2, 1, 0, 1, 1, 1, 0},    {4, 3, 2, 0, 0, 0, 0, 0},  // right eye lost
        {6, 1, 0, 0, 2, 2, 2, 0},
    };
    // The same rows with each lost eye's cells written as text.
    auto exported = [&](const char* lost) {
        std::string text = "Time\tc1\tc2\tLH\tLV\tLT\tc6\tLS\tc8\tc9\tRH\tRV\tRT\tc13\tRS\n";
        auto eye = [&](float h, float v, float t) {
            return h == 0 && v == 0 && t == 0
                       ? std::string(lost)
                       : std::to_string(h) + "\t" + std::to_string(v) + "\t" + std::to_string(t);
        };
        for (const Sample& r : rows)
            text += "0\t0\t0\t" + eye(r.leftH, r.leftV, r.leftT) + "\t0\t0\t0\t0\t" +
                    eye(r.rightH, r.rightV, r.rightT) + "\t0\t0\n";
        return text;
    };
    struct Case {
        const char* name;
        std::string text;
        int gapsKeyPresses, strips, grey;
        bool reachesOrigin;
    };
    // Off: 6 + 6 segments and 7 grey lines, some through the origin. On: left
    // A | C | E-F-G, right A-B-C | E | G: 2 + 2 segments; grey at A, C, E, G.
    const Case cases[] = {
        {"zeros, gaps off", recordingText(rows), 0, 12, 7, true},
        {"zeros", recordingText(rows), 1, 4, 4, false},
        {"empty cells", exported("\t\t"), 1, 4, 4, false},
        {"NaN beside a torsion", exported("NaN\tnan\t0.5"), 1, 4, 4, false},
    };
    for (const Case& c : cases) {
        startSceneWith(c.text);
        applyCommand(3); // the difference lines
        if (c.gapsKeyPresses) onKey('g', 0, 0);
        auto origin = projectPlotPoint(0, 0, 0);
        loadPlotMatrices();
        int strips = 0, grey = 0;
        bool reachesOrigin = false;
        for (const auto& item : feedbackOf(LIST_CURVES)) {
            if (item.token != GL_LINE_TOKEN && item.token != GL_LINE_RESET_TOKEN) continue;
            (std::fabs(item.vertices[0][3] - 0.3f) < 0.01f ? grey : strips)++;
            for (const auto& v : item.vertices)
                reachesOrigin = reachesOrigin || (std::fabs(v[0] - origin[0]) < 0.01 &&
                                                  std::fabs(v[1] - origin[1]) < 0.01);
        }
        EXPECT_EQ(c.strips, strips) << c.name;
        EXPECT_EQ(c.grey, grey) << c.name;
        EXPECT_EQ(c.reachesOrigin, reachesOrigin) << c.name;
        EXPECT_EQ(c.gapsKeyPresses, view.showGaps) << c.name;
    }
    // The entry says what choosing it does.
    EXPECT_STREQ("Join paths over gaps (g)", menuLabel(view, COMMAND_GAPS));
    onKey('g', 0, 0);
    EXPECT_STREQ("Break paths at gaps (g)", menuLabel(view, COMMAND_GAPS));
}

// Keys 1, 2, 3: in each view two axes lie in the screen plane and the third
// points at the viewer, so a point on it lands on the window's centre; the
// path is drawn where the independent projection puts it.
TEST(CurvesFrame, PresetViewsShowTwoAxesInTheScreenPlane) {
    std::vector<Sample> rows = {{4, 4, 4, 1, 0, 0, 0, 1}, {8, 8, 8, 1, 0, 0, 0, 1}};
    startSceneWith(recordingText(rows));
    applyCommand(2); // the left path alone, pure blue
    applyCommand(5); // no cross
    applyCommand(9); // zoomed out: distance 30.5 is kept by every preset
    struct Preset {
        unsigned char key;
        double towardViewer[3]; // horizontal, torsion, vertical
    };
    for (const Preset& p :
         {Preset{'2', {0, 0, 8}}, Preset{'3', {8, 0, 0}}, Preset{'1', {0, 8, 0}}}) {
        onKey(p.key, 0, 0);
        EXPECT_EQ(30.5f, view.distance);
        auto centre = projectPlotPoint(p.towardViewer[0], p.towardViewer[1], p.towardViewer[2]);
        EXPECT_NEAR(150, centre[0], 1e-6) << p.key;
        EXPECT_NEAR(150, centre[1], 1e-6) << p.key;
        Frame frame = drawFrame();
        auto mid = projectPlotPoint(6, 6, 6);
        bool blue = false;
        for (int dx = -1; dx <= 1; dx++)
            for (int dy = -1; dy <= 1; dy++) {
                Rgb got = frame.at(static_cast<int>(mid[0]) + dx, static_cast<int>(mid[1]) + dy);
                blue = blue || (got.r == 0 && got.g == 0 && got.b == 255);
            }
        EXPECT_TRUE(blue) << "the path's midpoint in view " << p.key;
    }
}

// The subject's view (key 4) puts the data's (h, t, v) at eye (h, v, t):
// right, up and toward the viewer. The orthographic view (key o) draws
// every depth at the scale of the view's centre, so a sample lands where
// its horizontal and vertical say, whatever its torsion.
TEST(CurvesFrame, SubjectAndOrthographicViewsPutSamplesWhereTheirValuesSay) {
    std::vector<Sample> rows = {{4, 4, 4, 1, 0, 0, 0, 1}, {8, 8, 8, 1, 0, 0, 0, 1}};
    startSceneWith(recordingText(rows));
    applyCommand(2);
    applyCommand(5);
    auto blueNear = [](const Frame& frame, double x, double y) {
        for (int dx = -1; dx <= 1; dx++)
            for (int dy = -1; dy <= 1; dy++) {
                Rgb got = frame.at(static_cast<int>(x) + dx, static_cast<int>(y) + dy);
                if (got.r == 0 && got.g == 0 && got.b == 255) return true;
            }
        return false;
    };
    onKey('4', 0, 0);
    {
        Frame frame = drawFrame();
        auto mid = projectEyePoint(6, 6, 6 - view.distance);
        EXPECT_GT(mid[0], 150); // right and up of the middle
        EXPECT_GT(mid[1], 150);
        EXPECT_TRUE(blueNear(frame, mid[0], mid[1])) << "the path's midpoint, subject's view";
    }
    onKey('1', 0, 0);
    onKey('o', 0, 0);
    ASSERT_EQ(1, view.orthographic);
    struct Case {
        float distance;
        double h, t, v;
    };
    // At distance 30 the view is 2 * 30 tan(32.5 deg) = 38.22 units high.
    for (const Case& c : {Case{30, 6, 6, 6}, Case{15, 5, 5, 5}, Case{30, 7, 7, 7}}) {
        view.distance = c.distance;
        buildCurveList();
        Frame frame = drawFrame();
        const double pixelsPerUnit = 300 / (2 * c.distance * std::tan(32.5 * M_PI / 180));
        // The front view: positive horizontal to the left, vertical down.
        const double x = 150 - c.h * pixelsPerUnit, y = 150 - c.v * pixelsPerUnit;
        EXPECT_TRUE(blueNear(frame, x, y)) << c.distance << " " << c.h;
    }
    // Back in perspective a distance nearer than the perspective allows
    // comes out to it.
    view.distance = 0.5f;
    onKey('o', 0, 0);
    EXPECT_EQ(NEAREST_DISTANCE, view.distance);
}

// The scale's numbers stand on dark backdrops in every view, the mirrored
// subject's view too (its plot turns the faces' winding while it draws).
TEST(CurvesFrame, ScaleNumbersKeepTheirBackdropsInTheSubjectsView) {
    std::vector<Sample> rows = {{-8, -6, 2, 1, 8, 6, -2, 1}, {8, 6, -2, 1, -8, -6, 2, 1}};
    startSceneWith(recordingText(rows));
    view.showScale = 1;
    // Black at TEXT_BACKDROP_OPACITY over the background's grey (178).
    const int backdrop = static_cast<int>(std::lround(178 * (1 - TEXT_BACKDROP_OPACITY)));
    for (unsigned char key : {'1', '4'}) {
        onKey(key, 0, 0);
        Frame frame = drawFrame();
        int dark = 0;
        for (int y = 0; y < frame.height; y++)
            for (int x = 0; x < frame.width; x++) {
                const Rgb c = frame.at(x, y);
                dark += std::abs(c.r - backdrop) <= 2 && c.r == c.g && c.g == c.b;
            }
        EXPECT_GT(dark, 300) << "backdrop pixels in view " << key;
    }
}

// A fit keeps the samples clear of what stands in the plot's corners: the
// label drum (lower right), the key to the colours and the main-sequence
// panel (upper right). A square of samples filling 90 % of the window would
// reach under each of them.
TEST(CurvesFrame, FitKeepsSamplesClearOfTheDrumTheKeyAndThePanel) {
    std::vector<Sample> rows;
    for (int k = 0; k <= 40; k++) {
        const float a = -30 + k * 0.25f, b = -20 + k * 0.25f;
        rows.push_back({a, -20, 0, 1, a, -20, 0, 1}); // top edge
        rows.push_back({-30, b, 0, 1, -30, b, 0, 1}); // the right edge in the front view
        rows.push_back({a, -10, 0, 1, a, -10, 0, 1}); // bottom edge
    }
    startSceneWith(recordingText(rows));
    view.showScale = 1;        // the key comes with the scale
    view.showMainSequence = 1; // the panel (drawn once the page's saccades are found)
    refreshPageNystagmus();
    drawFrame(600, 600);
    fitViewToSamples();
    buildCurveList();
    drawFrame(600, 600);
    int boxes[3][4], panelPlot[4];
    ASSERT_TRUE(drumWindowBox(boxes[0]));
    ASSERT_TRUE(legendWindowBox(boxes[1]));
    ASSERT_TRUE(mainSequencePanel(boxes[2], panelPlot));
    int inside = 0;
    for (const Sample& s : rows) {
        const double p[3] = {s.leftH, s.leftT, s.leftV};
        double x, y;
        ASSERT_TRUE(projectWithMatrices(framePlotProjection, p, x, y));
        for (const auto& b : boxes)
            inside += x >= b[0] && x <= b[2] && y >= b[1] && y <= b[3];
    }
    EXPECT_EQ(0, inside);
}
